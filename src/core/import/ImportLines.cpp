#include "import/ImportLines.h"

namespace quillcast {

ImportLines::ImportLines(QString text) : m_text(std::move(text))
{
    const QChar *data = m_text.constData();
    const qsizetype size = m_text.size();
    m_starts.push_back(0);
    for (qsizetype i = 0; i < size; ++i) {
        if (data[i] == u'\n')
            m_starts.push_back(i + 1);
    }
    m_starts.push_back(size + 1);
}

ImportLines ImportLines::fromLines(const QStringList &lines)
{
    ImportLines result;
    if (lines.isEmpty())
        return result;
    result.m_text = lines.join(u'\n');
    result.m_starts.reserve(size_t(lines.size()) + 1);
    qsizetype start = 0;
    for (const QString &line : lines) {
        result.m_starts.push_back(start);
        start += line.size() + 1;
    }
    result.m_starts.push_back(start);
    return result;
}

QStringList ImportLines::toStringList() const
{
    QStringList out;
    out.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        out.append(at(i).toString());
    return out;
}

} // namespace quillcast
