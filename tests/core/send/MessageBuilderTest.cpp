#include "GMimeReading.h"
#include "ParsedMessage.h"
#include "TestFiles.h"
#include "TestPrinters.h"
#include "send/MessageBuilder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTimeZone>

#include <functional>

using namespace quillcast;
using namespace quillcast::testing;
using namespace Qt::StringLiterals;

namespace {

class MessageBuilderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!haveParser())
            GTEST_SKIP() << "python3 is needed to read the messages back";
        ASSERT_TRUE(dir.isValid());
    }

    static MessageContent basicContent()
    {
        MessageContent content;
        content.from = {u"Ann Lee"_s, u"ann@example.com"_s};
        content.to = {{QString(), u"bob@example.org"_s}};
        content.subject = u"Hello"_s;
        content.textBody = u"Hi Bob,\nsee you.\n"_s;
        content.date = QDateTime(QDate(2024, 3, 5), QTime(9, 30, 15), QTimeZone(3600));
        return content;
    }

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(writeFile(path, bytes)) << path.toStdString();
        return path;
    }

    // Builds and parses back; fails the test when either step fails.
    ParsedMessage roundTrip(const MessageContent &content, QByteArray *raw = nullptr)
    {
        const Result<QByteArray> built = MessageBuilder::build(content);
        EXPECT_TRUE(built.ok()) << built.error().toStdString();
        if (!built.ok())
            return {};
        if (raw)
            *raw = built.value();
        QString error;
        const std::optional<ParsedMessage> parsed = parseMessage(built.value(), &error);
        EXPECT_TRUE(parsed.has_value()) << error.toStdString();
        return parsed.value_or(ParsedMessage());
    }

    QTemporaryDir dir;
};

QByteArray everyByteValue(int repeats)
{
    QByteArray bytes;
    for (int i = 0; i < repeats * 256; ++i)
        bytes.append(char(i % 256));
    return bytes;
}

TEST_F(MessageBuilderTest, HeadersReadBackAsGiven)
{
    MessageContent content = basicContent();
    content.subject = u"Grüße €"_s;
    content.to = {{QString(), u"bob@example.org"_s}, {u"Zoë Ångström"_s, u"zoe@example.net"_s}};
    const ParsedMessage m = roundTrip(content);
    ASSERT_EQ(m.from.size(), 1);
    EXPECT_EQ(m.from[0].name, u"Ann Lee"_s);
    EXPECT_EQ(m.from[0].addr, u"ann@example.com"_s);
    EXPECT_EQ(m.toMailboxes(), (QStringList{u"bob@example.org"_s, u"zoe@example.net"_s}));
    EXPECT_EQ(m.to.value(1).name, u"Zoë Ångström"_s);
    EXPECT_EQ(m.subject, u"Grüße €"_s);
    EXPECT_EQ(m.date, u"2024-03-05T09:30:15+01:00"_s);
    EXPECT_EQ(m.header(u"MIME-Version"_s), u"1.0"_s);
    EXPECT_TRUE(m.header(u"Message-ID"_s).endsWith(u"@example.com>"_s)) << m.header(u"Message-ID"_s).toStdString();
    EXPECT_TRUE(m.defects.isEmpty()) << m.defects.join(u", "_s).toStdString();

    content.from.displayName.clear();
    QByteArray raw;
    roundTrip(content, &raw);
    EXPECT_TRUE(QByteArray("\r\n" + rawHeaderBlock(raw)).contains("\r\nFrom: ann@example.com\r\n")) << "bare address";
}

TEST_F(MessageBuilderTest, TheDateKeepsItsOwnTimeZone)
{
    const QDate day(2024, 12, 31);
    const struct { const char *name; QDateTime date; QString expected; } rows[] = {
        {"UTC", QDateTime(day, QTime(23, 59, 59), QTimeZone::utc()), u"2024-12-31T23:59:59+00:00"_s},
        {"half-hour offset west", QDateTime(day, QTime(8, 0), QTimeZone(-(3 * 3600 + 1800))), u"2024-12-31T08:00:00-03:30"_s},
        {"named zone", QDateTime(QDate(2024, 7, 1), QTime(12, 0), QTimeZone("Europe/Zurich")), u"2024-07-01T12:00:00+02:00"_s},
        {"no date: no header", QDateTime(), QString()},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MessageContent content = basicContent();
        content.date = row.date;
        const ParsedMessage m = roundTrip(content);
        EXPECT_EQ(m.date, row.expected);
        EXPECT_EQ(m.headerCount(u"Date"_s), row.date.isValid() ? 1 : 0);
    }
}

