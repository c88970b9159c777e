// The window's life cycle (creation, activation, closing, the initialisation
// file, the normal and the factory-level view) and the endless request/reply
// exchange with the instrument on MB1.
#include "app/form_main.h"

#include "app/commandline.h"
#include "app/incal_view.h"
#include "app/outcal_view.h"
#include "core/page_forcing.h"
#include "panel/mb.h"
#include "protocol/instrument_protocol.h"
#include "trend/trend_page.h"
#include "ui_form_main.h"

void TForm_Main::FormCreate(QObject *)
{
    LoadIniSettings();

    PWMSetpoint = 0;
    PWMForce = 0;
    OutCalPWM4mA = 0;
    OutCalPWM2V = 0;
    OutCalPWM20mA = 65535;
    OutCalPWM10V = 65535;

    // The output calibration wizard starts on its first step.
    ui->PageControl4->setActivePage(ui->TabSheet_OutCalStep1);
    ui->ListBox_OutputCalibrated->clear();
    ui->SpeedButton_OutputCalibrationBack->hide();
    ui->SpeedButton_OutputCalibrationNext->show();
    // The stored layout has the checking steps' bar over the adjustment
    // controls; show the first step's controls without running its setup,
    // which would force the output before the user asks for it.
    m_outCal->showStepControls();

    m_modelName = kModelName;
}

void TForm_Main::FormActivate(QObject *)
{
    UpdateWindowCaption();
    CheckAccessSwitch();
}

void TForm_Main::FormClose(QObject *)
{
    // Closing the port first ends a transaction in flight, so the cycle sends
    // nothing more while the file is written.
    ui->MB1->MBClosePort();
    SaveIniSettings(); // a failure must not keep the window open
}

IniFile TForm_Main::iniFile() const
{
    return m_environment.iniFile ? *m_environment.iniFile : IniFile::forThisProgram();
}

QStringList TForm_Main::commandLine() const
{
    return m_environment.parameters ? *m_environment.parameters : commandLineParameters();
}

void TForm_Main::LoadIniSettings()
{
    const IniSettings settings = iniFile().load();
    // MB1 preselects this port when it fills its port list.
    ui->MB1->setMBLastUsedPort(settings.lastUsedPort);
    ApplyLanguage(settings.languageName);
}

IniSettings TForm_Main::iniSettings() const
{
    IniSettings settings;
    settings.lastUsedPort = ui->MB1->MBLastUsedPort();
    settings.languageName = m_languageName;
    return settings;
}

IniSaveResult TForm_Main::SaveIniSettings()
{
    IniSettings settings = iniSettings();
    settings.date = currentIniDateText();
    return iniFile().save(settings);
}

void TForm_Main::UpdateWindowCaption()
{
    setWindowTitle(windowCaption(m_captions.programTitle()));
}

void TForm_Main::CheckAccessSwitch()
{
    m_factoryLevel = hasFactoryAccessSwitch(commandLine());
    ApplyAccessView();
}

void TForm_Main::ApplyAccessView()
{
    ui->Label_KeszulekAltipus->setText(
        modelLabelText(m_captions.modelPrefix(), m_modelName, m_factoryLevel));
    for (QWidget *page : {ui->TabSheet_InputCalibration, ui->TabSheet_OutputCalibration,
                          ui->TabSheet_KimenetEllenorzes, ui->TabSheet_Test})
        ui->PageControl1->setTabVisible(page, m_factoryLevel);
    trendApplyView();
    if (m_factoryLevel) refreshFactoryView();
}

// The factory-level view shows its panels at once and redisplays the last
// reply, as after a good exchange. Two things a plain end of exchange would
// do are left out here: showing a reply when there is none (at start-up it
// would load zeros into the settings group and use up the pending read of
// the stored settings), and starting a transaction while one is in flight
// (the cycle already carries every change with its next request).
void TForm_Main::refreshFactoryView()
{
    if (const auto &last = m_exchange->lastReply()) DecodeInstrumentReply(*last);
    showExchangePanels(true);
    if (ui->MB1->MBPortOpen() && !ui->MB1->MBBusy()) SendInstrumentRequest();
}

void TForm_Main::showExchangePanels(bool visible)
{
    ui->PageControl1->setVisible(visible);
    ui->GroupBox_System->setVisible(visible);
    ui->Label_KeszulekAltipus->setVisible(visible);
}

void TForm_Main::MB1MBPortOpenedOrClosed(QObject *, bool MBbPortOpen)
{
    emit iniSettingsChanged(); // the port opened is the last used one
    if (MBbPortOpen) SendInstrumentRequest();
}

void TForm_Main::MB1MBMasterEndOfEvent(QObject *, TMBStatus MBStatus, const QString &)
{
    // The exchange decodes a good reply once and hands it on to what the
    // next request depends on: the unit on the line, the calibration
    // recorder, the displays (DecodeInstrumentReply: the acknowledged
    // commands' buttons come up, the stored settings fill the edits once).
    m_exchange->take(MBStatus, InstrumentExchange::Views::Later);
    showExchangePanels(MBStatus == TMBStatus::stOK || m_factoryLevel);
    // The cycle stops when the port was closed or lost, or a frame could
    // not be written (the exchange then closes the port as a lost one).
    if (m_exchange->goesOn(MBStatus)) SendInstrumentRequest();
    // The trend and a field check only show the reply (a failure: the trend's
    // gap): they wait until the next request is on the line.
    m_exchange->showTaken();
}

void TForm_Main::PageControl1Change(QObject *)
{
    // No forcing survives a change of page.
    ui->RadioGroup_GainForce->setItemIndex(0);
    ui->RadioGroup_DividerForce->setItemIndex(0);
    ui->RadioGroup_GainForceCH->setItemIndex(0);
    ui->RadioGroup_MereshatarForce->setItemIndex(0);

    const QWidget *page = ui->PageControl1->ActivePage();
    const PageForcing forcing = forcingOnEntering(instrumentPage(page), PWMSetpoint);
    if (forcing.pwmForce) PWMForce = *forcing.pwmForce;
    if (forcing.restart) ui->SpeedButton_Reset->setDown(true);
    if (page == ui->TabSheet_InputCalibration) m_inCal->enterPage();
}

InstrumentPage TForm_Main::instrumentPage(const QWidget *page) const
{
    if (page == ui->TabSheet_InputCalibration) return InstrumentPage::InputCalibration;
    if (page == ui->TabSheet_OutputCalibration) return InstrumentPage::OutputCalibration;
    if (page == ui->TabSheet_KimenetEllenorzes) return InstrumentPage::OutputCheck;
    if (page == ui->TabSheet_Test) return InstrumentPage::Test;
    if (page == TabSheet_Trend) return InstrumentPage::Trend;
    return InstrumentPage::Settings;
}
