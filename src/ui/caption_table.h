// A table of texts in both languages, one row per enumerator in the enum's
// order, checked at compile time; the file, verification and records captions
// are such tables.
#pragma once

#include "ui/captions.h"

#include <QString>

#include <array>
#include <cstddef>

template <typename Caption> struct LanguageRow {
    Caption caption;
    const char16_t *english;
    const char16_t *hungarian;
};

template <typename Caption, std::size_t N>
constexpr bool rowsFollowTheEnum(const std::array<LanguageRow<Caption>, N> &rows)
{
    for (std::size_t i = 0; i < N; ++i)
        if (static_cast<std::size_t>(rows[i].caption) != i) return false;
    return true;
}

template <typename Caption, std::size_t N>
QString rowText(const std::array<LanguageRow<Caption>, N> &rows, CaptionLanguage language,
                Caption caption)
{
    const LanguageRow<Caption> &r = rows[static_cast<std::size_t>(caption)];
    return QString::fromUtf16(language == CaptionLanguage::English ? r.english : r.hungarian);
}
