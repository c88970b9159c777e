// The trend page: its controls, the redraw timer, Pause and Clear, and the
// readings log.
#include "trend/trend_page.h"

#include "core/readings_csv.h"
#include "core/reason_text.h"
#include "trend/trend_chart.h"
#include "widgets/dialogs.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The span shown when the page first comes up: long enough to compare the
// output with a meter for a while, short enough to see single readings.
constexpr int kDefaultSpan = 1; // 5 minutes

// The plot is redrawn once per column of the span, but never more than five
// times a second nor less than once a second. A redraw of the whole plot
// costs about 2 ms of CPU; at the 1-minute span (a column every 100 ms) five
// a second still move it smoothly, two columns a step, at half the cost.
int redrawInterval(int span)
{
    return int(std::clamp<qint64>(TrendStore::columnMsecs(span), 200, 1000));
}

} // namespace

TrendPage::TrendPage(QWidget *parent)
    : QWidget(parent), clock([] { return QDateTime::currentMSecsSinceEpoch(); }),
      m_texts(&trendTexts(TrendLanguage::English)), m_chart(new TrendChart(m_store, this)),
      m_spanLabel(new QLabel(this)), m_spanBox(new QComboBox(this)), m_pause(new QPushButton(this)),
      m_clear(new QPushButton(this)), m_pausedLabel(new QLabel(this)),
      m_record(new QPushButton(this)), m_stop(new QPushButton(this)),
      m_recordStatus(new QLabel(this))
{
    chooseRecordFile = [this](QWidget *parent) {
        const auto dialog =
            makeFileDialog(parent, m_texts->recordTitle, QString(), m_texts->fileFilter);
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setDefaultSuffix(QStringLiteral("csv"));
        // Nothing is overwritten: a file of readings is continued, any other
        // file is refused.
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
        return dialog->exec() == QDialog::Accepted ? dialog->selectedFiles().value(0) : QString();
    };
    setObjectName(QStringLiteral("TabSheet_Trend"));
    m_chart->setObjectName(QStringLiteral("Chart_Trend"));
    m_spanBox->setObjectName(QStringLiteral("ComboBox_TrendSpan"));
    m_pause->setObjectName(QStringLiteral("Button_TrendPause"));
    m_clear->setObjectName(QStringLiteral("Button_TrendClear"));
    m_record->setObjectName(QStringLiteral("Button_TrendRecord"));
    m_stop->setObjectName(QStringLiteral("Button_TrendStop"));
    m_recordStatus->setObjectName(QStringLiteral("Label_TrendRecording"));
    m_pausedLabel->setObjectName(QStringLiteral("Label_TrendPaused"));
    QFont bold = m_pausedLabel->font();
    bold.setBold(true);
    m_pausedLabel->setFont(bold);
    m_pausedLabel->hide();
    m_recordStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pause->setCheckable(true);
    m_spanLabel->setBuddy(m_spanBox);

    auto *controls = new QHBoxLayout;
    controls->addWidget(m_spanLabel);
    controls->addWidget(m_spanBox);
    controls->addSpacing(12);
    controls->addWidget(m_pause);
    controls->addWidget(m_clear);
    controls->addSpacing(8);
    controls->addWidget(m_pausedLabel);
    controls->addStretch(1);
    controls->addWidget(m_record);
    controls->addWidget(m_stop);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(controls);
    layout->addWidget(m_recordStatus);
    layout->addWidget(m_chart, 1);

    for (int span = 0; span < TrendStore::kSpanCount; ++span)
        m_spanBox->addItem(QString());
    m_spanBox->setCurrentIndex(kDefaultSpan);
    m_chart->setSpan(kDefaultSpan);
    connect(m_spanBox, &QComboBox::currentIndexChanged, this, &TrendPage::spanChosen);
    connect(m_pause, &QPushButton::toggled, this, &TrendPage::pauseToggled);
    connect(m_clear, &QPushButton::clicked, this, &TrendPage::clearClicked);
    connect(m_record, &QPushButton::clicked, this, &TrendPage::recordClicked);
    connect(m_stop, &QPushButton::clicked, this, &TrendPage::stopRecording);
    connect(&m_redrawTimer, &QTimer::timeout, this, &TrendPage::redraw);
    // A deleted file (or folder) takes lines into nothing: about once a
    // second is soon enough to say so, and costs one stat() a second.
    m_fileCheckTimer.setInterval(1000);
    connect(&m_fileCheckTimer, &QTimer::timeout, this, [this] {
        if (m_log && !m_log->stillAtItsName()) recordingFailed();
    });
    m_redrawTimer.setInterval(redrawInterval(kDefaultSpan));
    setLanguage(TrendLanguage::English);
}

TrendPage::~TrendPage() = default;

bool TrendPage::isRecording() const
{
    return m_log != nullptr;
}

void TrendPage::recordClicked()
{
    const QString path = chooseRecordFile(window());
    if (!path.isEmpty()) startRecording(path);
}

bool TrendPage::startRecording(const QString &path)
{
    stopRecording();
    // The separator and decimal mark follow the locale, as spreadsheets read them.
    CsvFormat format = CsvFormat::forLocale(QLocale());
    format.language = m_texts->language; // the columns named in the window's language
    auto log = std::make_unique<ReadingsCsvWriter>(format);
    m_failure = {};
    if (log->open(path)) {
        m_log = std::move(log);
        m_fileCheckTimer.start();
    } else {
        m_failure = {int(log->error()), path, log->systemMessage(), false};
    }
    showRecordState();
    return isRecording();
}

