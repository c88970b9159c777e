// The trend page: its controls, the redraw timer, Pause and Clear.
#include "trend/trend_page.h"

#include "trend/trend_chart.h"

#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The span shown when the page first comes up: long enough to compare the
// output with a meter for a while, short enough to see single readings.
constexpr int kDefaultSpan = 1; // 5 minutes

// The plot is redrawn once per column of the span, but never more than ten
// times a second nor less than once a second.
int redrawInterval(int span)
{
    return int(std::clamp<qint64>(TrendStore::columnMsecs(span), 100, 1000));
}

} // namespace

TrendPage::TrendPage(QWidget *parent)
    : QWidget(parent), clock([] { return QDateTime::currentMSecsSinceEpoch(); }),
      m_texts(&trendTexts(TrendLanguage::English)), m_chart(new TrendChart(m_store, this)),
      m_spanLabel(new QLabel(this)), m_spanBox(new QComboBox(this)), m_pause(new QPushButton(this)),
      m_clear(new QPushButton(this))
{
    setObjectName(QStringLiteral("TabSheet_Trend"));
    m_chart->setObjectName(QStringLiteral("Chart_Trend"));
    m_spanBox->setObjectName(QStringLiteral("ComboBox_TrendSpan"));
    m_pause->setObjectName(QStringLiteral("Button_TrendPause"));
    m_clear->setObjectName(QStringLiteral("Button_TrendClear"));
    m_pause->setCheckable(true);
    m_spanLabel->setBuddy(m_spanBox);

    auto *controls = new QHBoxLayout;
    controls->addWidget(m_spanLabel);
    controls->addWidget(m_spanBox);
    controls->addSpacing(12);
    controls->addWidget(m_pause);
    controls->addWidget(m_clear);
    controls->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(controls);
    layout->addWidget(m_chart, 1);

    for (int span = 0; span < TrendStore::kSpanCount; ++span)
        m_spanBox->addItem(QString());
    m_spanBox->setCurrentIndex(kDefaultSpan);
    m_chart->setSpan(kDefaultSpan);
    connect(m_spanBox, &QComboBox::currentIndexChanged, this, &TrendPage::spanChosen);
    connect(m_pause, &QPushButton::toggled, this, &TrendPage::pauseToggled);
    connect(m_clear, &QPushButton::clicked, this, &TrendPage::clearClicked);
    connect(&m_redrawTimer, &QTimer::timeout, this, &TrendPage::redraw);
    m_redrawTimer.setInterval(redrawInterval(kDefaultSpan));
    setLanguage(TrendLanguage::English);
}

TrendPage::~TrendPage() = default;

void TrendPage::setLanguage(TrendLanguage language)
{
    m_texts = &trendTexts(language);
    m_spanLabel->setText(m_texts->span);
    for (int span = 0; span < TrendStore::kSpanCount; ++span)
        m_spanBox->setItemText(span,
                               m_texts->minutes.arg(TrendStore::kSpanMinutes[std::size_t(span)]));
    m_pause->setText(m_texts->pause);
    m_clear->setText(m_texts->clear);
    m_chart->setQuantityNames(m_texts->quantities);
}

void TrendPage::addReading(const TrendReading &reading)
{
    m_store.add(reading);
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

void TrendPage::spanChosen(int span)
{
    m_chart->setSpan(span);
    m_redrawTimer.setInterval(redrawInterval(span));
    redraw();
    redrawPaused();
}

void TrendPage::pauseToggled(bool paused)
{
    if (paused) m_pausedAt = clock();
    updateTimer();
    redraw();
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
