// Walking the options of one kx4720r-cli command.
#include "cli_arguments.h"

namespace cli {

bool ArgumentCursor::next()
{
    if (failed() || ++m_pos >= m_args.size()) return false;
    const QString &argument = m_args[m_pos];
    m_inline.reset();
    m_name = argument;
    if (argument.startsWith(u"--") && argument.contains(u'=')) {
        m_name = argument.section(u'=', 0, 0);
        m_inline = argument.section(u'=', 1);
    }
    return true;
}

std::optional<QString> ArgumentCursor::value()
{
    if (m_inline) return *m_inline;
    if (m_pos + 1 >= m_args.size()) {
        usage(QStringLiteral("%1 needs a value").arg(m_name));
        return std::nullopt;
    }
    return m_args[++m_pos];
}

std::optional<QStringList> ArgumentCursor::values(qsizetype count)
{
    if (m_inline || m_pos + count >= m_args.size()) return std::nullopt;
    const QStringList taken = m_args.mid(m_pos + 1, count);
    m_pos += count;
    return taken;
}

void ArgumentCursor::once(const QString &option)
{
    if (m_seen.contains(option)) usage(QStringLiteral("%1 is given more than once").arg(option));
    m_seen << option;
}

void ArgumentCursor::usage(const QString &message)
{
    if (!failed())
        m_error = QStringLiteral("%1: %2 (see kx4720r-cli %1 --help)").arg(m_command, message);
}

} // namespace cli
