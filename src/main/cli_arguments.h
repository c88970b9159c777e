// Walking the options of one kx4720r-cli command: "--name=value" or
// "--name value", each option once where it must be, and the first usage
// error kept, told as "COMMAND: what is wrong (see kx4720r-cli COMMAND --help)".
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace cli {

class ArgumentCursor {
public:
    // The arguments start with the command's name; usage errors go to `error`.
    ArgumentCursor(const QStringList &arguments, QString &error) : m_args(arguments), m_error(error)
    {
    }

    // The command the usage errors name ("read", "records list").
    void setCommand(const QString &command) { m_command = command; }

    // Moves to the next argument; false at the end or once an error is set.
    bool next();

    const QString &argument() const { return m_args[m_pos]; }
    // The option's name: the argument, or its part before '=' for "--name=value".
    const QString &name() const { return m_name; }
    bool hasInlineValue() const { return m_inline.has_value(); }

    // The option's value: after its '=', or the next argument.
    std::optional<QString> value();
    // The next `count` arguments, taken as the option's values (never inline).
    std::optional<QStringList> values(qsizetype count);

    // Each option once: a second value would silently win over the first.
    void once(const QString &option);
    // Keeps the first usage error only.
    void usage(const QString &message);
    bool failed() const { return !m_error.isEmpty(); }

private:
    const QStringList &m_args;
    QString &m_error;
    QString m_command;
    qsizetype m_pos = 0;
    QString m_name;
    std::optional<QString> m_inline;
    QSet<QString> m_seen;
};

} // namespace cli
