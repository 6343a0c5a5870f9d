#include "send/HeaderEncoder.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

// RFC 5322 asks for lines of at most 78 characters; RFC 2047 allows an
// encoded word at most 75.
constexpr qsizetype kLineLimit = 78;
constexpr qsizetype kEncodedWordLimit = 75;
// "=?UTF-8?Q?" and "?=" around the encoded text.
constexpr qsizetype kEncodedWordOverhead = 12;

// Characters of an RFC 5322 atom, which a display name may hold unquoted.
bool isAtext(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || QByteArrayView("!#$%&'*+-/=?^_`{|}~").contains(c);
}

// What a Q-encoded word may carry as it is: the narrow set RFC 2047 allows
// in a display name, used everywhere so that one rule fits every header.
bool isQLiteral(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '!' || c == '*'
        || c == '+' || c == '-' || c == '/';
}

qsizetype qLength(const QByteArray &bytes)
{
    qsizetype length = 0;
    for (const char c : bytes)
        length += (isQLiteral(static_cast<unsigned char>(c)) || c == ' ') ? 1 : 3;
    return length;
}

qsizetype bLength(qsizetype byteCount)
{
    return (byteCount + 2) / 3 * 4;
}

QByteArray encodedWord(const QByteArray &bytes, bool q)
{
    if (!q)
        return "=?UTF-8?B?" + bytes.toBase64() + "?=";
    QByteArray word = "=?UTF-8?Q?";
    static constexpr char hex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (isQLiteral(byte)) {
            word += c;
        } else if (c == ' ') {
            word += '_';
        } else {
            word += '=';
            word += hex[byte >> 4];
            word += hex[byte & 0xf];
        }
    }
    return word + "?=";
}

// The UTF-8 bytes of each character: an encoded word never ends inside one.
QList<QByteArray> characters(const QString &text)
{
    QList<QByteArray> result;
    for (const char32_t codePoint : text.toUcs4())
        result.append(QString::fromUcs4(&codePoint, 1).toUtf8());
    return result;
}

// How many characters from a given one go into one encoded word of at most
// limit characters, and whether in Q (else B): whichever takes more.
//
// A B word that another one follows carries whole groups of three bytes:
// GMime's reader joins adjacent B words before decoding them and stops at
// the padding of the first. A word that leaves text for the next one ends,
// where it can without giving up half its length, before a space, which then
// opens the next word: readers that keep the white space between two encoded
// words (Python's, in display names) show a space too many rather than a
// word cut in two.
struct Chunk
{
    qsizetype count = 0;
    bool q = true;
};

Chunk longestChunk(const QList<QByteArray> &chars, qsizetype from, qsizetype limit)
{
    const qsizetype room = limit - kEncodedWordOverhead;
    const qsizetype rest = chars.size() - from;
    QList<qsizetype> qEnds; // counts of characters that may end a Q word
    QList<qsizetype> bEnds;
    qsizetype qUsed = 0;
    for (qsizetype n = 1; n <= rest; ++n) {
        qUsed += qLength(chars[from + n - 1]);
        if (qUsed > room)
            break;
        qEnds.append(n);
    }
    qsizetype bytes = 0;
    for (qsizetype n = 1; n <= rest; ++n) {
        bytes += chars[from + n - 1].size();
        if (bLength(bytes) > room)
            break;
        if (bytes % 3 == 0 || n == rest)
            bEnds.append(n);
    }
    const auto best = [&](const QList<qsizetype> &ends) -> qsizetype {
        if (ends.isEmpty())
            return 0;
        const qsizetype longest = ends.last();
        if (longest == rest)
            return longest;
        for (qsizetype i = ends.size() - 1; i >= 0 && ends[i] * 2 >= longest; --i) {
            if (chars[from + ends[i]] == " ")
                return ends[i];
        }
        return longest;
    };
    const Chunk q{best(qEnds), true};
    const Chunk b{best(bEnds), false};
    return b.count > q.count ? b : q;
}

