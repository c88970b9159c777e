// Records the link engine's events as short texts, in the order they fire,
// so that tests can compare whole notification sequences.
#pragma once

#include "link/mbengine.h"

#include <QObject>
#include <QStringList>

class EngineLog : public QObject {
    Q_OBJECT
public:
    explicit EngineLog(MBEngine &engine);

    QStringList entries;
    int endEvents = 0;
    TMBStatus lastEndStatus = TMBStatus::stOK;
    QString lastEndText;

    // The entries since the last take(), which then starts afresh.
    QStringList take();
};
