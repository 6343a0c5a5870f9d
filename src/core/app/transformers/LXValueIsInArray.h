#pragma once

#include "app/transformers/ValueTransformer.h"
#include "util/List.h"

namespace quillcast {

// A boolean: some element of a fixed list equals the value (compared as
// Values compare); none stays none. The elements are taken when the
// transformer is made.
class LXValueIsInArray : public ValueTransformer
{
public:
    explicit LXValueIsInArray(const List &elements) : m_elements(elements.items()) {}

    Value transformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return false; }

private:
    List::Items m_elements;
};

} // namespace quillcast
