#include "import/LXSmartStringFileReader.h"

#include "platform/RegularFileReader.h"

#include <QBuffer>
#include <QIODevice>
#include <QStringDecoder>
#include <QSysInfo>

#include <unicode/ucsdet.h>

#include <algorithm>
#include <cstring>
#include <memory>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

// Files are decoded in slices of this size straight into the growing text, so
// the raw bytes are never held whole beside the decoded text. A multiple of 4
// keeps UTF-32 units whole within a slice.
constexpr qint64 kChunkSize = qint64(1) << 20;

// How much of the file ICU's charset detector looks at; it reads only the
// first few kilobytes itself.
constexpr qint64 kDetectionSample = qint64(1) << 16;

// ICU's confidence runs from 0 to 100 and is not calibrated. Short Latin
// files of names typically score 30 to 60, while the detector's pure guesses
// (UTF-16 without any evidence) score 10.
constexpr int32_t kMinimumConfidence = 20;

// QStringDecoder does not flag a character cut off by the end of the input:
// it keeps the partial bytes for the next call. The protected state says
// whether any are left over.
class StrictDecoder : public QStringDecoder
{
public:
    using QStringDecoder::QStringDecoder;
    bool endedCleanly() const { return !hasError() && state.remainingChars == 0; }
};

enum class Kind { Utf8, Utf16, Utf16BE, Utf16LE, Utf32, Utf32BE, Utf32LE, Named, Ascii };

struct Decoding
{
    Kind kind;
    QByteArray name; // for Named
    bool refuseNul = false; // text with NUL bytes is not taken for UTF-8 by detection
};

// CutShort: the file's length is not a whole number of the encoding's units.
enum class Outcome { Decoded, Invalid, ReadFailed, CutShort };

struct Attempt
{
    Outcome outcome = Outcome::Invalid;
    QString text;
};

qint64 readChunk(QIODevice &device, char *buffer, qint64 size)
{
    qint64 total = 0;
    while (total < size) {
        const qint64 got = device.read(buffer + total, size - total);
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

int unitSize(Kind kind)
{
    switch (kind) {
    case Kind::Utf16:
    case Kind::Utf16BE:
    case Kind::Utf16LE:
        return 2;
    case Kind::Utf32:
    case Kind::Utf32BE:
    case Kind::Utf32LE:
        return 4;
    default:
        return 1;
    }
}

std::unique_ptr<StrictDecoder> makeDecoder(const Decoding &d)
{
    switch (d.kind) {
    case Kind::Utf8:
        return std::make_unique<StrictDecoder>(QStringConverter::Utf8);
    case Kind::Utf16:
        return std::make_unique<StrictDecoder>(QStringConverter::Utf16);
    case Kind::Utf16BE:
        return std::make_unique<StrictDecoder>(QStringConverter::Utf16BE);
    case Kind::Utf16LE:
        return std::make_unique<StrictDecoder>(QStringConverter::Utf16LE);
    case Kind::Utf32:
        return std::make_unique<StrictDecoder>(QStringConverter::Utf32);
    case Kind::Utf32BE:
        return std::make_unique<StrictDecoder>(QStringConverter::Utf32BE);
    case Kind::Utf32LE:
        return std::make_unique<StrictDecoder>(QStringConverter::Utf32LE);
    case Kind::Ascii:
        return std::make_unique<StrictDecoder>(QStringConverter::Latin1);
    case Kind::Named:
        return std::make_unique<StrictDecoder>(d.name.constData());
    }
    return nullptr;
}

bool hasHighByte(const char *data, qint64 size)
{
    for (qint64 i = 0; i < size; ++i) {
        if (static_cast<unsigned char>(data[i]) > 0x7F)
            return true;
    }
    return false;
}

quint32 readUnit32(const char *p, bool bigEndian)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    if (bigEndian)
        return quint32(u[0]) << 24 | quint32(u[1]) << 16 | quint32(u[2]) << 8 | quint32(u[3]);
    return quint32(u[3]) << 24 | quint32(u[2]) << 16 | quint32(u[1]) << 8 | quint32(u[0]);
}

// Qt's UTF-32 decoder lets code points above U+10FFFF and surrogate values
// through; they are not characters.
bool validUtf32(const char *data, qint64 size, bool bigEndian)
{
    for (qint64 i = 0; i + 4 <= size; i += 4) {
        const quint32 v = readUnit32(data + i, bigEndian);
        if (v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
            return false;
    }
    return true;
}

// Qt's UTF-16 decoders pass unpaired surrogates through unchanged.
bool surrogatesPaired(const QChar *text, qsizetype size)
{
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= size || !QChar::isLowSurrogate(text[i + 1].unicode()))
                return false;
            ++i;
        } else if (QChar::isLowSurrogate(c)) {
            return false;
        }
    }
    return true;
}

