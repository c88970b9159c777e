// The text of a PDF as pdftotext (poppler-utils) reads it, without blanks:
// where a text extractor sees a space between narrow glyphs ("2 V" or "2V")
// is its own guess. Empty when it cannot be read.
#pragma once

#include <QString>

QString pdfText(const QString &path);
// Whether the text holds `text`, blanks aside.
bool pdfShows(const QString &pdf, QString text);
// Renders the first page to `pngPath` (pdftoppm); false when it could not.
bool renderFirstPage(const QString &pdfPath, const QString &pngPath);
