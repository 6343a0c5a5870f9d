#pragma once

#include "util/Value.h"

#include <QVariant>

namespace quillcast {

// Values as QVariant and back, for stores that keep QVariants (the settings
// file). Integers keep their signedness, lists and dictionaries are converted
// item by item; a QVariant of any other kind comes back as its text.
class ValueVariant
{
public:
    static QVariant toVariant(const Value &value);
    // The null Value for an invalid QVariant.
    static Value fromVariant(const QVariant &variant);
};

} // namespace quillcast