// Decodes the whole device afresh with one encoding, slice by slice.
Attempt decodeDevice(QIODevice &device, const Decoding &decoding)
{
    Attempt result;
    if (!device.seek(0)) {
        result.outcome = Outcome::ReadFailed;
        return result;
    }
    const std::unique_ptr<StrictDecoder> decoder = makeDecoder(decoding);
    if (!decoder || !decoder->isValid())
        return result;

    const qint64 size = device.size();
    const int unit = unitSize(decoding.kind);
    if (size % unit != 0) {
        result.outcome = Outcome::CutShort;
        return result;
    }

    // Decoded UTF-16 units never outnumber the bytes (half of them for the
    // UTF-16 and UTF-32 forms), so one reservation holds the whole text.
    const qint64 estimate = unit == 1 ? size : size / 2;
    // Small files get a small slice buffer; slices stay whole UTF-32 units.
    const qint64 sliceSize = std::min(kChunkSize, std::max<qint64>((size + 3) & ~qint64(3), 4));
    QString &text = result.text;
    text.reserve(qsizetype(estimate + decoder->requiredSpace(sliceSize)));

    bool utf32BigEndian = decoding.kind == Kind::Utf32BE
        || (decoding.kind == Kind::Utf32 && QSysInfo::ByteOrder == QSysInfo::BigEndian);
    QByteArray buffer(qsizetype(sliceSize), Qt::Uninitialized);
    qsizetype used = 0;
    bool first = true;
    for (;;) {
        const qint64 got = readChunk(device, buffer.data(), sliceSize);
        if (got < 0) {
            result.outcome = Outcome::ReadFailed;
            result.text = QString();
            return result;
        }
        if (got == 0)
            break;
        const char *data = buffer.constData();
        if (decoding.kind == Kind::Ascii && hasHighByte(data, got))
            return Attempt{};
        if (decoding.refuseNul && std::memchr(data, 0, size_t(got)))
            return Attempt{};
        if (unit == 4) {
            if (first && decoding.kind == Kind::Utf32 && got >= 4) {
                if (readUnit32(data, true) == 0xFEFF)
                    utf32BigEndian = true;
                else if (readUnit32(data, false) == 0xFEFF)
                    utf32BigEndian = false;
            }
            if (!validUtf32(data, got, utf32BigEndian))
                return Attempt{};
        }
        first = false;

        const qsizetype needed = used + decoder->requiredSpace(got);
        text.resize(needed); // within the reservation: no reallocation, no fill
        QChar *end = decoder->appendToBuffer(text.data() + used, QByteArrayView(data, got));
        used = end - text.constData();
        if (decoder->hasError())
            return Attempt{};
        if (got < sliceSize)
            break;
    }
    if (!decoder->endedCleanly())
        return Attempt{};
    text.resize(used);
    if (unit == 2 && !surrogatesPaired(text.constData(), text.size()))
        return Attempt{};
    // Give back a large unused reservation (UTF-32 text fills half of it).
    if (text.capacity() - used > used / 4 + 4096)
        text.squeeze();
    result.outcome = Outcome::Decoded;
    return result;
}

Decoding decodingForName(const QByteArray &name)
{
    const std::optional<QStringConverter::Encoding> builtIn = QStringConverter::encodingForName(name.constData());
    if (builtIn) {
        switch (*builtIn) {
        case QStringConverter::Utf8:
            return {Kind::Utf8, {}};
        case QStringConverter::Utf16:
            return {Kind::Utf16, {}};
        case QStringConverter::Utf16BE:
            return {Kind::Utf16BE, {}};
        case QStringConverter::Utf16LE:
            return {Kind::Utf16LE, {}};
        case QStringConverter::Utf32:
            return {Kind::Utf32, {}};
        case QStringConverter::Utf32BE:
            return {Kind::Utf32BE, {}};
        case QStringConverter::Utf32LE:
            return {Kind::Utf32LE, {}};
        default:
            break;
        }
    }
    return {Kind::Named, name};
}

// A byte-order mark names its encoding; the longer UTF-32 marks are tested
// before the UTF-16 marks they begin with.
std::optional<Decoding> decodingFromBom(const QByteArray &head)
{
    const auto starts = [&head](std::initializer_list<unsigned char> bytes) {
        if (head.size() < qsizetype(bytes.size()))
            return false;
        qsizetype i = 0;
        for (unsigned char b : bytes) {
            if (static_cast<unsigned char>(head[i++]) != b)
                return false;
        }
        return true;
    };
    if (starts({0xEF, 0xBB, 0xBF}))
        return Decoding{Kind::Utf8, {}};
    if (starts({0x00, 0x00, 0xFE, 0xFF}))
        return Decoding{Kind::Utf32, {}};
    if (starts({0xFF, 0xFE, 0x00, 0x00}))
        return Decoding{Kind::Utf32, {}};
    if (starts({0xFE, 0xFF}) || starts({0xFF, 0xFE}))
        return Decoding{Kind::Utf16, {}};
    return std::nullopt;
}

