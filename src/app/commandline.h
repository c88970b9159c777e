// The factory-level switch on the command line, and the texts that name the
// program and the instrument in the window: the caption and the model label.
#pragma once

#include <QString>
#include <QStringList>

// Model shown in the model label; set when the window is created.
inline const QString kModelName = QStringLiteral("KX4720R");
// Version date of this program, shown in the window caption.
inline const QString kVersionDate = QStringLiteral("2013-10-09");
// The switch that turns on the factory-level view.
inline const QString kFactoryAccessSwitch = QStringLiteral("/VARNEL");
// Appended to the model label in the factory-level view.
inline const QString kFactoryAccessSuffix = QStringLiteral(" - Varnel szintű hozzáférés");

// True when one of the parameters, in any letter case, is exactly the
// switch. `parameters` are the command-line parameters without the program
// name; a parameter that merely contains the switch does not count.
bool hasFactoryAccessSwitch(const QStringList &parameters);

// The running program's parameters (QCoreApplication::arguments() without the
// program name), and whether they carry the switch.
QStringList commandLineParameters();
bool factoryAccessRequested();

// The window caption: program title, "   V", the version date, "   Varnel Kft.".
QString windowCaption(const QString &programTitle);

// The model label: model prefix and model name, with the factory-level suffix
// in the factory-level view.
QString modelLabelText(const QString &modelPrefix, const QString &modelName, bool factoryLevel);
