#include "DocumentTestData.h"
#include "FileSizeLimit.h"
#include "TestPrinters.h"
#include "document/DocumentFile.h"
#include "document/NewerReleaseAlert.h"
#include "document/TagUpgrade.h"
#include "document/archive/KeyedArchiver.h"
#include "RecordingUrlOpener.h"
#include "ScriptedAlertPresenter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QIODevice>
#include <QTemporaryDir>

using namespace quillcast;
using namespace Qt::StringLiterals;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

struct Reader
{
    ScriptedAlertPresenter alerts{1};
    RecordingUrlOpener opener;

    Status read(MyDocument &doc, const QByteArray &bytes)
    {
        return DocumentFile::readFromData(doc, bytes, alerts, opener);
    }
};

QByteArray archived(const Dict &root)
{
    const Result<QByteArray> bytes = KeyedArchiver::archive(root);
    EXPECT_TRUE(bytes.ok()) << bytes.error().toStdString();
    return bytes.ok() ? bytes.value() : QByteArray();
}

// A mailing that uses every saved property, shared records included.
void fillMailing(MyDocument &doc)
{
    testdata::setUpWithUserKeys(doc);
    const Dict ada = testdata::record(1, true, u"ada@example.org"_s, u"Ada"_s, u"London"_s);
    const Dict zoe = testdata::record(2, false, u"zoe@example.de"_s, u"Zoë"_s, u"Köln"_s);
    doc.addressArray().append({Value(ada), Value(zoe)});
    doc.sendArray().append(Value(zoe));
    Dict exception = testdata::exceptRecord(1, u"spam@example.com"_s, u"asked to leave"_s);
    exception.set(u"date"_s, QDateTime(QDate(2026, 3, 1), QTime(12, 0, 0, 250), QTimeZone::utc()));
    doc.exceptArray().append(exception);
    doc.attachmentBookmarks().append(Dict{{u"path"_s, u"/home/ada/flyer.pdf"_s}, {u"bookmark"_s, QByteArray("\x00\x01tok", 5)}});
    doc.setMailFormFrom(u"news@example.org"_s);
    doc.setMailFormSubject(u"Hello _Name_"_s);
    doc.setMailFormBody(u"Dear _Name_ of _City_"_s);
    doc.setMailFormBodyHtml(u"<p>_Name_</p>"_s);
    doc.setMailFormBodyHtmlAltText(u"_Name_"_s);
    doc.setMailFormAttachment(u"/old/path.txt"_s);
    doc.setMailFormReplyTo(u"not-saved@example.org"_s);
    doc.setSendPrepTimeInterval(9);
    doc.setEmailKind(1);
    doc.setUseMailServerToSend(1);
    doc.setSelectedIndexConnection(2);
    doc.setLogViewText(u"06/12/2026 09:00 Done. 2 sent.\n"_s);
}

