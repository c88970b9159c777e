// The "Trend" page of the main window: the live plot of the input value, the
// output value and the temperature against time, with the choice of time
// span, Pause and Clear, and the readings log: "Record…" writes every decoded
// reply to a file the user names, one line each, until "Stop", the closing of
// the window, or a file that can no longer be written.
//
// The exchange hands every decoded reply to addReading() and every exchange
// that ended without one to exchangeFailed(). The plot's part of that only
// puts the values into the store (constant time, nothing allocated once the
// tracks exist); the plot is redrawn from the store by a timer, at most ten
// times a second, and only while the page is on screen and not paused. The
// log writes its line at once; a failure stops the log and says why on the
// page, never the exchange.
#pragma once

#include "core/decoded_reading.h"
#include "trend/trend_reading.h"
#include "trend/trend_store.h"
#include "trend/trend_texts.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class ReadingsCsvWriter;
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

    // From the exchange: a decoded reply, measured on its input range (or on
    // `inputRange`, for readings made elsewhere), and an exchange that ended
    // without one.
    void addReading(const DecodedReading &reading) { addReading(reading, reading.inputRange); }
    void addReading(const DecodedReading &reading, int inputRange);
    void exchangeFailed();

    // The log. startRecording() opens (or continues) the file; false, with
    // the reason on the page, when it cannot.
    bool startRecording(const QString &path);
    void stopRecording();
    bool isRecording() const;
    // Asks the user for the file of the log; empty when the user declines.
    // Tests put a chooser of their own in its place.
    std::function<QString(QWidget *parent)> chooseRecordFile;

    const TrendStore &store() const { return m_store; }
    TrendChart *chart() const { return m_chart; }
    QComboBox *spanBox() const { return m_spanBox; }
    QPushButton *pauseButton() const { return m_pause; }
    QPushButton *clearButton() const { return m_clear; }
    QLabel *spanLabel() const { return m_spanLabel; }
    QPushButton *recordButton() const { return m_record; }
    QPushButton *stopButton() const { return m_stop; }
    // The file being written, or why the log stopped.
    QLabel *recordStatus() const { return m_recordStatus; }

    bool isPaused() const;
    // What shows the paused state beside the Pause button.
    QLabel *pausedLabel() const { return m_pausedLabel; }
    // The span shown, in minutes (one of TrendStore::kSpanMinutes); a value
    // not among them is ignored.
    int spanMinutes() const;
    void setSpanMinutes(int minutes);
    // Redraws the plot now, if it is on screen and not paused.
    void redraw();
    // The clock the plot's right edge follows (wall clock, milliseconds
    // since the epoch); tests set a clock of their own.
    std::function<qint64()> clock;

    // The page ends the log when this window closes.
    void stopRecordingWhenClosed(QWidget *window);

signals:
    // The user chose another span.
    void spanChanged(int minutes);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void spanChosen(int span);
    void pauseToggled(bool paused);
    void clearClicked();
    void updateTimer();
    void redrawPaused();
    void recordClicked();
    void recordingFailed();
    void showRecordState();
    void showPauseState();

    const TrendTexts *m_texts;
    TrendStore m_store;
    TrendChart *m_chart;
    QLabel *m_spanLabel;
    QComboBox *m_spanBox;
    QPushButton *m_pause;
    QPushButton *m_clear;
    QLabel *m_pausedLabel;
    QPushButton *m_record;
    QPushButton *m_stop;
    QLabel *m_recordStatus;
    QTimer m_redrawTimer;
    // While recording: is the file written still the one at its name?
    QTimer m_fileCheckTimer;
    std::unique_ptr<ReadingsCsvWriter> m_log; // while recording
    // The last failure of the log, shown until the next recording starts.
    struct LogFailure {
        int error = 0; // ReadingsCsvWriter::Error; 0 for none
        QString path;
        QString reason;
        bool started = false; // the log had started before it failed
    } m_failure;
    QWidget *m_watchedWindow = nullptr;
    qint64 m_pausedAt = 0; // the right edge while paused
};
