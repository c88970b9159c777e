// What kx4720r-cli says: results on standard output, failures as one line on
// standard error. Every write to standard output is checked: a command whose
// output did not get out has not done what it was asked.
#pragma once

#include <QString>

namespace cli {

// Writes the text whole to standard output. False once any write failed
// (full disk, closed pipe, ...): nothing more is written after that.
bool print(const QString &text);
// errno of the write that failed; 0 while every write went out.
int outputError();
// The output went to a reader that went away (a closed pipe, `| head`).
bool outputReaderGone();
// "cannot write to standard output: No space left on device".
QString outputErrorText();

// One line on standard error: "kx4720r-cli: " and the message.
void printError(const QString &message);

} // namespace cli
