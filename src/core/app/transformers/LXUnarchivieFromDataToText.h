#pragma once

#include "app/transformers/ValueTransformer.h"

namespace quillcast {

// The plain text of a stored rich-text value: the bytes are a keyed archive
// (binary property list) whose root object is an NSAttributedString, or one
// of its subclasses, with its characters under "NSString", either as an
// inline string or as an NSString / NSMutableString object holding
// "NS.string". Character attributes are of no use to the caller and are not
// read. None for none and for anything that is not such an archive.
//
// KeyedUnarchiver reads the archives of the document model, whose roots are
// dictionaries of plain values; it refuses other classes by design, so this
// reads the one object graph it needs straight from the validated property
// list, within the same size limit.
class LXUnarchivieFromDataToText : public ValueTransformer
{
public:
    Value transformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::String; }
    bool allowsReverseTransformation() const override { return false; }
};

} // namespace quillcast
