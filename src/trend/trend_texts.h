// The trend page's texts in the window's two languages.
#pragma once

#include "core/instrument_settings.h"
#include "trend/trend_reading.h"

#include <QString>

#include <array>

enum class TrendLanguage { English, Hungarian };

struct TrendTexts {
    TextLanguage language; // of the core's texts (the readings file's header, reasons)
    QString page;         // the page's tab
    QString span;         // before the choice of time span
    QString minutes;      // one item of that choice; %1 is the number of minutes
    QString pause;        // the plot stands still while this is down
    QString resume;       // the same button while the plot stands still
    QString pausedAt;     // beside it then; %1 the time the plot ends at
    QString clear;        // forgets the plotted readings
    QString record;       // asks for a file and starts the log
    QString stop;         // ends the log
    QString recordTitle;  // the file dialog's title
    QString fileFilter;   // the file dialog's filter
    QString recording;    // %1: the file being written
    QString recordFailed; // %1: why the log stopped
    QString recordNotStarted; // %1: why no log started
    // Why a file could not be opened or written: %1 the file, %2 the
    // system's reason.
    QString cannotOpen;
    QString foreignFile;
    QString cannotWrite;
    QString fileGone;                                    // %1 the file
    std::array<QString, kTrendQuantityCount> quantities; // legend and axis names
    QString timeSeconds; // the time axis's title for the short spans
    QString timeMinutes; // and for the long ones
};

const TrendTexts &trendTexts(TrendLanguage language);
