// Event recorder for link engine tests.
#include "support/enginelog.h"

#include <QMetaEnum>

EngineLog::EngineLog(MBEngine &engine)
{
    connect(&engine, &MBEngine::OnMBBusyChanged, this, [this](bool busy) {
        entries << QStringLiteral("Busy(%1)").arg(busy ? "true" : "false");
    });
    connect(&engine, &MBEngine::OnMBStatusNowChanged, this,
            [this](TMBStatusNow status, const QString &text) {
                entries << QStringLiteral("Now(%1:%2)")
                               .arg(QMetaEnum::fromType<TMBStatusNow>().valueToKey(int(status)),
                                    text);
            });
    connect(&engine, &MBEngine::OnMBMasterEndOfEvent, this,
            [this](TMBStatus status, const QString &text) {
                ++endEvents;
                lastEndStatus = status;
                lastEndText = text;
                entries << QStringLiteral("End(%1:%2)")
                               .arg(QMetaEnum::fromType<TMBStatus>().valueToKey(int(status)), text);
            });
    connect(&engine, &MBEngine::OnMBPortOpenedOrClosed, this, [this](bool open) {
        entries << QStringLiteral("Port(%1)").arg(open ? "true" : "false");
    });
}

QStringList EngineLog::take()
{
    QStringList taken;
    taken.swap(entries);
    return taken;
}
