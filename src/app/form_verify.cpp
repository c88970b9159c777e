// The Verification page's controls and what they do.
#include "app/form_verify.h"

#include "app/certificate.h"
#include "app/commandline.h"
#include "records/certificate_entry.h"
#include "text/numberpattern.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

#include <cmath>
#include <limits>

namespace {

enum Column {
    PointColumn,
    AppliedColumn,
    ReadingColumn,
    ErrorColumn,
    PercentColumn,
    VerdictColumn
};

// Keys of the page's section.
constexpr char PointsKey[] = "TestPoints";
constexpr char ToleranceKey[] = "TolerancePercent";
constexpr char GuardBandKey[] = "GuardBandPercent";
constexpr char RepliesKey[] = "Replies";
constexpr char StableBandKey[] = "StableBandPercent";
constexpr char IntervalKey[] = "IntervalMonths";
constexpr char ApproverKey[] = "Approver";
constexpr char TechnicianKey[] = "Technician";

constexpr double DefaultStableBandPercent = 0.02;

QDoubleSpinBox *percentBox(double value, double maximum)
{
    auto *box = new QDoubleSpinBox;
    box->setDecimals(3);
    box->setRange(0.0, maximum);
    box->setSingleStep(0.01);
    box->setValue(value);
    return box;
}

} // namespace

