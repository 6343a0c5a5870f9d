#pragma once

#include "merge/MergeTags.h"

#include <memory>
#include <mutex>

namespace quillcast {

// The compiled merge tags of a document's key list, compiled again only when
// the keys have changed: a send run merges every record with the same table.
// Safe to use from several threads at once.
class MergeTagCache
{
public:
    std::shared_ptr<const MergeTags> tagsFor(const List &keyArray) const;

private:
    mutable std::mutex m_lock;
    mutable std::shared_ptr<const MergeTags> m_tags;
};

} // namespace quillcast
