// The Settings page's scale group: the type selectors with their unit
// labels, the four scale edits (each parsed once as its text changes, shown
// in its pattern once left), the factory default scale and the loading of
// the scale the instrument has stored.
#pragma once

#include "core/request_state.h"

#include <QChar>
#include <QObject>
#include <QString>

#include <optional>

namespace Ui {
class TForm_Main;
}

// The texts the scale edits show for a value once they are left.
QString inputScaleText(double value);
QString outputScaleText(double value);

class ScaleGroup : public QObject {
    Q_OBJECT
public:
    ScaleGroup(Ui::TForm_Main &ui, QObject *parent);

    // The group as typed: the type selections and the four values, none
    // where an edit holds no number.
    ScaleEntry entry() const;
    // Shows the value of a left edit in its pattern, text that is no number as 0.
    void leaveEdit(QObject *edit, bool input);
    // Both usual decimal marks become the system's.
    static void acceptKey(QChar &key);
    // The unit labels of the input or the output follow its type selection.
    void showUnits(bool input);
    void loadFactoryDefaults();
    // Loads stored settings given as type codes and the four scale values;
    // false (and nothing changed) for codes of a reply that holds none.
    bool loadStored(int inputType, int outputType, double inputLow, double inputHigh,
                    double outputLow, double outputHigh);

private:
    std::optional<double> typedValue(const QObject *edit) const;

    Ui::TForm_Main &m_ui;
    ScaleEntry m_typed;
};
