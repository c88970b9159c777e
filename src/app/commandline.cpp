// Factory-level switch and the caption texts of the main window.
#include "app/commandline.h"

#include <QCoreApplication>

#include <algorithm>

bool hasFactoryAccessSwitch(const QStringList &parameters)
{
    return std::any_of(parameters.begin(), parameters.end(), [](const QString &parameter) {
        return parameter.toUpper() == kFactoryAccessSwitch;
    });
}

QStringList commandLineParameters()
{
    return QCoreApplication::arguments().mid(1);
}

bool factoryAccessRequested()
{
    return hasFactoryAccessSwitch(commandLineParameters());
}

QString windowCaption(const QString &programTitle)
{
    return programTitle + QStringLiteral("   V") + kVersionDate + QStringLiteral("   Varnel Kft.");
}

QString modelLabelText(const QString &modelPrefix, const QString &modelName, bool factoryLevel)
{
    QString text = modelPrefix + modelName;
    if (factoryLevel) text += kFactoryAccessSuffix;
    return text;
}
