#pragma once

#include "util/Value.h"

#include <QString>

#include <ostream>

// Lets GoogleTest print Qt strings and our values in failure messages.
QT_BEGIN_NAMESPACE
void PrintTo(const QString &s, std::ostream *os);
QT_END_NAMESPACE

namespace quillcast {
void PrintTo(const Value &v, std::ostream *os);
}
