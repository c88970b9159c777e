// The Verification page: the unit on the line measured at test points
// against a reference, as found before a calibration and as left after it,
// and the certificate. Input points are captured from the instrument's own
// readings (averaged once steady); output points are typed from the
// reference meter (a keyboard-wedge meter types the same way). The page
// keeps its settings in the initialisation file's "Verification" section,
// and the certificate's record in the bench's calibration records, which it
// reaches on their own thread.
#pragma once

#include "app/inifile.h"
#include "app/window_dialogs.h"
#include "app/window_records.h"
#include "core/calibration_log.h"
#include "core/calibration_record.h"
#include "core/connected_unit.h"
#include "core/verification.h"
#include "ui/captions.h"
#include "ui/verify_captions.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

class QComboBox;
class QDateEdit;
class QDoubleSpinBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTableWidget;

// A yes/no question; tests answer it without a dialog.
using AskYesNo = std::function<bool(QWidget *parent, const QString &title, const QString &text)>;
bool askYesNoWithDialog(QWidget *parent, const QString &title, const QString &text);

class VerificationPage : public QWidget {
    Q_OBJECT
public:
    static constexpr char Section[] = "Verification";

    // `records` (the window's, which outlive the page) may be null: the
    // certificate then says that there are no records to store it in.
    VerificationPage(ConnectedUnit &unit, IniFile ini, WindowRecords *records,
                     QWidget *parent = nullptr);
    ~VerificationPage() override;

    void setLanguage(CaptionLanguage language);
    CaptionLanguage language() const { return m_language; }
    // Every decoded reply of the exchange, in order.
    void addReading(const DecodedReading &reading);
    // A calibration the instrument acknowledged in this connection.
    void calibrationStored(const CalibrationRecord &record);

    // Questions and messages; tests answer them without dialogs.
    AskFileName askFileName = askFileNameWithDialog;
    AskSerialNumber askSerialNumber = askSerialNumberWithDialog;
    ShowMessage showMessage = showWarningBox;
    // Every certificate's entry is appended here too; tests give a folder.
    CalibrationLog log{CalibrationLog::defaultFolder()};

    const UnitVerifications &verifications() const { return m_runs; }
    QString statusText() const;

    // The controls, for the window's tests.
    QComboBox *phaseBox = nullptr;
    QComboBox *sideBox = nullptr;
    QLineEdit *pointsEdit = nullptr;
    QDoubleSpinBox *toleranceBox = nullptr;
    QDoubleSpinBox *guardBandBox = nullptr;
    QSpinBox *repliesBox = nullptr;
    QDoubleSpinBox *stableBandBox = nullptr;
    QTableWidget *table = nullptr;
    QPushButton *captureButton = nullptr;
    QLabel *nextLabel = nullptr;
    QLabel *statusLabel = nullptr;
    QListWidget *standardsList = nullptr;
    QLineEdit *standardId = nullptr;
    QLineEdit *standardDescription = nullptr;
    QLineEdit *standardCertificate = nullptr;
    QDateEdit *standardDue = nullptr;
    QPushButton *saveStandardButton = nullptr;
    QLineEdit *temperatureEdit = nullptr;
    QLineEdit *humidityEdit = nullptr;
    QLineEdit *technicianEdit = nullptr;
    QLineEdit *approverEdit = nullptr;
    QPushButton *certificateButton = nullptr;

signals:
    // The certificate and its record are written and stored; or not, with the reason.
    void certificateDone(bool written, const QString &certificateNumber);
    // The standards list was read from the records.
    void standardsLoaded();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void build();
    void loadSettings();
    void saveSettings();
    // A new run from the page's settings; the measured points go.
    void newRun();
    void refreshTable();
    void refreshNext();
    void capture();
    void typed(int row, int column);
    void measured(int row, double reading);
    bool unitKnown();
    void loadStandards();
    void saveStandard();
    void issueCertificate();
    std::optional<VerificationScale> scale(VerificationSide side) const;
    QString text(VerifyCaption caption) const { return verifyCaptionText(m_language, caption); }
    QString number(double value, int decimals) const;

    ConnectedUnit &m_unit;
    IniFile m_ini;
    QPointer<WindowRecords> m_records;
    CaptionLanguage m_language = kDefaultCaptionLanguage;
    UnitVerifications m_runs;
    std::optional<VerificationRun> m_run;
    std::optional<InputCapture> m_capture;
    int m_captureRow = -1;
    std::optional<CalibrationRecord> m_calibration; // stored in this connection
    std::vector<ReferenceStandard> m_standards;
    QString m_status;
    bool m_filling = false; // the table is being filled by the page itself
    bool m_standardsAsked = false;
    bool m_inputValueMissing = false; // the last reply had no calibrated input value
    std::vector<std::pair<QLabel *, VerifyCaption>> m_labels;
};
