// The trend page's texts in English and Hungarian.
#include "trend/trend_texts.h"

const TrendTexts &trendTexts(TrendLanguage language)
{
    static const TrendTexts english{
        TextLanguage::English,
        QStringLiteral("Trend"),
        QStringLiteral("Time span:"),
        QStringLiteral("%1 min"),
        QStringLiteral("Pause"),
        QStringLiteral("Resume"),
        QStringLiteral("Paused at %1"),
        QStringLiteral("Clear"),
        QStringLiteral("Record…"),
        QStringLiteral("Stop"),
        QStringLiteral("Record the readings"),
        QStringLiteral("CSV files (*.csv)"),
        QStringLiteral("Recording to %1"),
        QStringLiteral("Recording stopped: %1"),
        QStringLiteral("Recording not started: %1"),
        QStringLiteral("cannot open %1 for writing: %2"),
        QStringLiteral("%1 holds something other than readings in this format; choose another "
                       "file"),
        QStringLiteral("cannot write to %1: %2"),
        QStringLiteral("%1 was deleted, moved or replaced while it was written; the readings "
                       "since are lost"),
        {QStringLiteral("Input value"), QStringLiteral("Output value"),
         QStringLiteral("Temperature")},
        QStringLiteral("Time (s)"),
        QStringLiteral("Time (min)"),
    };
    static const TrendTexts hungarian{
        TextLanguage::Hungarian,
        QStringLiteral("Trend"),
        QStringLiteral("Időtartam:"),
        QStringLiteral("%1 perc"),
        QStringLiteral("Szünet"),
        QStringLiteral("Folytatás"),
        QStringLiteral("Megállítva: %1"),
        QStringLiteral("Törlés"),
        QStringLiteral("Rögzítés…"),
        QStringLiteral("Leállítás"),
        QStringLiteral("A mérések rögzítése"),
        QStringLiteral("CSV fájlok (*.csv)"),
        QStringLiteral("Rögzítés folyamatban: %1"),
        QStringLiteral("A rögzítés leállt: %1"),
        QStringLiteral("A rögzítés nem indult el: %1"),
        QStringLiteral("%1 nem nyitható meg írásra: %2"),
        QStringLiteral("%1 nem ilyen formájú mérési adatokat tartalmaz; válasszon másik fájlt"),
        QStringLiteral("%1 nem írható: %2"),
        QStringLiteral("%1 fájlt írás közben törölték, áthelyezték vagy lecserélték; az azóta "
                       "érkezett mérések elvesztek"),
        {QStringLiteral("Bemenő érték"), QStringLiteral("Kimenő érték"),
         QStringLiteral("Hőmérséklet")},
        QStringLiteral("Idő (s)"),
        QStringLiteral("Idő (perc)"),
    };
    return language == TrendLanguage::Hungarian ? hungarian : english;
}
