#include "send/MessageBuilder.h"

#include "send/HeaderEncoder.h"
#include "send/MailboxText.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrl>

#include <gmime/gmime.h>

#include <fcntl.h>

#include <algorithm>
#include <memory>
#include <mutex>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

// Message-IDs of senders whose address has no usable domain end in this
// reserved name, which can never clash with a real host.
constexpr char kFallbackMessageIdDomain[] = "quillcast.invalid";

struct GObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
template<typename T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

struct FormatOptionsFree
{
    void operator()(GMimeFormatOptions *options) const { g_mime_format_options_free(options); }
};
struct GFree
{
    void operator()(gpointer p) const { g_free(p); }
};

// A header value is one line. Line breaks (and the other control characters,
// which no header may carry raw) become spaces before the value is encoded,
// so nothing a user or a record supplies can start a header of its own.
QString oneLine(const QString &value)
{
    QString text = value;
    text.replace(u"\r\n"_s, u" "_s);
    for (QChar &c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u' ';
    }
    return text;
}

QByteArray headerText(const QString &value)
{
    return oneLine(value).toUtf8();
}

// Bodies are written with CRLF line ends, so the text's own line breaks are
// first made uniform: CRLF and a lone CR each become one LF, which the output
// turns into CRLF.
QByteArray bodyText(const QString &text)
{
    QString uniform = text;
    uniform.replace(u"\r\n"_s, u"\n"_s);
    uniform.replace(u'\r', u'\n');
    return uniform.toUtf8();
}

GPtr<GMimeDataWrapper> wrapBytes(const QByteArray &bytes)
{
    GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size())));
    return GPtr<GMimeDataWrapper>(g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
}

