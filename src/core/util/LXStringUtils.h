#pragma once

#include <QString>

#include <functional>

namespace quillcast {

// String trimming and cleaning, and UUID strings.
// Positions and lengths are counted in UTF-16 code units. Everything here is
// safe to call from any thread.
class LXStringUtils
{
public:
    // Both remove U+0020 only from both ends; tabs and line breaks stay.
    static QString trimLateralSpace(const QString &text);
    static QString removeLateralSpace(const QString &text);
    // Removes double quotes (U+0022) from both ends.
    static QString trimLateralQuote(const QString &text);
    // False for a null text and for one of spaces only.
    static bool spaceTrimmedNotEmpy(const QString &text);
    // Skips leading tabs and Unicode space separators (not line breaks).
    // Gives a null string when nothing else is left.
    static QString removeInitialSpaces(const QString &text);
    // Removes every line feed and carriage return.
    static QString stripNewLines(const QString &text);
    static QString stringByRemovingCharacters(const QString &text, const std::function<bool(QChar)> &inSet);
    // Keeps, in order, only the characters that occur in acceptingOnlyChars.
    static QString trimString(const QString &text, const QString &acceptingOnlyChars);
    // Pads with "0" in front up to totalLen; never truncates.
    static QString addLeading0(const QString &text, qsizetype totalLen);

    // The drawn width of a text, as the desktop measures it in the font at hand.
    using TextMeasure = std::function<qreal(const QString &)>;
    // The text unchanged when it fits, otherwise its longest start that fits
    // with ".." appended (at least one character and "..").
    static QString trimStringToFit(const QString &text, qreal pixelLength, const TextMeasure &measure);

    // A new random UUID: 36 characters, upper-case hexadecimal 8-4-4-4-12.
    static QString createUUIDString();
    static QString uniqueUUIDString();
};

} // namespace quillcast
