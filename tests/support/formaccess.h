// Reaching the main window's controls and MB1's data buffers from tests, by
// the controls' object names.
#pragma once

#include "app/form_main.h"
#include "panel/mb.h"

#include <QByteArray>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QWidget>

#include <stdexcept>

namespace formaccess {

// The control of that name and kind; throws when the window has none, so a
// misspelt name fails the test instead of crashing it.
template <class T> T *control(const QObject &window, const char *name)
{
    T *found = window.findChild<T *>(QString::fromLatin1(name));
    if (!found) throw std::logic_error(std::string("no control ") + name);
    return found;
}

TMB *mb1(const QObject &window);

// The data bytes the window left in MB1's TX data buffer.
QByteArray sentData(const QObject &window);

// Loads data bytes into MB1's RX data buffer as the data of an accepted
// reply (address 0x81, result code 0), read index at 1.
void loadReply(const QObject &window, const QByteArray &data);

// The panels the window shows only while exchanges succeed (or in the
// factory-level view): the page control, the system group and the model label.
bool panelsVisible(const QWidget &window);
bool panelsHidden(const QWidget &window);

// Shows the page's tab and makes the page the active one, as the window's
// own page change does.
void showPage(TForm_Main &window, const char *page);
// Clicks the page's tab as the user would; true when that made the page the
// active one with a single change event.
bool clickPage(TForm_Main &window, const char *page);

// A locale whose decimal separator is `separator` ('.' or ',').
QLocale localeWithSeparator(QChar separator);

} // namespace formaccess
