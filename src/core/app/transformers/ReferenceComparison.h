#pragma once

#include "app/transformers/ValueTransformer.h"

#include <functional>

namespace quillcast {

// The comparisons of a mode number with a fixed reference: number 1 when the
// value, read as a signed 16-bit number, stands in the relation to the
// reference, else 0. None stays none, so an absent setting is not mistaken
// for a mode.
template<typename Relation>
class ReferenceComparison : public ValueTransformer
{
public:
    explicit ReferenceComparison(qint32 reference) : m_reference(reference) {}

    Value transformedValue(const Value &value) const final
    {
        if (value.isNull())
            return Value();
        return Value(qint64(Relation{}(qint32(signed16(value)), m_reference) ? 1 : 0));
    }
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return false; }

protected:
    qint32 reference() const { return m_reference; }

private:
    qint32 m_reference;
};

// One way each; LXValueIsEqualToRef is the equality that also writes back.
using LX1IfEqualToRef = ReferenceComparison<std::equal_to<>>;
using LXValueNotEqualToRef = ReferenceComparison<std::not_equal_to<>>;
using LXValueIsGreaterOfRef = ReferenceComparison<std::greater<>>;
using LXValueIsSmallerOfRef = ReferenceComparison<std::less<>>;

} // namespace quillcast
