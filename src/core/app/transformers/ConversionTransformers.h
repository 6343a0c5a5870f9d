#pragma once

#include "app/transformers/ConversionTransformer.h"
#include "app/transformers/Conversions.h"

// The transformers that take no parameter, by the class names the
// interface's bindings use. Each is its conversion and, where a control
// writes back, the reverse.
namespace quillcast {

// Number 1 when the value's integer reading is not 0, else 0. Unlike the
// reference comparisons, which wrap to 16 bits, the whole reading counts.
using LX1IfNot0 =
    ConversionTransformer<ValueTransformer::ValueClass::Number, conversions::oneIfNotZero>;

// A boolean: the integer reading is not 0. The reverse writes 1 for true,
// else 0.
using LXIntToBool =
    ConversionTransformer<ValueTransformer::ValueClass::Number, conversions::isNotZero, conversions::oneIfTrue>;

// A boolean: the integer reading is 0. The reverse writes 1 for false, else 0.
using LXNegateIntToBool =
    ConversionTransformer<ValueTransformer::ValueClass::Number, conversions::isZero, conversions::oneIfFalse>;

// Number 1 for a true value, else 0: a stored boolean shown where a control
// expects a number. The reverse gives the boolean back.
using LXNumberBoolToNumberNum =
    ConversionTransformer<ValueTransformer::ValueClass::Number, conversions::oneIfTrue, conversions::isNotZero>;

// Number 1 when the value is a list of more than one element: enables the
// controls that need a choice between several entries. The reverse is always
// a new empty list.
using LXOneIfOneInArray =
    ConversionTransformer<ValueTransformer::ValueClass::Number, conversions::oneIfSeveralInList, conversions::newEmptyList>;

// A boolean: the text is empty, or not, once the spaces at both ends are
// trimmed; each exactly the opposite of the other.
using LXEmptyTrimmedString =
    ConversionTransformer<ValueTransformer::ValueClass::Number, conversions::isBlankText>;
using LXFilledTrimmedString =
    ConversionTransformer<ValueTransformer::ValueClass::Number, conversions::isFilledText>;

// The row height of a table for its font size.
using LXHeightForFontSize =
    ConversionTransformer<ValueTransformer::ValueClass::Number, conversions::rowHeightForFontSize>;

// The path, or the file name, of the file a stored bookmark refers to.
using LXPathFromBookmark =
    ConversionTransformer<ValueTransformer::ValueClass::String, conversions::pathFromBookmark>;
using LXNameFromBookmark =
    ConversionTransformer<ValueTransformer::ValueClass::String, conversions::fileNameFromBookmark>;

// The plain text of a stored rich-text value.
using LXUnarchivieFromDataToText =
    ConversionTransformer<ValueTransformer::ValueClass::String, conversions::plainTextOfRichTextArchive>;

} // namespace quillcast
