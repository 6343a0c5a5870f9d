#pragma once

#include "app/transformers/ValueTransformer.h"
#include "util/List.h"

namespace quillcast {

// A boolean: the value is a member of a fixed set (compared as Values
// compare: numbers numerically, a bool only with a bool); none stays none.
// The members are taken when the transformer is made; later changes to the
// list given do not reach it.
class LXValueIsInSet : public ValueTransformer
{
public:
    explicit LXValueIsInSet(const List &members) : m_members(members.items()) {}

    Value transformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return false; }

private:
    List::Items m_members;
};

// The same test over a fixed list: the interface names both.
using LXValueIsInArray = LXValueIsInSet;

} // namespace quillcast