// One header field as it is written: pieces of text each after its white
// space, with a fold (CRLF) before the white space of a piece that would
// make the line too long.
class FoldedField
{
public:
    explicit FoldedField(const QByteArray &name) : m_out(name + ':'), m_lineLength(m_out.size()) {}

    // An atom that is written as it is after the white space ws.
    void addPlain(const QByteArray &ws, const QByteArray &atom)
    {
        if (m_piecesOnLine && m_lineLength + ws.size() + atom.size() > kLineLimit)
            newLine();
        append(ws + atom);
    }

    // Text that goes in encoded words after the white space ws. The words
    // are separated by single spaces, which readers drop between encoded
    // words: the white space of the text itself is encoded with it.
    void addEncoded(const QByteArray &ws, const QString &text)
    {
        const QList<QByteArray> chars = characters(text);
        QByteArray separator = ws;
        for (qsizetype at = 0; at < chars.size();) {
            const auto fitting = [&] {
                return longestChunk(chars, at,
                                    qMin(kEncodedWordLimit, kLineLimit - m_lineLength - separator.size()));
            };
            Chunk chunk = fitting();
            // A text that one word on a line of its own would hold is not
            // split: the fold goes before it.
            const qsizetype rest = chars.size() - at;
            const bool fitsAlone = longestChunk(chars, at, kEncodedWordLimit).count == rest;
            if (m_piecesOnLine && (chunk.count == 0 || (chunk.count < rest && fitsAlone))) {
                newLine();
                chunk = fitting();
            }
            if (chunk.count == 0) // a header name too long for any word beside it
                chunk = longestChunk(chars, at, kEncodedWordLimit);
            QByteArray bytes;
            for (qsizetype i = at; i < at + chunk.count; ++i)
                bytes += chars[i];
            append(separator + encodedWord(bytes, chunk.q));
            separator = " ";
            at += chunk.count;
        }
    }

    QByteArray finish() const { return m_out + "\r\n"; }

private:
    void newLine()
    {
        m_out += "\r\n";
        m_lineLength = 0;
        m_piecesOnLine = false;
    }
    void append(const QByteArray &text)
    {
        m_out += text;
        m_lineLength += text.size();
        m_piecesOnLine = true;
    }

    QByteArray m_out;
    qsizetype m_lineLength;
    bool m_piecesOnLine = false;
};

// A word of the value and the white space before it.
struct Word
{
    QString ws;
    QString text;
};

QList<Word> words(const QString &value)
{
    QList<Word> result;
    qsizetype i = 0;
    while (i < value.size()) {
        Word word;
        while (i < value.size() && value[i] == u' ')
            word.ws += value[i++];
        while (i < value.size() && value[i] != u' ')
            word.text += value[i++];
        result.append(word);
    }
    return result;
}

QString trimmedSpaces(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == u' ')
        ++start;
    while (end > start && text[end - 1] == u' ')
        --end;
    return text.mid(start, end - start);
}

// Not plain printable ASCII, or read by decoders as an encoded word, or too
// long to fit on a line of its own.
bool needsEncoding(const QString &word, qsizetype room)
{
    if (word.size() > room || word.contains(u"=?"_s))
        return true;
    for (const QChar c : word) {
        if (c.unicode() < 0x21 || c.unicode() > 0x7e)
            return true;
    }
    return false;
}

// The room of the first word after "Name: " and of a word on a line of its
// own after the fold's space.
qsizetype firstRoom(const QByteArray &name)
{
    return kLineLimit - name.size() - 2;
}
constexpr qsizetype kContinuationRoom = kLineLimit - 1;

// Writes the words, those marked in runs of encoded words (the white space
// between two marked words goes inside the run) and the others as they are.
void addWords(FoldedField &field, const QList<Word> &list, const QList<bool> &encode)
{
    for (qsizetype i = 0; i < list.size();) {
        const QByteArray ws = i == 0 ? QByteArray(" ") : list[i].ws.toLatin1();
        if (!encode[i]) {
            field.addPlain(ws, list[i].text.toLatin1());
            ++i;
            continue;
        }
        QString run = list[i].text;
        qsizetype next = i + 1;
        for (; next < list.size() && encode[next]; ++next)
            run += list[next].ws + list[next].text;
        field.addEncoded(ws, run);
        i = next;
    }
}