QList<QByteArray> icuCandidates(QIODevice &device)
{
    QList<QByteArray> names;
    if (!device.seek(0))
        return names;
    const QByteArray sample = device.read(kDetectionSample);
    if (sample.isEmpty())
        return names;
    UErrorCode status = U_ZERO_ERROR;
    UCharsetDetector *detector = ucsdet_open(&status);
    if (U_FAILURE(status))
        return names;
    ucsdet_setText(detector, sample.constData(), int32_t(sample.size()), &status);
    int32_t count = 0;
    const UCharsetMatch **matches = U_SUCCESS(status) ? ucsdet_detectAll(detector, &count, &status) : nullptr;
    for (int32_t i = 0; matches && U_SUCCESS(status) && i < count; ++i) {
        UErrorCode matchStatus = U_ZERO_ERROR;
        const int32_t confidence = ucsdet_getConfidence(matches[i], &matchStatus);
        const char *name = ucsdet_getName(matches[i], &matchStatus);
        if (U_FAILURE(matchStatus) || confidence < kMinimumConfidence)
            break; // matches come best first
        names.append(QByteArray(name));
    }
    ucsdet_close(detector);
    return names;
}

Result<QString> toResult(Attempt attempt, const QIODevice &device)
{
    switch (attempt.outcome) {
    case Outcome::Decoded:
        return Result<QString>(std::move(attempt.text));
    case Outcome::ReadFailed:
        return Result<QString>::failure(device.errorString());
    case Outcome::Invalid:
    case Outcome::CutShort:
        break;
    }
    return Result<QString>::failure(LXSmartStringFileReader::decodingFailedMessage());
}

std::optional<Decoding> fixedDecoding(qint32 code)
{
    switch (code) {
    case LXSmartStringFileReader::EncodingUtf8:
        return Decoding{Kind::Utf8, {}};
    case LXSmartStringFileReader::EncodingUtf16:
        return Decoding{Kind::Utf16, {}};
    case LXSmartStringFileReader::EncodingUtf16BE:
        return Decoding{Kind::Utf16BE, {}};
    case LXSmartStringFileReader::EncodingUtf16LE:
        return Decoding{Kind::Utf16LE, {}};
    case LXSmartStringFileReader::EncodingUtf32:
        return Decoding{Kind::Utf32, {}};
    case LXSmartStringFileReader::EncodingUtf32BE:
        return Decoding{Kind::Utf32BE, {}};
    case LXSmartStringFileReader::EncodingUtf32LE:
        return Decoding{Kind::Utf32LE, {}};
    case LXSmartStringFileReader::EncodingMacRoman:
        return Decoding{Kind::Named, QByteArrayLiteral("macintosh")};
    case LXSmartStringFileReader::EncodingAscii:
        return Decoding{Kind::Ascii, {}};
    default:
        return std::nullopt;
    }
}

} // namespace

bool LXSmartStringFileReader::isFixedEncoding(qint32 code)
{
    return fixedDecoding(code).has_value();
}

QString LXSmartStringFileReader::decodingFailedMessage()
{
    return u"The file could not be read with the chosen text encoding"_s;
}

Result<QString> LXSmartStringFileReader::autoReadFromFile(const QString &path, qint32 encoding)
{
    return autoReadFromFile(path, encoding, RegularFileReader::SliceHandler());
}

Result<QString> LXSmartStringFileReader::autoReadFromFile(const QString &path, qint32 encoding,
                                                          const RegularFileReader::SliceHandler &onSlice)
{
    // Only a regular file of a bounded size: a FIFO would block the import
    // for ever and a device such as /dev/zero would never end.
    Result<QByteArray> bytes = RegularFileReader::read(path, RegularFileReader::kTextFileLimit, onSlice);
    if (!bytes)
        return Result<QString>::failure(bytes.error());
    QBuffer buffer(&bytes.value());
    if (!buffer.open(QIODevice::ReadOnly))
        return Result<QString>::failure(buffer.errorString());
    return autoReadFromDevice(buffer, encoding);
}