// Saved, opened and saved again: every persisted property comes back, records
// shared by two lists come back as one object, and the bytes do not change.
TEST(DocumentFile, RoundTripKeepsEveryPersistedPropertyAndTheBytes)
{
    MyDocument saved{SystemClock::instance()};
    fillMailing(saved);
    const Result<QByteArray> bytes = DocumentFile::dataOfType(saved);
    ASSERT_TRUE(bytes.ok()) << bytes.error().toStdString();
    ASSERT_TRUE(bytes.value().startsWith("bplist00"));

    MyDocument opened{SystemClock::instance()};
    Reader reader;
    ASSERT_TRUE(reader.read(opened, bytes.value()).ok());

    EXPECT_EQ(Value(opened.keyArray()), Value(saved.keyArray()));
    EXPECT_EQ(Value(opened.addressArray()), Value(saved.addressArray()));
    EXPECT_EQ(Value(opened.exceptArray()), Value(saved.exceptArray()));
    EXPECT_EQ(Value(opened.sendArray()), Value(saved.sendArray()));
    EXPECT_EQ(Value(opened.attachmentBookmarks()), Value(saved.attachmentBookmarks()));
    EXPECT_EQ(opened.mailFormFrom(), saved.mailFormFrom());
    EXPECT_EQ(opened.mailFormTo(), u"_email_"_s);
    EXPECT_EQ(opened.mailFormSubject(), saved.mailFormSubject());
    EXPECT_EQ(opened.mailFormBody(), saved.mailFormBody());
    EXPECT_EQ(opened.mailFormBodyHtml(), saved.mailFormBodyHtml());
    EXPECT_EQ(opened.mailFormBodyHtmlAltText(), saved.mailFormBodyHtmlAltText());
    EXPECT_EQ(opened.mailFormAttachment(), saved.mailFormAttachment());
    EXPECT_TRUE(opened.mailFormReplyTo().isNull());
    EXPECT_EQ(opened.sendPrepTimeInterval(), 9);
    EXPECT_EQ(opened.emailKind(), 1);
    EXPECT_EQ(opened.useMailServerToSend(), 1);
    EXPECT_EQ(opened.selectedIndexConnection(), std::optional<qint64>(2));
    EXPECT_EQ(opened.myLog(), u"06/12/2026 09:00 Done. 2 sent.\n"_s);

    Dict inSendList = opened.sendArray().at(0).toDict();
    const Dict inDatabase = opened.addressArray().at(1).toDict();
    EXPECT_TRUE(Dict::sameObject(inSendList, inDatabase));
    inSendList.set(u"2"_s, true);
    EXPECT_TRUE(inDatabase.boolValue(u"2"_s));
    inSendList.set(u"2"_s, false);

    opened.setUpOpenedDocument();
    EXPECT_EQ(DocumentFile::dataOfType(opened).value(), bytes.value());
}

// The refused-to-exceptions setting: saved under its own key only when on
// (a mailing that never used it keeps its keys), read back as it was. Which
// formats carry it is checked with the other keys.
TEST(DocumentFile, TheRefusedAddressSettingIsSavedOnlyWhenOn)
{
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on);
        MyDocument saved{SystemClock::instance()};
        fillMailing(saved);
        saved.setAddRefusedToExceptions(on ? 1 : 0);
        const Result<QByteArray> bytes = DocumentFile::dataOfType(saved);
        ASSERT_TRUE(bytes.ok());
        const Dict root = DocumentFile::readRoot(bytes.value()).value();
        EXPECT_EQ(root.value(u"quillcastAddRefusedToExceptions"_s), on ? Value(qint64(1)) : Value());
        MyDocument opened{SystemClock::instance()};
        Reader reader;
        ASSERT_TRUE(reader.read(opened, bytes.value()).ok());
        EXPECT_EQ(opened.addRefusedToExceptions(), on ? 1 : 0);
    }
}

// Every key a file can hold, with values unlike the defaults, to see which a row reads.
Dict everyKey(const Value &format)
{
    const List keys({Value(DocumentKeys::makeDbKey(u"1"_s, u"#"_s)), Value(DocumentKeys::makeDbKey(u"2"_s, u"sel"_s)),
                     Value(DocumentKeys::makeDbKey(u"3"_s, u"email"_s))});
    Dict root{{u"keyArray"_s, keys},
              {u"mailFormFrom"_s, u"from <email>"_s},
              {u"mailFormSubject"_s, u"subject"_s},
              {u"mailFormTo"_s, u"<email>"_s},
              {u"mailFormBody"_s, u"body <yy>"_s},
              {u"sendPrepTimeInterval"_s, 7},
              {u"mailFormAttachment"_s, u"/a.txt"_s},
              {u"log"_s, u"old log\n"_s},
              {u"attachmentBookmarks"_s, List({Value(Dict{{u"path"_s, u"/b"_s}})})},
              {u"exceptArray"_s, List({Value(testdata::exceptRecord(1, u"x@example.org"_s, u""_s))})},
              {u"sendArray"_s, List({Value(testdata::record(1, false, u"s@example.org"_s))})},
              {u"mailFormBodyHtml"_s, u"<p><email></p>"_s},
              {u"useMailServerToSend"_s, 1},
              {u"mailFormBodyHtmlAltText"_s, u"alt"_s},
              {u"emailKind"_s, 1},
              {u"selectedIndexConnection"_s, 3},
              {u"quillcastAddRefusedToExceptions"_s, 1}};
    if (!format.isNull())
        root.set(u"appversion"_s, format);
    return root;
}