// A display name as an RFC 5322 phrase, on one line: plain atoms when it
// has nothing else, one quoted string when it is ASCII with special
// characters ("Doe, Jane"), otherwise encoded words for what cannot stand as
// an atom. None when that does not fit in room.
std::optional<QByteArray> oneLinePhrase(const QString &name, qsizetype room)
{
    const QList<Word> list = words(name);
    enum class Kind { Atom, Quote, Encode };
    QList<Kind> kinds;
    bool anyQuote = false;
    bool anyEncode = false;
    for (const Word &word : list) {
        Kind kind = Kind::Atom;
        if (needsEncoding(word.text, kContinuationRoom)) {
            kind = Kind::Encode;
        } else {
            for (const QChar c : word.text) {
                if (!isAtext(char(c.unicode())))
                    kind = Kind::Quote;
            }
        }
        anyQuote = anyQuote || kind == Kind::Quote;
        anyEncode = anyEncode || kind == Kind::Encode;
        kinds.append(kind);
    }
    QByteArray phrase;
    if (anyQuote && !anyEncode) {
        phrase = "\"";
        for (const QChar c : name) {
            if (c == u'"' || c == u'\\')
                phrase += '\\';
            phrase += char(c.unicode());
        }
        phrase += '"';
    } else {
        for (qsizetype i = 0; i < list.size();) {
            if (i > 0)
                phrase += list[i].ws.toLatin1();
            if (kinds[i] == Kind::Atom) {
                phrase += list[i].text.toLatin1();
                ++i;
                continue;
            }
            QString run = list[i].text;
            qsizetype next = i + 1;
            for (; next < list.size() && kinds[next] != Kind::Atom; ++next)
                run += list[next].ws + list[next].text;
            const QList<QByteArray> chars = characters(run);
            const Chunk chunk = longestChunk(chars, 0, kEncodedWordLimit);
            if (chunk.count < chars.size())
                return std::nullopt;
            phrase += encodedWord(chars.join(), chunk.q);
            i = next;
        }
    }
    if (phrase.size() > room)
        return std::nullopt;
    return phrase;
}

// A display name is folded only between encoded words: GMime's reader keeps
// a fold between two plain words of a name as a line break in the name. A
// name that one line cannot hold therefore goes in encoded words throughout.
void addPhrase(FoldedField &field, const QString &name, qsizetype room)
{
    if (const std::optional<QByteArray> phrase = oneLinePhrase(name, room))
        field.addPlain(" ", *phrase);
    else
        field.addEncoded(" ", name);
}

} // namespace

QByteArray HeaderEncoder::unstructured(const QByteArray &name, const QString &value)
{
    FoldedField field(name);
    const QList<Word> list = words(trimmedSpaces(value));
    if (list.isEmpty())
        field.addPlain(" ", QByteArray());
    QList<bool> encode;
    for (qsizetype i = 0; i < list.size(); ++i)
        encode.append(needsEncoding(list[i].text, i == 0 ? firstRoom(name) : kContinuationRoom));
    addWords(field, list, encode);
    return field.finish();
}

QByteArray HeaderEncoder::mailboxList(const QByteArray &name, const QList<MailAddress> &mailboxes)
{
    FoldedField field(name);
    for (qsizetype i = 0; i < mailboxes.size(); ++i) {
        const MailAddress &mailbox = mailboxes[i];
        const QByteArray separator = i + 1 < mailboxes.size() ? "," : "";
        const QString displayName = trimmedSpaces(mailbox.displayName);
        const QByteArray address = mailbox.mailbox.toUtf8();
        if (displayName.isEmpty()) {
            field.addPlain(" ", address + separator);
            continue;
        }
        addPhrase(field, displayName, i == 0 ? firstRoom(name) : kContinuationRoom);
        field.addPlain(" ", '<' + address + '>' + separator);
    }
    return field.finish();
}

} // namespace quillcast
