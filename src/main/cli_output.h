// What kx4720r-cli says: results on standard output, failures as one line on
// standard error. Every write to standard output is checked: a command whose
// output did not get out has not done what it was asked.
#pragma once

#include "core/decoded_reading.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace cli {

// While one lives on a thread, what that thread's commands print is kept
// here instead of written out: an instrument of many, served on a thread of
// its own, hands its result to the one thread that writes the output, so
// the lines of different instruments never mix. With a line handler, each
// printed text goes there as it comes (monitoring).
class OutputCapture {
public:
    explicit OutputCapture(std::function<bool(const QString &)> onText = {});
    ~OutputCapture();
    OutputCapture(const OutputCapture &) = delete;
    OutputCapture &operator=(const OutputCapture &) = delete;

    QString out;
    QStringList errors; // the messages, without the program's name
    std::function<bool(const QString &)> onText;
    // Each reading monitoring takes, for one readings file of many instruments.
    std::function<void(const DecodedReading &)> onReading;

private:
    OutputCapture *m_previous;
};

// Writes the text whole to standard output. False once any write failed
// (full disk, closed pipe, ...): nothing more is written after that.
bool print(const QString &text);
// errno of the write that failed; 0 while every write went out.
int outputError();
// The output went to a reader that went away (a closed pipe, `| head`).
bool outputReaderGone();
// "cannot write to standard output: No space left on device".
QString outputErrorText();

// Hands the reading to this thread's capture, if it takes readings.
void passReading(const DecodedReading &reading);

// One line on standard error: "kx4720r-cli: " and the message.
void printError(const QString &message);

} // namespace cli