TEST_F(MessageBuilderTest, MessageIdsAreUniqueAndFallBackWithoutASenderDomain)
{
    MessageContent content = basicContent();
    EXPECT_NE(roundTrip(content).header(u"Message-ID"_s), roundTrip(content).header(u"Message-ID"_s));
    content.from.mailbox = u"not an address"_s;
    EXPECT_TRUE(roundTrip(content).header(u"Message-ID"_s).endsWith(u"@quillcast.invalid>"_s));
}

// A line break in any header value supplied from outside must not start a
// header of its own nor add a recipient.
TEST_F(MessageBuilderTest, LineBreaksInHeaderValuesCannotInjectHeaders)
{
    const QString bcc = u"\r\nBcc: victim@example.com"_s;
    const struct { const char *name; std::function<void(MessageContent &)> edit; } rows[] = {
        {"subject with CRLF", [&](MessageContent &c) { c.subject = u"Hi"_s + bcc; }},
        {"subject with bare LF", [](MessageContent &c) { c.subject = u"Hi\nBcc: victim@example.com"_s; }},
        {"subject with bare CR", [](MessageContent &c) { c.subject = u"Hi\rBcc: victim@example.com"_s; }},
        {"sender display name", [&](MessageContent &c) { c.from.displayName = u"Ann"_s + bcc; }},
        {"sender mailbox", [&](MessageContent &c) { c.from.mailbox = u"ann@example.com"_s + bcc; }},
        {"recipient display name", [&](MessageContent &c) { c.to = {{u"Bob"_s + bcc, u"bob@example.org"_s}}; }},
        {"recipient mailbox", [&](MessageContent &c) { c.to = {{QString(), u"bob@example.org"_s + bcc}}; }},
        {"extra header value", [&](MessageContent &c) { c.extraHeaders = {{"X-Unsent", u"1"_s + bcc}}; }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MessageContent content = basicContent();
        row.edit(content);
        QByteArray raw;
        const ParsedMessage m = roundTrip(content, &raw);
        EXPECT_EQ(m.headerCount(u"Subject"_s), 1);
        EXPECT_EQ(m.headerCount(u"Bcc"_s), 0);
        EXPECT_EQ(m.headerCount(u"From"_s), 1);
        EXPECT_EQ(m.headerCount(u"To"_s), 1);
        EXPECT_FALSE(m.toMailboxes().contains(u"victim@example.com"_s));
        EXPECT_FALSE(rawHeaderBlock(raw).contains("\nBcc:"));
    }
    MessageContent content = basicContent();
    content.subject = u"Hi\r\nthere"_s;
    EXPECT_EQ(roundTrip(content).subject, u"Hi there"_s) << "subject line breaks become spaces";
}

// A recipient entry without a display name may hold what the user typed:
// several addresses, a named mailbox, or nothing at all. An entry's own
// name wins over the text's.
TEST_F(MessageBuilderTest, RecipientTextsAreReadAsAddressLists)
{
    const struct { const char *name; QList<MailAddress> to; QStringList expected; QStringList names; } rows[] = {
        {"two addresses in one text", {{QString(), u"x@a.example, y@b.example"_s}}, {u"x@a.example"_s, u"y@b.example"_s}, {}},
        {"an empty mailbox among others",
         {{QString(), u"x@a.example"_s}, {QString(), QString()}, {QString(), u"y@b.example"_s}},
         {u"x@a.example"_s, u"y@b.example"_s}, {}},
        {"a blank mailbox alone", {{QString(), u"   "_s}}, {}, {}},
        {"an empty mailbox with a name", {{u"Nobody"_s, QString()}}, {}, {}},
        {"a trailing comma", {{QString(), u"x@a.example,"_s}}, {u"x@a.example"_s}, {}},
        {"group syntax is not a way in", {{QString(), u"x@a.example, Bcc: victim@example.com;"_s}}, {u"x@a.example"_s}, {}},
        {"named text", {{QString(), u"Zoë <zoe@example.net>"_s}}, {u"zoe@example.net"_s}, {u"Zoë"_s}},
        {"named pieces of a list", {{QString(), u"Ann <a@example.net>, b@example.org"_s}},
         {u"a@example.net"_s, u"b@example.org"_s}, {u"Ann"_s, QString()}},
        {"entry name wins over the text's", {{u"Bob"_s, u"Zoë <zoe@example.net>"_s}}, {u"zoe@example.net"_s}, {u"Bob"_s}},
        {"empty brackets", {{QString(), u"Nobody <>"_s}, {QString(), u"b@example.org"_s}}, {u"b@example.org"_s}, {QString()}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MessageContent content = basicContent();
        content.to = row.to;
        const ParsedMessage m = roundTrip(content);
        EXPECT_EQ(m.toMailboxes(), row.expected);
        QStringList names;
        for (const ParsedMessage::Address &address : m.to)
            names.append(address.name);
        EXPECT_EQ(names, row.names.isEmpty() ? QStringList(names.size(), QString()) : row.names);
    }
}

// Names and subjects as users write them, read back by Python's email
// package and by GMime's parser alike, from header lines within the limits
// of RFC 5322 and RFC 2047.
//
// Python 3.11 keeps the space between two encoded words of a display name,
// which RFC 2047 has readers drop; a name too long for one encoded word is
// compared with Python's reading up to runs of spaces.
TEST_F(MessageBuilderTest, NamesAndSubjectsReadBackExactlyByBothReaders)
{
    const QString emoji60 = QString(u"😀"_s).repeated(60);
    const QString longUrl = u"https://example.org/"_s + QString(150, u'x');
    const QString longName = QString(u"Société Générale "_s).repeated(8).trimmed();
    const MailAddress ann{QString(), u"ann@example.com"_s};
    const QList<MailAddress> bob{{QString(), u"bob@example.org"_s}};
    const QList<MailAddress> four{{u"Zoë Ångström"_s, u"zoe@example.net"_s}, {u"Jürgen Groß"_s, u"j@example.de"_s},
                                  {u"François Müller"_s, u"f@example.fr"_s}, {u"Łukasz Żółć"_s, u"l@example.pl"_s}};
    // The subject, and the sender and recipients unless a row says otherwise,
    // read back as given.
    const struct
    {
        const char *name;
        MailAddress from;
        QList<MailAddress> to;
        QString subject;
        std::optional<MailAddress> readFrom; // as both readers should see it
        std::optional<QList<MailAddress>> readTo;
    } rows[] = {
        {"sender name in the sender text", {QString(), u"Bibliothèque Municipale <news@example.org>"_s}, bob,
         u"Hello"_s, MailAddress{u"Bibliothèque Municipale"_s, u"news@example.org"_s}, {}},
        {"quoted sender name with a comma", {QString(), u"  \"Doe, Jane\" <jane@example.org>"_s}, bob, u"Hello"_s,
         MailAddress{u"Doe, Jane"_s, u"jane@example.org"_s}, {}},
        {"name with quotes, a backslash and dots", {u"J. \"Bob\" Smith \\ Co."_s, u"bob@example.com"_s},
         {{QString(), u"o'brien@example.org"_s}}, u"Hello"_s, {}, {}},
        {"names that look like encoded words", {u"=?utf-8?q?hello?="_s, u"ann@example.com"_s},
         {{QString(), u"Zoë =?utf-8?b?aGk=?= <zoe@example.net>"_s}}, u"Hello"_s, {},
         QList<MailAddress>{{u"Zoë =?utf-8?b?aGk=?="_s, u"zoe@example.net"_s}}},
        {"a long name", {longName, u"ann@example.com"_s}, {{longName, u"bob@example.org"_s}}, u"Hello"_s, {}, {}},
        {"several named recipients", ann, four, u"Hello"_s, {}, {}},
        {"long ASCII name that needs quoting",
         {u"Department of Very Long Names, Subdivision of Lengthy Titles (Sales) and More"_s, u"d@example.com"_s}, bob,
         u"Hello"_s, {}, {}},
        {"long name of plain and accented words", ann,
         {{u"Jean-François de la Fontaine et les Amis de la Bibliothèque de Château-Thierry"_s, u"j@example.fr"_s}},
         u"Hello"_s, {}, {}},
        {"sixty emoji", ann, bob, emoji60, {}, {}},
        {"emoji after CJK text", ann, bob, u"李小龙"_s.repeated(10) + u"😀"_s.repeated(30), {}, {}},
        {"subject that looks like an encoded word", ann, bob, u"=?utf-8?q?hello?= and x=?iso-8859-1?q?y?=z"_s, {}, {}},
        {"long ASCII word and spaces kept", ann, bob, u"See  "_s + longUrl + u" now, Grüße   aus   Köln"_s, {}, {}},
        {"mixed text past a line", ann, bob, u"Ünïcödé "_s.repeated(20) + u"end"_s, {}, {}},
    };
    const auto sameName = [](const QString &read, const QString &expected) {
        return read == expected || (expected.size() > 30 && read.simplified() == expected.simplified());
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const MailAddress readFrom = row.readFrom.value_or(row.from);
        const QList<MailAddress> readTo = row.readTo.value_or(row.to);
        MessageContent content = basicContent();
        content.from = row.from;
        content.to = row.to;
        content.subject = row.subject;
        QByteArray raw;
        const ParsedMessage python = roundTrip(content, &raw);
        EXPECT_EQ(sevenBitProblem(raw), QString());
        EXPECT_EQ(headerLimitProblems(raw), QStringList());
        EXPECT_TRUE(python.defects.isEmpty()) << python.defects.join(u", "_s).toStdString();
        ASSERT_EQ(python.from.size(), 1);
        EXPECT_PRED2(sameName, python.from[0].name, readFrom.displayName);
        EXPECT_EQ(python.from[0].addr, readFrom.mailbox);
        ASSERT_EQ(python.to.size(), readTo.size());
        for (qsizetype i = 0; i < readTo.size(); ++i) {
            EXPECT_PRED2(sameName, python.to[i].name, readTo[i].displayName);
            EXPECT_EQ(python.to[i].addr, readTo[i].mailbox);
        }
        EXPECT_EQ(python.subject, row.subject);

        const std::optional<GMimeReading> gmime = GMimeReading::read(raw);
        ASSERT_TRUE(gmime.has_value());
        ASSERT_EQ(gmime->from.size(), 1);
        EXPECT_EQ(gmime->from[0].name, readFrom.displayName);
        EXPECT_EQ(gmime->from[0].addr, readFrom.mailbox);
        ASSERT_EQ(gmime->to.size(), readTo.size());
        for (qsizetype i = 0; i < readTo.size(); ++i) {
            EXPECT_EQ(gmime->to[i].name, readTo[i].displayName);
            EXPECT_EQ(gmime->to[i].addr, readTo[i].mailbox);
        }
        EXPECT_EQ(gmime->subject, row.subject);
    }
}

// The limits hold for every header line, not only for the subject.
TEST_F(MessageBuilderTest, EveryHeaderLineKeepsTheLimits)
{
    MessageContent content = basicContent();
    content.from = {u"Ünïcödé Ünïcödé Ünïcödé Ünïcödé Ünïcödé Ünïcödé 😀😀😀😀😀😀😀😀😀😀"_s, u"ann@example.com"_s};
    for (int i = 0; i < 8; ++i)
        content.to.append({u"Empfänger Nummer %1 mit langem Namen"_s.arg(i), u"r%1@example.org"_s.arg(i)});
    content.subject = QString(u"😀"_s).repeated(60);
    content.extraHeaders = {{"X-Long-Header-Name-For-Testing", u"Grüße "_s.repeated(30)}};
    QByteArray raw;
    const ParsedMessage m = roundTrip(content, &raw);
    EXPECT_EQ(headerLimitProblems(raw), QStringList());
    EXPECT_EQ(m.to.size(), 9);
    EXPECT_EQ(m.header(u"X-Long-Header-Name-For-Testing"_s), u"Grüße "_s.repeated(30).trimmed());
    const std::optional<GMimeReading> gmime = GMimeReading::read(raw);
    ASSERT_TRUE(gmime.has_value());
    EXPECT_EQ(gmime->from.value(0).name, content.from.displayName);
    EXPECT_EQ(gmime->to.size(), 9);
}

TEST_F(MessageBuilderTest, BodyStructureFollowsTheBodiesGiven)
{
    const struct
    {
        const char *name;
        std::optional<QString> text;
        std::optional<QString> html;
        QStringList types;
    } rows[] = {
        {"text only", u"plain words"_s, std::nullopt, {u"text/plain"_s}},
        {"HTML only", std::nullopt, u"<p>rich</p>"_s, {u"text/html"_s}},
        {"both", u"plain words"_s, u"<p>rich</p>"_s, {u"multipart/alternative"_s, u"text/plain"_s, u"text/html"_s}},
        {"neither", std::nullopt, std::nullopt, {u"text/plain"_s}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MessageContent content = basicContent();
        content.textBody = row.text;
        content.htmlBody = row.html;
        QStringList types;
        for (const ParsedMessage::Part &part : roundTrip(content).parts) {
            types.append(part.contentType);
            if (part.contentType.startsWith(u"text/"_s)) {
                EXPECT_EQ(part.charset, u"utf-8"_s);
            }
        }
        EXPECT_EQ(types, row.types);
    }
}

TEST_F(MessageBuilderTest, TextTransferEncodingIsPlainOnlyForShortLinedAscii)
{
    const QString nul = u"a"_s + QChar(0) + u"b"_s;
    const struct { const char *name; QString text; QString encoding; QString received; } rows[] = {
        {"ASCII", u"Hello Bob.\nBye.\n"_s, u"7bit"_s, u"Hello Bob.\nBye.\n"_s},
        {"line breaks of every kind", u"one\r\ntwo\rthree\nfour"_s, u"7bit"_s, u"one\ntwo\nthree\nfour\n"_s},
        {"non-ASCII", u"Grüße\n"_s, u"quoted-printable"_s, u"Grüße\n"_s},
        {"a line over 998 characters", QString(1200, u'a'), u"quoted-printable"_s, QString(1200, u'a') + u'\n'},
        {"a NUL character", nul, u"quoted-printable"_s, nul + u'\n'},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MessageContent content = basicContent();
        content.textBody = row.text;
        const ParsedMessage m = roundTrip(content);
        ASSERT_EQ(m.parts.size(), 1);
        EXPECT_EQ(m.parts[0].transferEncoding, row.encoding);
        EXPECT_EQ(m.parts[0].text, row.received);
    }
}

TEST_F(MessageBuilderTest, AttachmentsArriveByteForByteUnderTheirNames)
{
    const struct { QString fileName; QString contentType; } rows[] = {
        {u"report.pdf"_s, u"application/pdf"_s},
        {u"Grüße €.txt"_s, u"text/plain"_s},
        {u"no-extension"_s, u"application/octet-stream"_s},
        {u"a rather long file name that goes past the length of one header line for sure.png"_s, u"image/png"_s},
    };
    MessageContent content = basicContent();
    content.htmlBody = u"<p>see attached</p>"_s;
    QList<QByteArray> bytes;
    for (const auto &row : rows) {
        bytes.append(everyByteValue(int(bytes.size()) * 7 + 1) + QByteArray::number(bytes.size()));
        content.attachmentPaths.append(file(row.fileName, bytes.last()));
    }
    QByteArray raw;
    const ParsedMessage m = roundTrip(content, &raw);
    EXPECT_TRUE(raw.toLower().contains("filename*=utf-8''gr%c3%bc%c3%9fe%20%e2%82%ac.txt")) << "RFC 2231";

    // mixed, alternative, plain, html, then the attachments in order
    ASSERT_EQ(m.parts.size(), 4 + bytes.size());
    EXPECT_EQ(m.parts[0].contentType, u"multipart/mixed"_s);
    EXPECT_EQ(m.parts[1].contentType, u"multipart/alternative"_s);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        SCOPED_TRACE(rows[i].fileName.toStdString());
        const ParsedMessage::Part &part = m.parts[4 + i];
        EXPECT_EQ(part.filename, rows[i].fileName);
        EXPECT_EQ(part.contentType, rows[i].contentType);
        EXPECT_EQ(part.disposition, u"attachment"_s);
        EXPECT_EQ(part.transferEncoding, u"base64"_s);
        EXPECT_EQ(part.payload, bytes[i]);
    }
    EXPECT_TRUE(m.defects.isEmpty()) << m.defects.join(u", "_s).toStdString();
}

// A text file is read in its charset only when it names one: UTF-8 files
// say so, also when a character straddles two pieces of the reading; a
// file in another encoding, or cut in the middle of a character, names
// none rather than a wrong one, and other types never do.
TEST_F(MessageBuilderTest, TextFilesThatAreUtf8NameTheirCharset)
{
    QByteArray straddling(64 * 1024 - 1, 'a');
    straddling.append("\xe2\x82\xac end"); // "€" over the first piece's end
    const struct { const char *name; QString fileName; QByteArray bytes; QString charset; } rows[] = {
        {"UTF-8 text", u"notes.txt"_s, "Cr\xc3\xa8me br\xc3\xbbl\xc3\xa9" "e \xf0\x9f\x98\x80\n", u"utf-8"_s},
        {"ASCII CSV", u"list.csv"_s, "name,email\nAnn,ann@example.org\n", u"utf-8"_s},
        {"character over a piece boundary", u"long.txt"_s, straddling, u"utf-8"_s},
        {"empty text", u"empty.txt"_s, QByteArray(), u"utf-8"_s},
        {"Latin-1 text", u"latin1.txt"_s, "Cr\xe8me\n", QString()},
        {"cut in a character", u"cut.txt"_s, "Cr\xc3", QString()},
        {"UTF-8 in a PDF", u"doc.pdf"_s, "%PDF Cr\xc3\xa8me", QString()},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MessageContent content = basicContent();
        content.attachmentPaths = {file(row.fileName, row.bytes)};
        const ParsedMessage m = roundTrip(content);
        ASSERT_EQ(m.parts.size(), 3);
        EXPECT_EQ(m.parts[2].charset, row.charset);
        EXPECT_EQ(m.parts[2].payload, row.bytes);
        if (!row.charset.isEmpty() && row.bytes.size() < 100) {
            EXPECT_EQ(m.parts[2].text, QString::fromUtf8(row.bytes));
        }
    }
}

// Everything a 7-bit relay or a strict server could trip over, in a message
// that has all of it: non-ASCII everywhere, a very long line, binary data.
TEST_F(MessageBuilderTest, OutputIsSevenBitCleanWithCrlfLinesOfLegalLength)
{
    MessageContent content = basicContent();
    content.from.displayName = u"Jürgen Groß"_s;
    content.to = {{u"李小龙"_s, u"lee@example.org"_s}};
    content.subject = u"Grüße € "_s + QString(300, u'ü');
    content.textBody = u"Grüße\n"_s + QString(3000, u'x') + u"\n😀\n"_s;
    content.htmlBody = u"<p>"_s + QString(3000, u'é') + u"</p>"_s;
    content.attachmentPaths = {file(u"données.bin"_s, everyByteValue(40))};
    content.extraHeaders = {{"X-Unsent", u"1"_s}};
    QByteArray raw;
    const ParsedMessage m = roundTrip(content, &raw);
    EXPECT_EQ(sevenBitProblem(raw), QString());
    EXPECT_EQ(m.subject, content.subject);
    EXPECT_EQ(m.header(u"X-Unsent"_s), u"1"_s);
}

TEST_F(MessageBuilderTest, AnAttachmentThatCannotBeReadFailsTheMessageNamingTheFile)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder"_s));
    for (const QString &path : {dir.filePath(u"gone.pdf"_s), dir.filePath(u"folder"_s)}) {
        SCOPED_TRACE(path.toStdString());
        MessageContent content = basicContent();
        content.attachmentPaths = {file(u"fine.txt"_s, "ok"), path};
        const Result<QByteArray> built = MessageBuilder::build(content);
        ASSERT_FALSE(built.ok());
        EXPECT_TRUE(built.error().contains(path)) << built.error().toStdString();
    }
}

TEST(MessageBuilderHeaders, AnExtraHeaderWithAnInvalidNameIsRefused)
{
    for (const QByteArray &name : {QByteArray("Bad Name"), QByteArray("X:Y"), QByteArray(), QByteArray("X-\xc3\xa4")}) {
        SCOPED_TRACE(name.toStdString());
        MessageContent content;
        content.from = {QString(), u"ann@example.com"_s};
        content.extraHeaders = {{name, u"1"_s}};
        EXPECT_FALSE(MessageBuilder::build(content).ok());
    }
}

} // namespace
