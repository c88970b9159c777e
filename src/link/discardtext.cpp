// What the link threw away, in words.
#include "link/discardtext.h"

#include <QStringList>

namespace mb {

namespace {

QString counted(std::uint32_t count, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

} // namespace

QString discardSummaryText(const MBDiscardCounts &counts)
{
    if (counts.total() == 0) return QStringLiteral("nothing discarded");
    const QString characters = counted(counts.characters(), "character", "characters");
    if (counts.frames() == 0) return characters + QStringLiteral(" discarded outside a frame");
    QStringList reasons;
    for (const DiscardReason reason : kDiscardReasons)
        if (!countsCharacters(reason) && counts[reason] > 0)
            reasons << QStringLiteral("%1 %2")
                           .arg(QLatin1String(discardReasonText(reason)))
                           .arg(counts[reason]);
    QString text =
        QStringLiteral("%1 discarded (%2)")
            .arg(counted(counts.frames(), "frame", "frames"), reasons.join(QStringLiteral(", ")));
    if (counts.characters() > 0)
        text += QStringLiteral(", ") + characters + QStringLiteral(" outside a frame");
    return text;
}

QString discardListText(const MBDiscardCounts &counts)
{
    QString text = QStringLiteral("Discarded since the port was opened: %1, %2")
                       .arg(counted(counts.frames(), "frame", "frames"),
                            counted(counts.characters(), "character", "characters"));
    for (const DiscardReason reason : kDiscardReasons)
        text += QStringLiteral("\n%1: %2")
                    .arg(QLatin1String(discardReasonText(reason)))
                    .arg(counts[reason]);
    return text;
}

} // namespace mb
