#include "TestPrinters.h"

QT_BEGIN_NAMESPACE
void PrintTo(const QString &s, std::ostream *os)
{
    if (s.isNull())
        *os << "(null QString)";
    else
        *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace quillcast {
void PrintTo(const Value &v, std::ostream *os)
{
    *os << Value::typeName(v.type()).toStdString() << ' ';
    if (v.isList())
        *os << "of " << v.toList().size();
    else if (v.isDict())
        *os << "of " << v.toDict().size();
    else
        *os << '"' << v.toString().toStdString() << '"';
}
} // namespace quillcast