bool askYesNoWithDialog(QWidget *parent, const QString &title, const QString &text)
{
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

VerificationPage::VerificationPage(ConnectedUnit &unit, IniFile ini, WindowRecords *records,
                                   QWidget *parent)
    : QWidget(parent), m_unit(unit), m_ini(std::move(ini)), m_records(records)
{
    setObjectName(QStringLiteral("TabSheet_Verification"));
    build();
    loadSettings();
    setLanguage(m_language);
    newRun();
    // Another connection, another unit: what was measured was of another.
    connect(&m_unit, &ConnectedUnit::changed, this, [this] {
        m_runs.forUnit(m_unit.connection(), m_unit.serialNumber());
        if (!m_unit.isConnected()) m_calibration.reset();
        m_capture.reset();
        refreshNext();
    });
    connect(&m_unit, &ConnectedUnit::heldSettingsChanged, this, [this] { newRun(); });
}

VerificationPage::~VerificationPage() = default;

void VerificationPage::showEvent(QShowEvent *event)
{
    // The records are opened when the page is first wanted, not with every window.
    if (!m_standardsAsked) {
        m_standardsAsked = true;
        loadStandards();
    }
    QWidget::showEvent(event);
}

void VerificationPage::build()
{
    auto *grid = new QGridLayout(this);
    const auto label = [this](VerifyCaption caption) {
        auto *l = new QLabel;
        l->setObjectName(QStringLiteral("Label_Verification%1").arg(int(caption)));
        m_labels.emplace_back(l, caption);
        return l;
    };
    nextLabel = new QLabel;
    nextLabel->setWordWrap(true);
    QFont bold = nextLabel->font();
    bold.setBold(true);
    nextLabel->setFont(bold);
    grid->addWidget(nextLabel, 0, 0, 1, 4);

    auto *settings = new QFormLayout;
    phaseBox = new QComboBox;
    phaseBox->addItems({QString(), QString()});
    sideBox = new QComboBox;
    sideBox->addItems({QString(), QString()});
    auto *phaseRow = new QHBoxLayout;
    phaseRow->addWidget(phaseBox);
    phaseRow->addWidget(sideBox);
    settings->addRow(phaseRow);
    pointsEdit = new QLineEdit;
    settings->addRow(label(VerifyCaption::TestPoints), pointsEdit);
    toleranceBox = percentBox(0.1, 100.0);
    toleranceBox->setMinimum(0.001);
    settings->addRow(label(VerifyCaption::Tolerance), toleranceBox);
    guardBandBox = percentBox(0.0, 100.0);
    settings->addRow(label(VerifyCaption::GuardBand), guardBandBox);
    repliesBox = new QSpinBox;
    repliesBox->setRange(1, 1000);
    repliesBox->setValue(InputCapture::DefaultReplies);
    settings->addRow(label(VerifyCaption::Replies), repliesBox);
    stableBandBox = percentBox(DefaultStableBandPercent, 100.0);
    settings->addRow(label(VerifyCaption::StableBand), stableBandBox);
    grid->addLayout(settings, 1, 0, 1, 2);

    table = new QTableWidget(0, 6);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    // The numbers and their headings whole; the verdict takes what is left.
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    grid->addWidget(table, 2, 0, 1, 2);
    captureButton = new QPushButton;
    statusLabel = new QLabel;
    statusLabel->setWordWrap(true);
    auto *captureRow = new QHBoxLayout;
    captureRow->addWidget(captureButton);
    captureRow->addWidget(statusLabel, 1);
    grid->addLayout(captureRow, 3, 0, 1, 2);

    auto *right = new QFormLayout;
    standardsList = new QListWidget;
    right->addRow(label(VerifyCaption::Standards));
    right->addRow(standardsList);
    standardId = new QLineEdit;
    standardDescription = new QLineEdit;
    standardCertificate = new QLineEdit;
    standardDue = new QDateEdit(QDate::currentDate().addYears(1));
    standardDue->setCalendarPopup(true);
    standardDue->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    right->addRow(label(VerifyCaption::StandardId), standardId);
    right->addRow(label(VerifyCaption::StandardDescription), standardDescription);
    right->addRow(label(VerifyCaption::StandardCertificate), standardCertificate);
    right->addRow(label(VerifyCaption::StandardDue), standardDue);
    saveStandardButton = new QPushButton;
    right->addRow(saveStandardButton);
    temperatureEdit = new QLineEdit;
    humidityEdit = new QLineEdit;
    technicianEdit = new QLineEdit;
    approverEdit = new QLineEdit;
    right->addRow(label(VerifyCaption::Temperature), temperatureEdit);
    right->addRow(label(VerifyCaption::Humidity), humidityEdit);
    right->addRow(label(VerifyCaption::Technician), technicianEdit);
    right->addRow(label(VerifyCaption::Approver), approverEdit);
    certificateButton = new QPushButton;
    right->addRow(certificateButton);
    grid->addLayout(right, 1, 2, 3, 2);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(2, 1);
    const std::pair<QWidget *, const char *> names[] = {
        {nextLabel, "Label_VerificationNext"},
        {statusLabel, "Label_VerificationStatus"},
        {phaseBox, "ComboBox_VerificationPhase"},
        {sideBox, "ComboBox_VerificationSide"},
        {pointsEdit, "Edit_TestPoints"},
        {toleranceBox, "SpinBox_Tolerance"},
        {guardBandBox, "SpinBox_GuardBand"},
        {repliesBox, "SpinBox_CaptureReplies"},
        {stableBandBox, "SpinBox_StableBand"},
        {table, "Table_Verification"},
        {captureButton, "Button_Capture"},
        {standardsList, "List_Standards"},
        {standardId, "Edit_StandardId"},
        {standardDescription, "Edit_StandardDescription"},
        {standardCertificate, "Edit_StandardCertificate"},
        {standardDue, "Edit_StandardDue"},
        {saveStandardButton, "Button_SaveStandard"},
        {temperatureEdit, "Edit_AmbientTemperature"},
        {humidityEdit, "Edit_Humidity"},
        {technicianEdit, "Edit_Technician"},
        {approverEdit, "Edit_Approver"},
        {certificateButton, "Button_Certificate"}};
    for (const auto &[widget, name] : names)
        widget->setObjectName(QLatin1String(name));

    connect(phaseBox, &QComboBox::currentIndexChanged, this, [this] { newRun(); });
    connect(sideBox, &QComboBox::currentIndexChanged, this, [this] { newRun(); });
    for (QDoubleSpinBox *box : {toleranceBox, guardBandBox, stableBandBox})
        connect(box, &QDoubleSpinBox::editingFinished, this, [this] {
            saveSettings();
            newRun();
        });
    connect(repliesBox, &QSpinBox::editingFinished, this, [this] { saveSettings(); });
    connect(pointsEdit, &QLineEdit::editingFinished, this, [this] {
        if (!TestPoints::fromText(pointsEdit->text())) {
            pointsEdit->setToolTip(text(VerifyCaption::BadTestPoints));
            pointsEdit->setStyleSheet(QStringLiteral("color: #c00000"));
            return;
        }
        pointsEdit->setToolTip({});
        pointsEdit->setStyleSheet({});
        saveSettings();
        newRun();
    });
    connect(table, &QTableWidget::cellChanged, this, &VerificationPage::typed);
    connect(captureButton, &QPushButton::clicked, this, &VerificationPage::capture);
    connect(saveStandardButton, &QPushButton::clicked, this, &VerificationPage::saveStandard);
    connect(certificateButton, &QPushButton::clicked, this, &VerificationPage::issueCertificate);
}

void VerificationPage::loadSettings()
{
    const QString section = QString::fromLatin1(Section);
    const auto value = [&](const char *key) { return m_ini.value(section, QLatin1String(key)); };
    const std::optional<TestPoints> points = TestPoints::fromText(value(PointsKey));
    pointsEdit->setText(points.value_or(TestPoints{}).text());
    bool ok = false;
    if (const double v = value(ToleranceKey).toDouble(&ok); ok) toleranceBox->setValue(v);
    if (const double v = value(GuardBandKey).toDouble(&ok); ok) guardBandBox->setValue(v);
    if (const int v = value(RepliesKey).toInt(&ok); ok) repliesBox->setValue(v);
    if (const double v = value(StableBandKey).toDouble(&ok); ok) stableBandBox->setValue(v);
    technicianEdit->setText(value(TechnicianKey));
    approverEdit->setText(value(ApproverKey));
}

void VerificationPage::saveSettings()
{
    const QString section = QString::fromLatin1(Section);
    const auto set = [&](const char *key, const QString &v) {
        m_ini.setValue(section, QLatin1String(key), v); // a failure costs a retyping
    };
    if (const std::optional<TestPoints> points = TestPoints::fromText(pointsEdit->text()))
        set(PointsKey, points->text());
    set(ToleranceKey, QString::number(toleranceBox->value()));
    set(GuardBandKey, QString::number(guardBandBox->value()));
    set(RepliesKey, QString::number(repliesBox->value()));
    set(StableBandKey, QString::number(stableBandBox->value()));
}

void VerificationPage::setLanguage(CaptionLanguage language)
{
    m_language = language;
    for (const auto &[l, caption] : m_labels)
        l->setText(text(caption));
    phaseBox->setItemText(0, text(VerifyCaption::AsFound));
    phaseBox->setItemText(1, text(VerifyCaption::AsLeft));
    sideBox->setItemText(0, text(VerifyCaption::Input));
    sideBox->setItemText(1, text(VerifyCaption::Output));
    const bool input = sideBox->currentIndex() == 0;
    const QString unit = m_run ? QStringLiteral(" (%1)").arg(m_run->scale().unit) : QString();
    table->setHorizontalHeaderLabels(
        {text(VerifyCaption::Point),
         text(input ? VerifyCaption::Applied : VerifyCaption::Expected) + unit,
         text(VerifyCaption::Reading) + unit, text(VerifyCaption::Error) + unit,
         text(VerifyCaption::ErrorPercent), text(VerifyCaption::Verdict)});
    captureButton->setText(text(VerifyCaption::Capture));
    saveStandardButton->setText(text(VerifyCaption::SaveStandard));
    certificateButton->setText(text(VerifyCaption::Certificate));
    refreshTable();
    refreshNext();
}

std::optional<VerificationScale> VerificationPage::scale(VerificationSide side) const
{
    const std::optional<InstrumentSettings> &held = m_unit.heldSettings();
    if (!held) return std::nullopt;
    const ScaleSetting &s = side == VerificationSide::Input ? held->input : held->output;
    const bool current = s.type == instrument::SignalType::Current;
    return VerificationScale{s.low, s.high, current ? QStringLiteral("mA") : QStringLiteral("V")};
}

void VerificationPage::newRun()
{
    m_capture.reset();
    const VerificationSide side =
        sideBox->currentIndex() == 0 ? VerificationSide::Input : VerificationSide::Output;
    const std::optional<VerificationScale> s = scale(side);
    const std::optional<TestPoints> points = TestPoints::fromText(pointsEdit->text());
    if (!s || !points) {
        m_run.reset();
    } else {
        m_run.emplace(phaseBox->currentIndex() == 0 ? VerificationPhase::AsFound
                                                    : VerificationPhase::AsLeft,
                      side, *s,
                      // A guard band wider than the tolerance leaves it no pass.
                      Tolerance{toleranceBox->value(),
                                std::min(guardBandBox->value(), toleranceBox->value())},
                      *points);
    }
    captureButton->setEnabled(side == VerificationSide::Input);
    setLanguage(m_language); // the headers name the side's column
}

QString VerificationPage::number(double value, int decimals) const
{
    return certificateNumberText(value, decimals, m_language);
}

void VerificationPage::refreshTable()
{
    m_filling = true;
    const int rows = m_run ? m_run->pointCount() : 0;
    table->setRowCount(rows);
    const Verification result = m_run ? m_run->result() : Verification{};
    std::size_t next = 0;
    const bool output = m_run && sideBox->currentIndex() == 1;
    for (int r = 0; r < rows; ++r) {
        const bool measured = m_run->isMeasured(r);
        const VerificationPoint *p = measured ? &result.points[next++] : nullptr;
        const QString cells[] = {testPointName(m_run->percent(r)),
                                 number(m_run->expected(r), 4),
                                 p ? number(p->reading, 4) : QString(),
                                 p ? number(p->error, 4) : QString(),
                                 p ? number(p->errorPercentOfSpan, 3) : QString(),
                                 p ? verdictText(p->verdict, m_language) : QString()};
        for (int c = 0; c < 6; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
            // The reference meter's reading of the output is typed.
            if (c == ReadingColumn && output) flags |= Qt::ItemIsEditable;
            item->setFlags(flags);
            if (c == VerdictColumn && p)
                item->setForeground(p->verdict == Verdict::Fail   ? QColor(0xc0, 0, 0)
                                    : p->verdict == Verdict::Pass ? QColor(0, 0x80, 0)
                                                                  : QColor(0xb0, 0x70, 0));
            table->setItem(r, c, item);
        }
    }
    m_filling = false;
}

void VerificationPage::refreshNext()
{
    if (!m_unit.isConnected()) {
        nextLabel->setText(text(VerifyCaption::NoUnit));
        statusLabel->setText(m_status);
        return;
    }
    static constexpr VerifyCaption Next[] = {
        VerifyCaption::NextAsFound, VerifyCaption::NextCalibrate, VerifyCaption::NextAsLeft,
        VerifyCaption::NextCertificate};
    nextLabel->setText(text(Next[int(m_runs.next())]));
    if (!m_capture)
        statusLabel->setText(m_status);
    else if (m_inputValueMissing)
        statusLabel->setText(text(VerifyCaption::NoInputValue));
    else
        statusLabel->setText(
            text(VerifyCaption::Capturing).arg(m_capture->steadyCount()).arg(m_capture->replies()));
}

QString VerificationPage::statusText() const
{
    return statusLabel->text();
}

bool VerificationPage::unitKnown()
{
    if (!m_unit.isConnected() || !m_unit.hasReplied()) return false;
    if (m_unit.serialNumber().isEmpty()) {
        SerialNumberQuestion question;
        question.title = fileCaptionText(m_language, FileCaption::UnitSerialTitle);
        question.label =
            fileCaptionText(m_language, FileCaption::UnitSerialLabel).arg(m_unit.port());
        question.hint = fileCaptionText(m_language, FileCaption::UnitSerialHint);
        const quint64 connection = m_unit.connection();
        const std::optional<QString> given = askSerialNumber(this, question);
        if (!given || m_unit.connection() != connection || !m_unit.setSerialNumber(*given))
            return false;
    }
    m_runs.forUnit(m_unit.connection(), m_unit.serialNumber());
    return true;
}

void VerificationPage::capture()
{
    if (!m_run || !unitKnown()) return;
    // The selected point, else the first not yet measured.
    int row = table->currentRow();
    if (row < 0 || m_run->isMeasured(row))
        for (row = 0; row < m_run->pointCount() && m_run->isMeasured(row); ++row) {
        }
    if (row >= m_run->pointCount()) row = std::max(0, table->currentRow());
    m_captureRow = row;
    table->selectRow(row);
    m_capture.emplace(repliesBox->value(),
                      std::fabs(m_run->scale().span()) * stableBandBox->value() / 100.0);
    refreshNext();
}

void VerificationPage::addReading(const DecodedReading &reading)
{
    if (!m_capture || !m_run) return;
    const std::optional<double> value = inputInScaleUnit(reading, m_run->scale());
    m_inputValueMissing = !reading.inputValue;
    if (!m_capture->feed(value.value_or(std::numeric_limits<double>::quiet_NaN()))) {
        refreshNext();
        return;
    }
    const double average = *m_capture->average();
    m_capture.reset();
    measured(m_captureRow, average);
}

void VerificationPage::typed(int row, int column)
{
    if (m_filling || column != ReadingColumn || !m_run || sideBox->currentIndex() != 1) return;
    const std::optional<double> value = parseLocaleNumber(table->item(row, column)->text());
    if (!value) {
        refreshTable();
        return;
    }
    if (!unitKnown()) {
        refreshTable();
        return;
    }
    measured(row, *value);
}

void VerificationPage::measured(int row, double reading)
{
    m_run->measure(row, reading, QDateTime::currentDateTime());
    m_runs.keep(m_run->result());
    m_status.clear();
    refreshTable();
    if (row + 1 < m_run->pointCount()) table->selectRow(row + 1);
    refreshNext();
}

void VerificationPage::calibrationStored(const CalibrationRecord &record)
{
    if (!m_unit.isConnected() || record.serialNumber != m_unit.serialNumber()) return;
    m_runs.forUnit(m_unit.connection(), m_unit.serialNumber());
    m_calibration = record;
    m_runs.calibrationStored();
    // The next run is the as left one.
    phaseBox->setCurrentIndex(1);
    refreshNext();
}
