// The window's parts of the calibration records: the records on their own
// thread, the keeper that stores each calibration recorded, and the button on
// the Settings page that opens the "Records" dialog.
#pragma once

#include "app/file_memory.h"
#include "ui/captions.h"

class CalibrationRecorder;
class RecordsKeeper;
class TForm_Main;

// Opens the records the window's initialisation file (`memory`'s [Files]
// section) or the environment names. The parts are the window's children.
RecordsKeeper *createRecordsParts(TForm_Main &window, CalibrationRecorder &recorder,
                                  const FileMemory &memory);
void applyRecordsCaptions(TForm_Main &window, CaptionLanguage language);