namespace {

bool isUnicodeForm(Kind kind)
{
    return unitSize(kind) > 1;
}

// What detection found: text, or a file in a UTF-16 or UTF-32 form that ends
// in the middle of a character (it was cut short, or a byte was lost), or
// nothing it could name.
struct Detection
{
    std::optional<QString> text;
    QString encoding; // the name of the encoding found
    bool cutShort = false;
};

Detection detect(QIODevice &device)
{
    Detection found;
    const auto take = [&found](Attempt &attempt, const QString &name) {
        found.encoding = name;
        found.text = std::move(attempt.text);
        return found;
    };
    const auto cutShort = [&found](const QString &name) {
        found.encoding = name;
        found.cutShort = true;
        return found;
    };
    if (!device.seek(0))
        return found;
    const QByteArray head = device.peek(4);
    if (const std::optional<Decoding> bom = decodingFromBom(head)) {
        const QString name = bom->kind == Kind::Utf8 ? u"UTF-8"_s
            : bom->kind == Kind::Utf16              ? u"UTF-16"_s
                                                    : u"UTF-32"_s;
        Attempt attempt = decodeDevice(device, *bom);
        if (attempt.outcome == Outcome::Decoded)
            return take(attempt, name);
        // FF FE 00 00 may also be a UTF-16 mark followed by a NUL character.
        if (bom->kind == Kind::Utf32) {
            Attempt utf16 = decodeDevice(device, Decoding{Kind::Utf16, {}});
            if (utf16.outcome == Outcome::Decoded)
                return take(utf16, u"UTF-16"_s);
            if (attempt.outcome == Outcome::CutShort && utf16.outcome == Outcome::CutShort)
                return cutShort(name);
            return found;
        }
        // A byte-order mark is no accident: read by any other encoding the
        // text would be full of NUL characters.
        if (attempt.outcome == Outcome::CutShort)
            return cutShort(name);
        return found;
    }
    // NUL bytes are valid UTF-8 but in practice mean UTF-16 or UTF-32 without
    // a mark; the charset detector recognises those.
    Attempt attempt = decodeDevice(device, Decoding{Kind::Utf8, {}, true});
    if (attempt.outcome == Outcome::Decoded)
        return take(attempt, u"UTF-8"_s);
    if (attempt.outcome == Outcome::ReadFailed)
        return found;
    bool best = true;
    for (const QByteArray &name : icuCandidates(device)) {
        const Decoding decoding = decodingForName(name);
        attempt = decodeDevice(device, decoding);
        if (attempt.outcome == Outcome::Decoded)
            return take(attempt, QString::fromLatin1(name));
        if (attempt.outcome == Outcome::ReadFailed)
            return found;
        // The detector's first choice is a UTF-16 or UTF-32 form when the
        // bytes show its pattern of NULs, which a cut-off end does not hide.
        if (best && attempt.outcome == Outcome::CutShort && isUnicodeForm(decoding.kind))
            return cutShort(QString::fromLatin1(name));
        best = false;
    }
    return found;
}

} // namespace

std::optional<QString> LXSmartStringFileReader::detectAndDecode(QIODevice &device, QString *usedEncoding)
{
    Detection found = detect(device);
    if (found.text && usedEncoding)
        *usedEncoding = found.encoding;
    return std::move(found.text);
}

QString LXSmartStringFileReader::cutShortMessage(const QString &encoding)
{
    return u"The file seems damaged: it holds %1 text, but its last character is cut off"_s.arg(encoding);
}

Result<QString> LXSmartStringFileReader::autoReadFromDevice(QIODevice &device, qint32 encoding)
{
    if (!device.isReadable())
        return Result<QString>::failure(device.errorString());
    if (const std::optional<Decoding> fixed = fixedDecoding(encoding))
        return toResult(decodeDevice(device, *fixed), device);

    Detection detected = detect(device);
    if (detected.text)
        return Result<QString>(std::move(*detected.text));
    // The fallbacks would read it as single bytes, NULs and all.
    if (detected.cutShort)
        return Result<QString>::failure(cutShortMessage(detected.encoding));
    static const qint32 chain[] = {EncodingUtf8,    EncodingMacRoman, EncodingUtf16,   EncodingUtf16BE, EncodingUtf16LE,
                                   EncodingUtf32,   EncodingUtf32BE,  EncodingUtf32LE, EncodingAscii};
    Attempt attempt;
    for (qint32 code : chain) {
        attempt = decodeDevice(device, *fixedDecoding(code));
        if (attempt.outcome != Outcome::Invalid)
            break;
    }
    return toResult(std::move(attempt), device);
}

QString &LXSmartStringFileReader::replaceStringWithNewline(QString &text)
{
    // One pass, in place: a CR followed by LF is dropped (the LF stays), any
    // other CR becomes LF. Same result as the two literal replacements.
    const qsizetype size = text.size();
    qsizetype i = 0;
    {
        const QChar *data = text.constData();
        while (i < size && data[i] != u'\r')
            ++i;
    }
    if (i == size)
        return text; // nothing to change: no detach, no write
    QChar *data = text.data();
    qsizetype out = i;
    for (; i < size; ++i) {
        const QChar c = data[i];
        if (c == u'\r') {
            if (i + 1 < size && data[i + 1] == u'\n')
                continue;
            data[out++] = u'\n';
        } else {
            data[out++] = c;
        }
    }
    text.truncate(out);
    return text;
}

} // namespace quillcast
