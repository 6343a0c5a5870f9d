#pragma once

#include "util/Value.h"

namespace quillcast {

// Converts a model value into the value a window shows (forward) and, where
// the conversion can be undone, a shown value back into a model value
// (reverse). Bindings of the interface refer to transformers by name through
// ValueTransformerRegistry.
//
// Transformers are immutable once made (their parameter is fixed by the
// constructor), so one instance may serve any number of bindings and threads.
class ValueTransformer
{
public:
    // What the forward conversion gives. Declared for the interface's benefit:
    // some of the "String" transformers answer booleans, as they always have.
    enum class ValueClass { Number, String, Image };

    virtual ~ValueTransformer() = default;

    virtual Value transformedValue(const Value &value) const = 0;
    // Only meaningful when allowsReverseTransformation(); the others give none.
    virtual Value reverseTransformedValue(const Value &value) const;
    virtual ValueClass transformedValueClass() const = 0;
    virtual bool allowsReverseTransformation() const = 0;

    // The integer reading of a value wrapped to a signed 16-bit number, the
    // way mode numbers in the interface have always been compared:
    // 65536 reads as 0, 32768 as -32768, -1 stays -1. The integer reading is
    // Value::toInt64's: a real is truncated toward zero first (2.7 -> 2,
    // -2.7 -> -2), a text gives its leading decimal integer ("3" -> 3,
    // " 70000x" -> 70000 -> 4464, "abc" -> 0), none and lists give 0; what
    // toInt64 saturates (1e30 -> 2^63-1) then wraps like any other number
    // (2^63-1 -> -1).
    static qint16 signed16(const Value &value);
};

} // namespace quillcast
