#pragma once

#include "app/transformers/ReferenceComparison.h"

namespace quillcast {

// 1 when the mode is greater than the reference.
class LXValueIsGreaterOfRef final : public ReferenceComparison
{
public:
    explicit LXValueIsGreaterOfRef(qint32 reference) : ReferenceComparison(reference) {}

protected:
    bool holds(qint16 value, qint32 reference) const override { return value > reference; }
};

} // namespace quillcast
