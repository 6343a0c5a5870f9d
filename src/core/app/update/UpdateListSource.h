#pragma once

#include "util/Dict.h"

#include <QUrl>

#include <optional>
#include <stop_token>

namespace quillcast {

// Where the update checker gets the published update list from. fetch()
// blocks and is called off the main thread, one call at a time.
class UpdateListSource
{
public:
    virtual ~UpdateListSource() = default;

    // The list's root dictionary; none when nothing usable came back (no
    // connection, an error status, an address refused, content that is not a
    // property list or whose root is not a dictionary). A stop request (the
    // checker is going away) should end the download early; the result then
    // no longer matters.
    virtual std::optional<Dict> fetch(const QUrl &url, std::stop_token stop) = 0;
};

} // namespace quillcast
