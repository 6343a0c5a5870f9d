#pragma once

#include "app/transformers/ReferenceComparison.h"

namespace quillcast {

// 1 when the mode is smaller than the reference.
class LXValueIsSmallerOfRef final : public ReferenceComparison
{
public:
    explicit LXValueIsSmallerOfRef(qint32 reference) : ReferenceComparison(reference) {}

protected:
    bool holds(qint16 value, qint32 reference) const override { return value < reference; }
};

} // namespace quillcast
