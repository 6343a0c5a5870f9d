#pragma once

#include "app/transformers/ValueTransformer.h"

#include <QString>

namespace quillcast {

// Always the fixed text, whatever the value, none included: a label that
// must not change with the model.
class LXReturnInitStr : public ValueTransformer
{
public:
    explicit LXReturnInitStr(const QString &text) : m_text(text) {}

    Value transformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::String; }
    bool allowsReverseTransformation() const override { return false; }

private:
    QString m_text;
};

} // namespace quillcast
