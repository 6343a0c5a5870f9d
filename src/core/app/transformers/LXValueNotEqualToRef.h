#pragma once

#include "app/transformers/ReferenceComparison.h"

namespace quillcast {

// 1 when the mode differs from the reference.
class LXValueNotEqualToRef final : public ReferenceComparison
{
public:
    explicit LXValueNotEqualToRef(qint32 reference) : ReferenceComparison(reference) {}

protected:
    bool holds(qint16 value, qint32 reference) const override { return value != reference; }
};

} // namespace quillcast