// Each release's files hold the keys of its row; a key a row does not read
// keeps no value even when the file has it.
TEST(DocumentFile, EachFormatReadsExactlyTheKeysOfItsRow)
{
    const struct
    {
        const char *name;
        Value format;
        bool readsAttachment;
        bool readsLogAndBookmarks;
        bool readsRelease2;
        bool readsAltTextAndKind;
        qint64 connectionIndex; // 0: neither it nor the refused setting is read
        bool rewritesTags;
    } rows[] = {
        {"release 1, 1000", quint64(1000), false, false, false, false, 0, true},
        {"release 1, 10100", quint64(10100), false, false, false, false, 0, true},
        {"release 1, 10200", quint64(10200), true, false, false, false, 0, true},
        {"release 1, 10400", quint64(10400), true, true, false, false, 0, true},
        {"release 2, 20000", quint64(20000), true, true, true, false, 0, false},
        {"release 2, 20100", quint64(20100), true, true, true, false, 0, false},
        {"release 2, 20200", quint64(20200), true, true, true, true, 0, false},
        {"release 2, 20300", quint64(20300), true, true, true, true, 0, false},
        {"current, 20800", quint64(20800), true, true, true, true, 3, false},
        {"unlisted, 15000", quint64(15000), true, true, true, true, 3, false},
        {"signed integer 20800", 20800, true, true, true, true, 3, false},
        {"no appversion", Value(), true, true, true, true, 3, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        Reader reader;
        MyDocument doc{SystemClock::instance()};
        ASSERT_TRUE(reader.read(doc, archived(everyKey(row.format))).ok());

        EXPECT_EQ(doc.mailFormSubject(), u"subject"_s);
        EXPECT_EQ(doc.sendPrepTimeInterval(), 7);
        EXPECT_EQ(doc.mailFormAttachment(), row.readsAttachment ? u"/a.txt"_s : u""_s);
        EXPECT_EQ(doc.myLog(), row.readsLogAndBookmarks ? u"old log\n"_s : u""_s);
        EXPECT_EQ(doc.attachmentBookmarks().size(), row.readsLogAndBookmarks ? 1 : 0);
        EXPECT_EQ(doc.exceptArray().size(), row.readsRelease2 ? 1 : 0);
        EXPECT_EQ(doc.sendArray().size(), row.readsRelease2 ? 1 : 0);
        EXPECT_EQ(doc.useMailServerToSend(), row.readsRelease2 ? 1 : 0);
        EXPECT_EQ(doc.mailFormBodyHtml(), row.readsRelease2 ? u"<p><email></p>"_s : u""_s);
        EXPECT_EQ(doc.mailFormBodyHtmlAltText(), row.readsAltTextAndKind ? u"alt"_s : u""_s);
        EXPECT_EQ(doc.emailKind(), row.readsAltTextAndKind ? 1 : 0);
        EXPECT_EQ(doc.selectedIndexConnection(), std::optional<qint64>(row.connectionIndex));
        EXPECT_EQ(doc.addRefusedToExceptions(), row.connectionIndex ? 1 : 0);
        EXPECT_EQ(doc.mailFormTo(), row.rewritesTags ? u"_email_"_s : u"<email>"_s);
        EXPECT_EQ(doc.mailFormBody(), row.rewritesTags ? u"body _yy_"_s : u"body <yy>"_s);
        EXPECT_EQ(doc.formatRead(), row.format.isNull() ? 0u : row.format.toUInt64());
    }
}

TEST(DocumentFile, MissingKeysOfTheRowLeaveNoValue)
{
    Reader reader;
    MyDocument doc{SystemClock::instance()};
    ASSERT_TRUE(reader.read(doc, archived(Dict{{u"appversion"_s, quint64(20800)}})).ok());
    EXPECT_TRUE(doc.mailFormTo().isNull());
    EXPECT_EQ(doc.sendPrepTimeInterval(), 0);
    EXPECT_EQ(doc.selectedIndexConnection(), std::nullopt);
    EXPECT_EQ(doc.addressArray().size(), 0);
}

// The alert offers the download page; only its first button opens it.
TEST(DocumentFile, NewerReleaseIsRefusedWithItsAlertAndLeavesTheDocumentAlone)
{
    for (const int answer : {0, 1}) {
        SCOPED_TRACE(answer);
        Reader reader;
        reader.alerts.queueAnswer(answer);
        MyDocument doc{SystemClock::instance()};
        EXPECT_FALSE(reader.read(doc, archived(everyKey(quint64(answer ? 99999 : 20801)))).ok());
        ASSERT_EQ(reader.alerts.shown().size(), 1);
        EXPECT_EQ(reader.alerts.shown().front(), NewerReleaseAlert::forDocument());
        EXPECT_EQ(reader.alerts.shown().front().buttons, QStringList({u"Go to Download Last Version"_s, u"Cancel"_s}));
        EXPECT_EQ(reader.opener.openedUrls,
                  answer ? QStringList() : QStringList{NewerReleaseAlert::downloadPageUrl().toString()});
        EXPECT_EQ(doc.mailFormTo(), u"_email_"_s);
        EXPECT_EQ(doc.sendPrepTimeInterval(), 5);
    }
}

TEST(DocumentFile, DamagedFileIsRefusedAndLeavesTheDocumentAlone)
{
    const struct { const char *name; QByteArray bytes; const char *detail; } rows[] = {
        {"text file", QByteArray("email,name\nada@example.org,Ada\n"), ""},
        {"empty", QByteArray(), ""},
        {"records as text", archived(Dict{{u"addressArray"_s, u"ada@example.org"_s}}), "addressArray"},
        {"record not a dictionary", archived(Dict{{u"addressArray"_s, List({Value(u"x"_s)})}}), "addressArray"},
        {"pause as text", archived(Dict{{u"sendPrepTimeInterval"_s, u"five"_s}}), "sendPrepTimeInterval"},
        {"subject as number", archived(Dict{{u"mailFormSubject"_s, 3}}), "mailFormSubject"},
        {"negative format", archived(Dict{{u"appversion"_s, -1}}), "appversion"},
        {"format as text", archived(Dict{{u"appversion"_s, u"20800"_s}}), "appversion"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        Reader reader;
        MyDocument doc{SystemClock::instance()};
        const Status status = reader.read(doc, row.bytes);
        ASSERT_FALSE(status.ok());
        EXPECT_THAT(status.error().toStdString(), StartsWith("The file is not a Quillcast document or is damaged: "));
        EXPECT_THAT(status.error().toStdString(), HasSubstr(row.detail));
        EXPECT_EQ(doc.mailFormTo(), u"_email_"_s);
        EXPECT_TRUE(reader.alerts.shown().isEmpty());
    }
}

TEST(TagUpgrade, RewritesKeyAndDateTagsOnlyInTheirOldForm)
{
    List keys({Value(DocumentKeys::makeDbKey(u"1"_s, u"#"_s)), Value(DocumentKeys::makeDbKey(u"2"_s, u"sel"_s)),
               Value(DocumentKeys::makeDbKey(u"3"_s, u"email"_s)), Value(DocumentKeys::makeDbKey(u"4"_s, u"b"_s))});
    const QStringList tags = TagUpgrade::obtainFullKeyArrayForTagUpgrade(keys);
    EXPECT_EQ(tags, QStringList({u"#"_s, u"sel"_s, u"email"_s, u"b"_s, u"yy"_s, u"yyyy"_s, u"mm"_s, u"dd"_s,
                                 u"hh"_s, u"ii"_s, u"ss"_s}));
    EXPECT_EQ(TagUpgrade::upgradeStringToTagRel2(u"<email> <Email> <yy>/<mm>/<dd> <i>x</i> <b>bold</b>"_s, tags),
              u"_email_ <Email> _yy_/_mm_/_dd_ <i>x</i> _b_bold</b>"_s);
    EXPECT_TRUE(TagUpgrade::upgradeStringToTagRel2(QString(), tags).isNull());
    // Without keys, only the date tags.
    const QStringList dateTags = TagUpgrade::obtainFullKeyArrayForTagUpgrade(List());
    EXPECT_EQ(TagUpgrade::upgradeStringToTagRel2(u"<email> <yyyy>"_s, dateTags), u"<email> _yyyy_"_s);
}

// A device that accepts nothing, like a full disk.
class FullDevice : public QIODevice
{
public:
    FullDevice() { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64) override
    {
        setErrorString(u"No space left on device"_s);
        return -1;
    }
};

TEST(DocumentFile, FailedWriteIsReported)
{
    MyDocument doc{SystemClock::instance()};
    fillMailing(doc);
    FullDevice device;
    const Status status = DocumentFile::writeToDevice(doc, device);
    ASSERT_FALSE(status.ok());
    EXPECT_THAT(status.error().toStdString(), HasSubstr("No space left on device"));
}

QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A mailing large enough to be written on two threads, straight into the
// file: the file holds the archive's bytes, and read back (its pages given
// back several times while it is walked) it is the mailing saved, records of
// the send list still the database's. Saved again where the disk takes only
// part of it, the save fails, says why, and leaves the file as it was, with
// nothing beside it.
TEST(DocumentFile, ALargeMailingReadsBackAndASaveThatRunsOutOfRoomLeavesItAsItWas)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(u"big.quill"_s);
    MyDocument doc{SystemClock::instance()};
    fillMailing(doc);
    List::Items records;
    for (int i = 0; i < 20000; ++i)
        records.emplace_back(testdata::record(i + 3, i % 3 == 0, u"p%1@example.org"_s.arg(i), u"Zoë %1"_s.arg(i),
                                              i % 2 ? u"Köln"_s : u"Cork"_s));
    doc.addressArray().append(records);
    doc.sendArray().append(List::Items(records.begin(), records.begin() + 500));
    ASSERT_TRUE(DocumentFile::writeToFile(doc, path).ok());
    const QByteArray before = fileContents(path);
    EXPECT_TRUE(before == DocumentFile::dataOfType(doc).value());

    MyDocument opened{SystemClock::instance()};
    Reader reader;
    const Status read = DocumentFile::readFromFile(opened, path, reader.alerts, reader.opener);
    ASSERT_TRUE(read.ok()) << read.error().toStdString();
    EXPECT_EQ(Value(opened.addressArray()), Value(doc.addressArray()));
    EXPECT_EQ(Value(opened.sendArray()), Value(doc.sendArray()));
    EXPECT_TRUE(Dict::sameObject(opened.sendArray().at(500).toDict(), opened.addressArray().at(501).toDict()));

    doc.setMailFormSubject(u"changed"_s);
    {
        const quillcast::testing::FileSizeLimit limit(rlim_t(before.size() / 2));
        const Status saved = DocumentFile::writeToFile(doc, path);
        ASSERT_FALSE(saved.ok());
        EXPECT_THAT(saved.error().toStdString(), HasSubstr("File too large"));
        EXPECT_THAT(saved.error().toStdString(), HasSubstr("The file on disk is unchanged."));
    }
    EXPECT_TRUE(fileContents(path) == before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"big.quill"_s});
}

} // namespace
