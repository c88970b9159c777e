// The "Trend" page of the main window: the live plot of the input value, the
// output value and the temperature against time, with the choice of time
// span, Pause and Clear.
//
// The exchange hands every decoded reply to addReading() and every exchange
// that ended without one to exchangeFailed(); both only put the values into
// the store (constant time, nothing allocated once the tracks exist). The plot
// is redrawn from the store by a timer, at most ten times a second, and only
// while the page is on screen and not paused.
#pragma once

#include "trend/trend_reading.h"
#include "trend/trend_store.h"
#include "trend/trend_texts.h"

#include <QTimer>
#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class TrendChart;

class TrendPage : public QWidget {
    Q_OBJECT
public:
    explicit TrendPage(QWidget *parent = nullptr);
    ~TrendPage() override;

    void setLanguage(TrendLanguage language);
    const TrendTexts &texts() const { return *m_texts; }

    // From the exchange.
    void addReading(const TrendReading &reading);
    void exchangeFailed();

    const TrendStore &store() const { return m_store; }
    TrendChart *chart() const { return m_chart; }
    QComboBox *spanBox() const { return m_spanBox; }
    QPushButton *pauseButton() const { return m_pause; }
    QPushButton *clearButton() const { return m_clear; }
    QLabel *spanLabel() const { return m_spanLabel; }

    bool isPaused() const;
    // Redraws the plot now, if it is on screen and not paused.
    void redraw();
    // The clock the plot's right edge follows (wall clock, milliseconds
    // since the epoch); tests set a clock of their own.
    std::function<qint64()> clock;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void spanChosen(int span);
    void pauseToggled(bool paused);
    void clearClicked();
    void updateTimer();
    void redrawPaused();

    const TrendTexts *m_texts;
    TrendStore m_store;
    TrendChart *m_chart;
    QLabel *m_spanLabel;
    QComboBox *m_spanBox;
    QPushButton *m_pause;
    QPushButton *m_clear;
    QTimer m_redrawTimer;
    qint64 m_pausedAt = 0; // the right edge while paused
};
