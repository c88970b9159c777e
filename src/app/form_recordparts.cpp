// Making the window's records parts and giving them their captions.
#include "app/form_recordparts.h"

#include "app/form_main.h"
#include "app/records_dialog.h"
#include "app/records_keeper.h"
#include "app/window_records.h"
#include "ui/records_captions.h"
#include "ui_form_main.h"

#include <QPushButton>

namespace {

// At the foot of the Settings page, right of the settings group.
const QRect OpenButtonPlace(616, 232, 105, 25);
const char OpenButtonName[] = "Button_Records";

} // namespace

RecordsKeeper *createRecordsParts(TForm_Main &window, CalibrationRecorder &recorder,
                                  const FileMemory &memory)
{
    auto *records = new WindowRecords(
        chooseRecordsPlace(memory.value(RecordsDatabaseKey), memory.value(BenchKey)), &window);
    auto *keeper = new RecordsKeeper(window, recorder, *records);

    auto *open = new QPushButton(window.ui->TabSheet_Uzemmod);
    open->setObjectName(QLatin1String(OpenButtonName));
    open->setGeometry(OpenButtonPlace);
    QObject::connect(open, &QPushButton::clicked, &window, [&window] {
        showRecordsDialog(&window, window.connectedUnit.serialNumber());
    });
    return keeper;
}

void applyRecordsCaptions(TForm_Main &window, CaptionLanguage language)
{
    if (auto *keeper = window.findChild<RecordsKeeper *>()) keeper->applyLanguage(language);
    if (auto *open = window.findChild<QPushButton *>(QLatin1String(OpenButtonName)))
        open->setText(recordsCaptionText(language, RecordsCaption::OpenButton));
}
