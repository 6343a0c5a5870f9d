#pragma once

#include "util/Value.h"

// The conversions behind the transformers that take no parameter
// (ConversionTransformers.h says which transformer uses which).
namespace quillcast::conversions {

// Number 1 when the integer reading is not 0, else 0; none reads as 0. The
// whole 64-bit reading counts (65536 gives 1).
Value oneIfNotZero(const Value &value);

// Booleans from integer readings (none reads as 0), and numbers 1 / 0 from
// booleans.
Value isNotZero(const Value &value); // 2 -> true
Value isZero(const Value &value); // 0 -> true
Value oneIfTrue(const Value &value); // true -> 1
Value oneIfFalse(const Value &value); // false -> 1

// Number 1 for a list of more than one element, else 0 (none and anything
// that is not a list give 0).
Value oneIfSeveralInList(const Value &value);
// A new empty list whatever the value, so two writes never share one list.
Value newEmptyList(const Value &value);

// Whether the text without the spaces (U+0020) at both ends is empty; none is
// empty. Tabs and line breaks are content. A value that is not a text is
// judged by its text reading (a number is never empty).
Value isBlankText(const Value &value);
Value isFilledText(const Value &value);

// The row height for a font size: the integer part of size x 1.4 + 2 in
// single precision. None stays none; a size that is not a finite number
// gives none too.
Value rowHeightForFontSize(const Value &value);

// The full path, or the file name with its extension, of the file a stored
// bookmark (LXBookmark bytes) refers to; "" for none (nothing chosen yet),
// none when the bookmark no longer resolves or the value is no bookmark.
Value pathFromBookmark(const Value &value);
Value fileNameFromBookmark(const Value &value);

// The plain text of a keyed archive of an NSAttributedString; none for none
// and anything else (RichTextArchive.cpp).
Value plainTextOfRichTextArchive(const Value &value);

} // namespace quillcast::conversions