void TrendPage::stopRecording()
{
    m_log.reset(); // closes the file; every line is in it already
    m_fileCheckTimer.stop();
    showRecordState();
}

void TrendPage::recordingFailed()
{
    m_failure = {int(m_log->error()), m_log->path(), m_log->systemMessage(), true};
    stopRecording();
}

void TrendPage::showRecordState()
{
    m_record->setEnabled(!isRecording());
    m_stop->setEnabled(isRecording());
    QString text;
    QPalette colours = palette();
    if (isRecording()) {
        text = m_texts->recording.arg(QDir::toNativeSeparators(m_log->path()));
    } else if (m_failure.error != 0) {
        using Error = ReadingsCsvWriter::Error;
        const QString file = QDir::toNativeSeparators(m_failure.path);
        const QString system = reasonText(m_failure.reason, m_texts->language);
        QString reason;
        switch (Error(m_failure.error)) {
        case Error::ForeignFile:
            reason = m_texts->foreignFile.arg(file);
            break;
        case Error::CannotWrite:
        case Error::NotOpen:
            reason = m_texts->cannotWrite.arg(file, system);
            break;
        case Error::Gone:
            reason = m_texts->fileGone.arg(file);
            break;
        default:
            reason = m_texts->cannotOpen.arg(file, system);
            break;
        }
        text = (m_failure.started ? m_texts->recordFailed : m_texts->recordNotStarted).arg(reason);
        colours.setColor(QPalette::WindowText, Qt::red);
    }
    m_recordStatus->setPalette(colours);
    m_recordStatus->setText(text);
    m_recordStatus->setVisible(!text.isEmpty());
}

void TrendPage::stopRecordingWhenClosed(QWidget *window)
{
    if (m_watchedWindow) m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = window;
    window->installEventFilter(this);
}

bool TrendPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_watchedWindow && event->type() == QEvent::Close) stopRecording();
    return QWidget::eventFilter(watched, event);
}

void TrendPage::setLanguage(TrendLanguage language)
{
    m_texts = &trendTexts(language);
    m_spanLabel->setText(m_texts->span);
    for (int span = 0; span < TrendStore::kSpanCount; ++span)
        m_spanBox->setItemText(span,
                               m_texts->minutes.arg(TrendStore::kSpanMinutes[std::size_t(span)]));
    showPauseState();
    m_clear->setText(m_texts->clear);
    m_record->setText(m_texts->record);
    m_stop->setText(m_texts->stop);
    m_chart->setTexts(*m_texts);
    showRecordState();
}

void TrendPage::addReading(const DecodedReading &reading, int inputRange)
{
    m_store.add(trendReadingOf(reading, inputRange));
    if (m_log && !m_log->append(reading)) recordingFailed();
}

void TrendPage::exchangeFailed()
{
    m_store.breakLines();
}

bool TrendPage::isPaused() const
{
    return m_pause->isChecked();
}

void TrendPage::redraw()
{
    if (isVisible() && !isPaused()) m_chart->refresh(clock());
}

void TrendPage::redrawPaused()
{
    // A paused plot changes only at the user's word (another span, Clear),
    // and still ends where it stood still.
    if (isVisible() && isPaused()) m_chart->refresh(m_pausedAt);
}

int TrendPage::spanMinutes() const
{
    return TrendStore::kSpanMinutes[std::size_t(m_spanBox->currentIndex())];
}

void TrendPage::setSpanMinutes(int minutes)
{
    const auto &spans = TrendStore::kSpanMinutes;
    const auto found = std::find(spans.begin(), spans.end(), minutes);
    if (found == spans.end()) return;
    const QSignalBlocker quiet(m_spanBox); // not the user's choice
    m_spanBox->setCurrentIndex(int(found - spans.begin()));
    spanChosen(m_spanBox->currentIndex());
}

void TrendPage::spanChosen(int span)
{
    if (!m_spanBox->signalsBlocked()) emit spanChanged(spanMinutes());
    m_chart->setSpan(span);
    m_redrawTimer.setInterval(redrawInterval(span));
    redraw();
    redrawPaused();
}

void TrendPage::pauseToggled(bool paused)
{
    if (paused) m_pausedAt = clock();
    showPauseState();
    updateTimer();
    redraw();
}

void TrendPage::showPauseState()
{
    // A button that stays down is easily missed: the page says that its
    // plot stands still, and since when.
    const bool paused = isPaused();
    m_pause->setText(paused ? m_texts->resume : m_texts->pause);
    if (paused)
        m_pausedLabel->setText(m_texts->pausedAt.arg(
            QDateTime::fromMSecsSinceEpoch(m_pausedAt).toString(QStringLiteral("HH:mm:ss"))));
    m_pausedLabel->setVisible(paused);
}

void TrendPage::clearClicked()
{
    m_store.clear();
    redraw();
    redrawPaused();
}

void TrendPage::updateTimer()
{
    // Nothing is drawn for a page nobody sees, nor for a paused plot.
    if (isVisible() && !isPaused())
        m_redrawTimer.start();
    else
        m_redrawTimer.stop();
}

void TrendPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateTimer();
    redraw();
    redrawPaused();
}

void TrendPage::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    updateTimer();
}
