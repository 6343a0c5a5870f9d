#include "ProgressLine.h"

#include <QLocale>

using namespace Qt::StringLiterals;

namespace quillcast::cli {

QString ProgressLine::text(const QString &label, qint64 done, qint64 total, const QString &unit)
{
    if (total <= 0)
        return label + u"..."_s;
    const QLocale c = QLocale::c();
    const qint64 percent = done >= total ? 100 : done * 100 / total;
    return u"%1: %2 of %3 %4 (%5%)"_s.arg(label, c.toString(done), c.toString(total), unit, QString::number(percent));
}

void ProgressLine::show(const QString &label, qint64 done, qint64 total, const QString &unit)
{
    if (!m_enabled)
        return;
    const QString line = text(label, done, total, unit);
    // Carriage return, the new text, and blanks over what the old one left.
    m_stream << '\r' << line;
    if (m_drawn > line.size())
        m_stream << QString(m_drawn - line.size(), u' ');
    m_stream.flush();
    m_drawn = std::max(m_drawn, line.size());
}

void ProgressLine::clear()
{
    if (!m_enabled || m_drawn == 0)
        return;
    m_stream << '\r' << QString(m_drawn, u' ') << '\r';
    m_stream.flush();
    m_drawn = 0;
}

} // namespace quillcast::cli
