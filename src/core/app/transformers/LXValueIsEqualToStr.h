#pragma once

#include "app/transformers/ValueTransformer.h"

#include <QString>

namespace quillcast {

// A boolean: the value is a text equal to the fixed text, character for
// character (case counts); none stays none. A number never equals a text,
// even one spelling it.
class LXValueIsEqualToStr : public ValueTransformer
{
public:
    explicit LXValueIsEqualToStr(const QString &text) : m_text(text) {}

    Value transformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::String; }
    bool allowsReverseTransformation() const override { return false; }

private:
    QString m_text;
};

} // namespace quillcast
