#pragma once

#include "util/Dict.h"

#include <QByteArray>

#include <optional>

namespace quillcast {

// Reads a downloaded update list: an XML or binary property list whose root
// is a dictionary. The bytes come from the network, so nothing in them is
// trusted: binary lists are read by our own validating reader, XML ones by
// libplist after a few checks for what it handles badly; nesting is bounded
// for both forms.
class UpdateListParser
{
public:
    // Containers within containers; a real list has none.
    static constexpr int maxNesting = 32;

    // The root dictionary, with integers, strings, reals, booleans, dates,
    // data, arrays and dictionaries converted; none for anything else.
    static std::optional<Dict> parse(const QByteArray &bytes);
};

} // namespace quillcast