// A text/plain or text/html part in UTF-8 (also when the text is plain
// ASCII, so that a reply keeps to one charset). Text that is ASCII with
// lines short enough for SMTP goes as it is; anything else quoted-printable,
// which keeps the text readable in the raw message.
GPtr<GMimeObject> textPart(const char *subtype, const QString &text)
{
    GPtr<GMimePart> part(g_mime_part_new_with_type("text", subtype));
    g_mime_object_set_content_type_parameter(GMIME_OBJECT(part.get()), "charset", "utf-8");
    g_mime_part_set_content(part.get(), wrapBytes(bodyText(text)).get());
    // GMime answers "default" when the text needs no encoding at all, and
    // base64 for text with NULs or mostly non-ASCII: text stays
    // quoted-printable in every such case.
    const GMimeContentEncoding best = g_mime_part_get_best_content_encoding(part.get(), GMIME_ENCODING_CONSTRAINT_7BIT);
    const bool asItIs = best == GMIME_CONTENT_ENCODING_DEFAULT || best == GMIME_CONTENT_ENCODING_7BIT;
    g_mime_part_set_content_encoding(part.get(), asItIs ? GMIME_CONTENT_ENCODING_7BIT
                                                        : GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
    return GPtr<GMimeObject>(GMIME_OBJECT(part.release()));
}

GPtr<GMimeObject> bodyPart(const MessageContent &content)
{
    if (content.textBody && content.htmlBody) {
        GPtr<GMimeMultipart> alternative(g_mime_multipart_new_with_subtype("alternative"));
        // Readers show the last alternative they can: the HTML goes last.
        g_mime_multipart_add(alternative.get(), textPart("plain", *content.textBody).get());
        g_mime_multipart_add(alternative.get(), textPart("html", *content.htmlBody).get());
        return GPtr<GMimeObject>(GMIME_OBJECT(alternative.release()));
    }
    if (content.htmlBody)
        return textPart("html", *content.htmlBody);
    // A message without any body still carries an empty text part.
    return textPart("plain", content.textBody.value_or(QString()));
}

// Filename parameters are written in UTF-8 when they need encoding (RFC 2231),
// whatever narrower charset would do.
void useUtf8ForParameter(GMimeParamList *parameters, const char *name)
{
    if (!parameters)
        return;
    if (GMimeParam *parameter = g_mime_param_list_get_parameter(parameters, name))
        g_mime_param_set_charset(parameter, "utf-8");
}

struct ErrorFree
{
    void operator()(GError *error) const { g_error_free(error); }
};

// Whether the file holds valid UTF-8 (plain ASCII included), read in
// pieces so that a large file is never held in memory whole. A character
// cut by the end of a piece is carried over to the next; one cut by the end
// of the file makes it invalid.
bool isUtf8File(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray carried;
    for (;;) {
        const QByteArray read = file.read(64 * 1024);
        if (read.isEmpty())
            return file.error() == QFileDevice::NoError && QByteArrayView(carried).isValidUtf8();
        QByteArray piece = carried + read;
        // The start of the last character: up to three continuation bytes
        // back. Is the character complete?
        qsizetype start = piece.size() - 1;
        while (start > 0 && piece.size() - start < 4 && (uchar(piece[start]) & 0xC0) == 0x80)
            --start;
        const uchar lead = uchar(piece[start]);
        const qsizetype length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const qsizetype cut = piece.size() - start < length ? start : piece.size();
        carried = piece.mid(cut);
        piece.truncate(cut);
        if (!QByteArrayView(piece).isValidUtf8())
            return false;
    }
}

Result<GPtr<GMimeObject>> attachmentPart(const QString &path)
{
    const QFileInfo info(path);
    // Not only a missing file: a directory or a pipe cannot be attached, and
    // opening a pipe could block the sending thread.
    if (!info.isFile())
        return Result<GPtr<GMimeObject>>::failure(u"The attachment “%1” is not a readable file."_s.arg(path));
    // The file is opened now, so that a file that cannot be read fails here
    // with its name, but read only as the message is written: its bytes go
    // straight into the encoder instead of being copied into memory first.
    GError *openError = nullptr;
    GPtr<GMimeStream> stream(
        g_mime_stream_fs_open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC, 0, &openError));
    std::unique_ptr<GError, ErrorFree> error(openError);
    if (!stream)
        return Result<GPtr<GMimeObject>>::failure(u"The attachment “%1” cannot be read: %2"_s.arg(
            path, error ? QString::fromUtf8(error->message) : QString()));

    // Guessed from the name alone: the receiver's program does the same, and
    // the contents of the user's file are none of our business.
    static const QMimeDatabase mimeDatabase;
    const QString mimeName = mimeDatabase.mimeTypeForFile(info, QMimeDatabase::MatchExtension).name();
    const qsizetype slash = mimeName.indexOf(u'/');
    const QByteArray type = slash > 0 ? mimeName.left(slash).toLatin1() : QByteArrayLiteral("application");
    const QByteArray subtype = slash > 0 ? mimeName.mid(slash + 1).toLatin1() : QByteArrayLiteral("octet-stream");

    GPtr<GMimePart> part(g_mime_part_new_with_type(type.constData(), subtype.constData()));
    // A text file is read with its charset named: without one, the reader
    // takes it as US-ASCII and garbles every accent.
    if (type == "text" && isUtf8File(path))
        g_mime_object_set_content_type_parameter(GMIME_OBJECT(part.get()), "charset", "utf-8");
    g_mime_object_set_disposition(GMIME_OBJECT(part.get()), GMIME_DISPOSITION_ATTACHMENT);
    g_mime_part_set_filename(part.get(), headerText(info.fileName()).constData());
    useUtf8ForParameter(g_mime_content_disposition_get_parameters(
                            g_mime_object_get_content_disposition(GMIME_OBJECT(part.get()))),
                        "filename");
    useUtf8ForParameter(g_mime_content_type_get_parameters(g_mime_object_get_content_type(GMIME_OBJECT(part.get()))),
                        "name");
    GPtr<GMimeDataWrapper> content(g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part.get(), content.get());
    g_mime_part_set_content_encoding(part.get(), GMIME_CONTENT_ENCODING_BASE64);
    return GPtr<GMimeObject>(GMIME_OBJECT(part.release()));
}

// Roughly the size of the finished message, so that the output buffer is
// allocated once instead of growing through every power of two.
gsize expectedMessageSize(const MessageContent &content)
{
    gsize size = 4096;
    // Quoted-printable of non-ASCII text: up to three bytes per UTF-8 byte.
    size += gsize(content.textBody.value_or(QString()).size() + content.htmlBody.value_or(QString()).size()) * 4;
    for (const QString &path : content.attachmentPaths)
        size += gsize(QFileInfo(path).size()) * 140 / 100 + 512; // base64 with CRLF lines
    return size;
}

// The address as a header carries it, written by GMime: an international
// domain name in its ASCII form.
QString headerAddress(const QString &address)
{
    GPtr<InternetAddress> mailbox(internet_address_mailbox_new(nullptr, address.toUtf8().constData()));
    std::unique_ptr<char, GFree> text(internet_address_to_string(mailbox.get(), nullptr, TRUE));
    return QString::fromUtf8(text.get());
}

