#pragma once

#include "platform/RegularFileReader.h"
#include "util/Result.h"

#include <QString>

#include <optional>

class QIODevice;

namespace quillcast {

// Turns an import file into text, in the encoding the user chose or one found
// from the file's own bytes, and normalises its line ends. Stateless: every
// operation is class-level and safe from any thread.
//
// Decoding is strict: bytes that are not valid in the encoding make the read
// fail rather than turn into replacement characters, so a wrong choice is
// noticed instead of importing garbled names.
class LXSmartStringFileReader
{
public:
    // Encoding codes as the import dialog numbers them (not the platform's
    // encoding numbers). Every other value means automatic detection.
    static constexpr qint32 EncodingAutomatic = 0;
    static constexpr qint32 EncodingUtf8 = 1;
    static constexpr qint32 EncodingUtf16 = 10; // byte order from the byte-order mark
    static constexpr qint32 EncodingUtf16BE = 11;
    static constexpr qint32 EncodingUtf16LE = 12;
    static constexpr qint32 EncodingUtf32 = 20; // byte order from the byte-order mark
    static constexpr qint32 EncodingUtf32BE = 21;
    static constexpr qint32 EncodingUtf32LE = 22;
    static constexpr qint32 EncodingMacRoman = 30;
    static constexpr qint32 EncodingAscii = 50;

    static bool isFixedEncoding(qint32 code);

    // The whole file as text. A fixed code decodes with that encoding only;
    // any other code runs the automatic chain (detection, then UTF-8, Mac OS
    // Roman, the UTF-16 and UTF-32 forms, ASCII). Only a regular file up to
    // RegularFileReader::kTextFileLimit bytes is read. Fails with the reason
    // when the file cannot be read, with decodingFailedMessage(), or, in
    // automatic mode, with cutShortMessage() for a UTF-16 or UTF-32 file
    // that ends in the middle of a character.
    static Result<QString> autoReadFromFile(const QString &path, qint32 encoding);
    // The same, telling onSlice how much of the file has been read (and
    // stopping when it answers false), for a read on a worker that shows
    // its progress and can be cancelled.
    static Result<QString> autoReadFromFile(const QString &path, qint32 encoding,
                                            const RegularFileReader::SliceHandler &onSlice);
    // The same over an open, seekable device (each attempt reads it afresh).
    static Result<QString> autoReadFromDevice(QIODevice &device, qint32 encoding);

    // The detection step alone: a byte-order mark, else valid UTF-8 without
    // NUL bytes, else ICU's charset detector when it names, with reasonable
    // confidence, an encoding that decodes the whole file. Nothing otherwise.
    // The name of the encoding used goes to usedEncoding when given.
    static std::optional<QString> detectAndDecode(QIODevice &device, QString *usedEncoding = nullptr);

    // In place: every CR LF becomes LF, then every remaining CR becomes LF.
    static QString &replaceStringWithNewline(QString &text);

    // "The file could not be read with the chosen text encoding"
    static QString decodingFailedMessage();
    // Names the encoding of a file that ends in the middle of a character.
    static QString cutShortMessage(const QString &encoding);
};

} // namespace quillcast
