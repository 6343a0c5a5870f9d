#include "import/ImportRows.h"

namespace quillcast {

QStringList ImportRows::fields(qsizetype row) const
{
    QStringList out;
    const qsizetype n = fieldCount(row);
    out.reserve(n);
    for (qsizetype j = 0; j < n; ++j)
        out.append(field(row, j));
    return out;
}

} // namespace quillcast