// A bare address of an address list, with nothing in it that a reader could
// take for a group, a name or a second address.
bool isPlainAddress(const QString &text)
{
    for (const QChar c : text) {
        if (c.isSpace() || QStringView(u",;:<>\"()[]\\").contains(c))
            return false;
    }
    return !text.isEmpty();
}

// The mailboxes of one sender or recipient entry, as the header writes them.
// A mailbox text in the named form ("Name <address>") gives its name and
// address, unless the entry has a display name of its own. Without a
// display name, a recipient text may hold several comma-separated addresses
// (a recipient text handed on as the user typed it): each of them becomes a
// recipient. A mailbox that is blank adds nothing (an empty entry in an
// address list is no address); a text that is no clean list of addresses is
// taken as a single mailbox, so that text such as "a@b.example, Bcc:
// c@d.example;" can never smuggle in another recipient.
void appendMailboxes(QList<MailAddress> &list, const MailAddress &entry, bool allowSeveral)
{
    const QString text = oneLine(entry.mailbox).trimmed();
    const QString name = oneLine(entry.displayName).trimmed();
    if (text.isEmpty())
        return;
    if (const std::optional<MailAddress> named = MailboxText::parseNamed(text)) {
        if (!named->mailbox.isEmpty())
            list.append({name.isEmpty() ? named->displayName : name, headerAddress(named->mailbox)});
        return;
    }
    if (allowSeveral && name.isEmpty()) {
        QList<MailAddress> pieces;
        bool clean = true;
        for (const QString &piece : text.split(u',')) {
            const QString trimmed = piece.trimmed();
            if (trimmed.isEmpty())
                continue;
            if (const std::optional<MailAddress> named = MailboxText::parseNamed(trimmed)) {
                if (!named->mailbox.isEmpty() && isPlainAddress(named->mailbox))
                    pieces.append({named->displayName, headerAddress(named->mailbox)});
                else
                    clean = false;
            } else if (isPlainAddress(trimmed)) {
                pieces.append({QString(), headerAddress(trimmed)});
            } else {
                clean = false;
            }
        }
        if (clean) {
            list.append(pieces);
            return;
        }
    }
    list.append({name, headerAddress(text)});
}

QByteArray messageIdDomain(const QString &address)
{
    const QString mailbox = address.trimmed();
    const qsizetype at = mailbox.lastIndexOf(u'@');
    if (at < 0)
        return kFallbackMessageIdDomain;
    // International domains in their ASCII form; anything that is not a plain
    // host name after that falls back.
    const QByteArray domain = QUrl::toAce(mailbox.mid(at + 1)).toLower();
    if (domain.isEmpty() || domain.startsWith('.') || domain.endsWith('.') || domain.contains(".."))
        return kFallbackMessageIdDomain;
    for (char c : domain) {
        const bool hostChar = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!hostChar)
            return kFallbackMessageIdDomain;
    }
    return domain;
}

// A header field name is printable ASCII without a colon (RFC 5322 ftext).
bool isHeaderName(const QByteArray &name)
{
    if (name.isEmpty())
        return false;
    for (char c : name) {
        if (c < 33 || c > 126 || c == ':')
            return false;
    }
    return true;
}

// The Date header in RFC 5322 form, in the time zone the date carries. It is
// formatted here rather than by GMime, whose dates go through GLib's shared
// time zone cache, and without QLocale, whose format cache is guarded by a
// lock it creates lazily: messages are built on several threads at once.
QByteArray dateHeader(const QDateTime &date)
{
    static constexpr const char *days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static constexpr const char *months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate day = date.date();
    const QTime time = date.time();
    const int offsetMinutes = date.offsetFromUtc() / 60;
    const int magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    const auto two = [](int n) { return QByteArray::number(n).rightJustified(2, '0'); };
    return "Date: " + QByteArray(days[day.dayOfWeek() - 1]) + ", " + two(day.day()) + ' ' + months[day.month() - 1]
        + ' ' + QByteArray::number(day.year()).rightJustified(4, '0') + ' ' + two(time.hour()) + ':'
        + two(time.minute()) + ':' + two(time.second()) + ' ' + (offsetMinutes < 0 ? '-' : '+')
        + two(magnitude / 60) + two(magnitude % 60) + "\r\n";
}

