// TMBarGraph: the bar indicator of the instrument window. A lowered panel whose
// four child parts (minus bar, plus bar, zero marker, value text) are moved,
// sized, coloured and shown by one layout pass; Qt paints the parts.
#pragma once

#include <QFrame>

#include "widgets/colors.h"
#include "widgets/digitshape.h"

class QLabel;

// One rectangle of the bar graph: a black outline filled with its brush colour.
class MBGRectangle : public QFrame {
    Q_OBJECT
public:
    explicit MBGRectangle(TColor brush, QWidget *parent);
    void setBrushColor(TColor brush);
    TColor brushColor() const { return m_brush; } // as set, system colours unresolved

private:
    TColor m_brush;
};

class TMBarGraph : public QFrame {
    Q_OBJECT
public:
    enum class TMBGOrientation { orientationHorizontal, orientationVertical };
    Q_ENUM(TMBGOrientation)
    enum class TMBGMode { modeSigned, modeUnsigned };
    Q_ENUM(TMBGMode)
    enum class TMBGTextPosition { tpInside, tpOutside, tpAuto, tpFix, tpCentre };
    Q_ENUM(TMBGTextPosition)

private:
    // Streaming order of the window description.
    Q_PROPERTY(TMBGOrientation MBGOrientation READ MBGOrientation WRITE setMBGOrientation)
    Q_PROPERTY(double MBGValue READ MBGValue WRITE setMBGValue)
    Q_PROPERTY(quint32 MBGMinusColorAt0 READ MBGMinusColorAt0 WRITE setMBGMinusColorAt0)
    Q_PROPERTY(quint32 MBGMinusColorAt1 READ MBGMinusColorAt1 WRITE setMBGMinusColorAt1)
    Q_PROPERTY(quint32 MBGPlusColorAt0 READ MBGPlusColorAt0 WRITE setMBGPlusColorAt0)
    Q_PROPERTY(quint32 MBGPlusColorAt1 READ MBGPlusColorAt1 WRITE setMBGPlusColorAt1)
    Q_PROPERTY(TMBGMode MBGMode READ MBGMode WRITE setMBGMode)
    Q_PROPERTY(bool MBGShowText READ MBGShowText WRITE setMBGShowText)
    Q_PROPERTY(bool MBGInverseText READ MBGInverseText WRITE setMBGInverseText)
    Q_PROPERTY(TMBGTextPosition MBGTextPosition READ MBGTextPosition WRITE setMBGTextPosition)
    Q_PROPERTY(int MBGTextLeft READ MBGTextLeft WRITE setMBGTextLeft)
    Q_PROPERTY(int MBGTextTop READ MBGTextTop WRITE setMBGTextTop)
    Q_PROPERTY(int MBGDecimals READ MBGDecimals WRITE setMBGDecimals)

public:
    explicit TMBarGraph(QWidget *parent = nullptr);
    ~TMBarGraph() override;

    TMBGOrientation MBGOrientation() const { return m_orientation; }
    double MBGValue() const { return m_value; }
    TColor MBGMinusColorAt0() const { return m_minusColorAt0; }
    TColor MBGMinusColorAt1() const { return m_minusColorAt1; }
    TColor MBGPlusColorAt0() const { return m_plusColorAt0; }
    TColor MBGPlusColorAt1() const { return m_plusColorAt1; }
    TMBGMode MBGMode() const { return m_mode; }
    bool MBGShowText() const { return m_showText; }
    bool MBGInverseText() const { return m_inverseText; }
    TMBGTextPosition MBGTextPosition() const { return m_textPosition; }
    int MBGTextLeft() const { return m_textLeft; }
    int MBGTextTop() const { return m_textTop; }
    int MBGDecimals() const { return m_decimals; }

    void setMBGOrientation(TMBGOrientation orientation);
    void setMBGValue(double value); // any value; drawn limited to -1 ... +1
    // Nothing measured yet: neither bar nor text until the next setMBGValue,
    // which shows its value whatever the one before.
    void showNoValue();
    bool showsValue() const { return m_showsValue; }
    void setMBGMinusColorAt0(TColor color);
    void setMBGMinusColorAt1(TColor color);
    void setMBGPlusColorAt0(TColor color);
    void setMBGPlusColorAt1(TColor color);
    void setMBGMode(TMBGMode mode);
    void setMBGShowText(bool show);
    void setMBGInverseText(bool inverse);
    void setMBGTextPosition(TMBGTextPosition position);
    void setMBGTextLeft(int left);
    void setMBGTextTop(int top);
    void setMBGDecimals(int decimals); // limited to 0 ... 4

    // The parts, for the window's inspection and for tests.
    MBGRectangle *minusBar() const { return m_minusBar; }
    MBGRectangle *plusBar() const { return m_plusBar; }
    MBGRectangle *zeroMarker() const { return m_zeroMarker; }
    QLabel *valueText() const { return m_valueText; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutPass(bool force);
    void layoutSignedHorizontal(bool recompute);
    void layoutSignedVertical(bool recompute);
    void layoutUnsignedHorizontal(bool recompute);
    void layoutUnsignedVertical(bool recompute);
    void layoutValueText(bool besideBar);
    void showBar(MBGRectangle *bar, TColor color);
    void hideBars();

    // Parts in stacking order: the value text lies above the bars.
    MBGRectangle *m_minusBar;
    MBGRectangle *m_plusBar;
    MBGRectangle *m_zeroMarker;
    QLabel *m_valueText;

    TMBGOrientation m_orientation = TMBGOrientation::orientationHorizontal;
    double m_value = 0.5;        // as written
    double m_clampedValue = 0.5; // what the bars show
    double m_lastLaidOut = 0.0;  // m_clampedValue at the last recomputation of the bars
    TColor m_minusColorAt0 = kxcolor::white;
    TColor m_minusColorAt1 = kxcolor::blue;
    TColor m_plusColorAt0 = kxcolor::white;
    TColor m_plusColorAt1 = kxcolor::red;
    TMBGMode m_mode = TMBGMode::modeUnsigned;
    bool m_showText = true;
    bool m_showsValue = true;
    bool m_inverseText = false;
    bool m_textOutside = true; // tpAuto's side, kept between passes
    TMBGTextPosition m_textPosition = TMBGTextPosition::tpAuto;
    int m_textLeft = 0;
    int m_textTop = 0;
    int m_decimals = 0;
    TextMeasureMemo<int> m_textWidth; // of the value text
};

using TMBGOrientation = TMBarGraph::TMBGOrientation;
using TMBGMode = TMBarGraph::TMBGMode;
using TMBGTextPosition = TMBarGraph::TMBGTextPosition;
