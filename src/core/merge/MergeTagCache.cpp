#include "merge/MergeTagCache.h"

namespace quillcast {

std::shared_ptr<const MergeTags> MergeTagCache::tagsFor(const List &keyArray) const
{
    std::shared_ptr<const MergeTags> tags;
    {
        const std::lock_guard guard(m_lock);
        tags = m_tags;
    }
    if (tags && tags->isCompiledFrom(keyArray))
        return tags;
    tags = std::make_shared<const MergeTags>(keyArray);
    const std::lock_guard guard(m_lock);
    m_tags = tags;
    return tags;
}

} // namespace quillcast