Result<QByteArray> buildMessage(const MessageContent &content)
{
    for (const auto &[name, value] : content.extraHeaders) {
        if (!isHeaderName(name))
            return Result<QByteArray>::failure(u"“%1” is not a valid header name."_s.arg(QString::fromLatin1(name)));
    }

    GPtr<GMimeObject> body = bodyPart(content);
    if (!content.attachmentPaths.isEmpty()) {
        GPtr<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
        g_mime_multipart_add(mixed.get(), body.get());
        for (const QString &path : content.attachmentPaths) {
            Result<GPtr<GMimeObject>> attachment = attachmentPart(path);
            if (!attachment)
                return Result<QByteArray>::failure(attachment.error());
            g_mime_multipart_add(mixed.get(), attachment.value().get());
        }
        body.reset(GMIME_OBJECT(mixed.release()));
    }

    // From, To, Subject and the extra headers are written here rather than
    // by GMime, whose encoded words grow past the 75 characters RFC 2047
    // allows and which leaves text that looks like an encoded word as it is,
    // for readers to decode. GMime writes the rest.
    QList<MailAddress> from;
    appendMailboxes(from, content.from, false);
    QList<MailAddress> to;
    for (const MailAddress &recipient : content.to)
        appendMailboxes(to, recipient, true);
    QByteArray headers;
    if (!from.isEmpty())
        headers += HeaderEncoder::mailboxList("From", from);
    if (!to.isEmpty())
        headers += HeaderEncoder::mailboxList("To", to);
    headers += HeaderEncoder::unstructured("Subject", oneLine(content.subject));
    for (const auto &[name, value] : content.extraHeaders)
        headers += HeaderEncoder::unstructured(name, oneLine(value));

    GPtr<GMimeMessage> message(g_mime_message_new(TRUE));
    std::unique_ptr<char, GFree> messageId(g_mime_utils_generate_message_id(
        messageIdDomain(from.isEmpty() ? content.from.mailbox : from.first().mailbox).constData()));
    g_mime_message_set_message_id(message.get(), messageId.get());
    g_mime_message_set_mime_part(message.get(), body.get());

    // CRLF throughout: the bytes go to SMTP as they are (and to sendmail and
    // .eml files, which take CRLF as well), so no layer below has to convert
    // line ends or can get them wrong.
    std::unique_ptr<GMimeFormatOptions, FormatOptionsFree> options(g_mime_format_options_new());
    g_mime_format_options_set_newline_format(options.get(), GMIME_NEWLINE_FORMAT_DOS);
    GPtr<GMimeStream> out(g_mime_stream_mem_new_with_byte_array(g_byte_array_sized_new(guint(expectedMessageSize(content)))));
    if (g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), options.get(), out.get()) < 0)
        return Result<QByteArray>::failure(u"The message could not be written: an attachment could not be read."_s);
    const GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
    // The Date goes first, where GMime itself would put it, then the headers
    // written here. Without a date the header is left out; the submission
    // server or sendmail adds one.
    const QByteArray head = (content.date.isValid() ? dateHeader(content.date) : QByteArray()) + headers;
    QByteArray result(head.size() + qsizetype(bytes->len), Qt::Uninitialized);
    std::copy(head.begin(), head.end(), result.begin());
    std::copy_n(reinterpret_cast<const char *>(bytes->data), bytes->len, result.begin() + head.size());
    return result;
}

void initialiseGMimeOnce()
{
    // GMime's global tables (charsets, iconv cache, parser defaults) are set
    // up once for the whole process and never torn down: messages are built
    // on several worker threads, and any of them may be the first. One
    // message of every kind is built here too, so that the GObject classes
    // and the MIME type database are set up before any other thread can use
    // them, and not concurrently by several threads.
    static std::once_flag once;
    std::call_once(once, [] {
        g_mime_init();
        // Classes of static types live as long as the process.
        g_type_class_ref(GMIME_TYPE_STREAM_FS);
        g_type_class_ref(GMIME_TYPE_CONTENT_DISPOSITION);
        MessageContent sample;
        sample.from = {u"Sample"_s, u"sample@quillcast.invalid"_s};
        sample.to = {{QString(), u"a@quillcast.invalid, b@quillcast.invalid"_s}, {u"C"_s, u"c@quillcast.invalid"_s}};
        sample.subject = u"Grüße"_s;
        sample.textBody = u"Grüße"_s;
        sample.htmlBody = u"<p>Grüße</p>"_s;
        sample.extraHeaders = {{QByteArrayLiteral("X-Sample"), u"1"_s}};
        (void)buildMessage(sample);
        (void)QMimeDatabase().mimeTypeForFile(u"sample.pdf"_s, QMimeDatabase::MatchExtension);
    });
}

} // namespace

Result<QByteArray> MessageBuilder::build(const MessageContent &content)
{
    initialiseGMimeOnce();
    return buildMessage(content);
}

} // namespace quillcast
