#pragma once

#include "app/transformers/ReferenceComparison.h"

namespace quillcast {

// 1 when the mode equals the reference; one way only.
class LX1IfEqualToRef final : public ReferenceComparison
{
public:
    explicit LX1IfEqualToRef(qint32 reference) : ReferenceComparison(reference) {}

protected:
    bool holds(qint16 value, qint32 reference) const override { return value == reference; }
};

} // namespace quillcast
