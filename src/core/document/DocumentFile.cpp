#include "document/DocumentFile.h"

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "document/NewerReleaseAlert.h"
#include "document/TagUpgrade.h"
#include "document/archive/KeyedArchiver.h"
#include "document/archive/KeyedUnarchiver.h"
#include "platform/DurableSaveFile.h"
#include "platform/MappedFile.h"

#include <QFile>

#include <array>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

// The formats that wrote the file, grouped by the keys they carry.
enum class Row { Release1, Release1Attachment, Release1Log, Release2, Release2AltText, Current };

Row rowFor(quint64 format)
{
    switch (format) {
    case 1000: case 1001: case 1002: case 1010: case 10000: case 10001: case 10002: case 10100:
        return Row::Release1;
    case 10200:
        return Row::Release1Attachment;
    case 10400:
        return Row::Release1Log;
    case 20000: case 20100:
        return Row::Release2;
    case 20200: case 20201: case 20202: case 20300:
        return Row::Release2AltText;
    default:
        return Row::Current;
    }
}

bool isRelease1(Row row)
{
    return row == Row::Release1 || row == Row::Release1Attachment || row == Row::Release1Log;
}

enum class Kind { Records, Entries, Text, Integer };

struct SavedKey
{
    const char16_t *name;
    Kind kind;
    Row since; // the first row that carries it
};

// Every saved key, in the order the reader sets them.
constexpr std::array<SavedKey, 18> savedKeys{{
    {u"addressArray", Kind::Records, Row::Release1},
    {u"keyArray", Kind::Entries, Row::Release1},
    {u"mailFormFrom", Kind::Text, Row::Release1},
    {u"mailFormSubject", Kind::Text, Row::Release1},
    {u"mailFormTo", Kind::Text, Row::Release1},
    {u"mailFormBody", Kind::Text, Row::Release1},
    {u"sendPrepTimeInterval", Kind::Integer, Row::Release1},
    {u"mailFormAttachment", Kind::Text, Row::Release1Attachment},
    {u"log", Kind::Text, Row::Release1Log},
    {u"attachmentBookmarks", Kind::Entries, Row::Release1Log},
    {u"exceptArray", Kind::Entries, Row::Release2},
    {u"sendArray", Kind::Records, Row::Release2},
    {u"mailFormBodyHtml", Kind::Text, Row::Release2},
    {u"useMailServerToSend", Kind::Integer, Row::Release2},
    {u"mailFormBodyHtmlAltText", Kind::Text, Row::Release2AltText},
    {u"emailKind", Kind::Integer, Row::Release2AltText},
    {u"selectedIndexConnection", Kind::Integer, Row::Current},
    {u"quillcastAddRefusedToExceptions", Kind::Integer, Row::Current},
}};

QString kindName(Kind kind)
{
    switch (kind) {
    case Kind::Records:
        return u"a list of records"_s;
    case Kind::Entries:
        return u"a list of dictionaries"_s;
    case Kind::Text:
        return u"a string"_s;
    case Kind::Integer:
        return u"an integer"_s;
    }
    return QString();
}

// Empty when the value has the kind the key needs (or no value at all).
QString checkKind(const QString &key, const Value &value, Kind kind)
{
    if (value.isNull())
        return QString();
    bool ok = false;
    switch (kind) {
    case Kind::Records:
    case Kind::Entries:
        ok = value.isList();
        if (ok) {
            value.toList().read([&](const List::Items &items) {
                for (const Value &item : items) {
                    if (!item.isDict()) {
                        ok = false;
                        break;
                    }
                }
            });
            if (!ok)
                return u"\u201c%1\u201d holds an element that is not a dictionary where %2 belongs"_s.arg(key,
                                                                                                     kindName(kind));
        }
        break;
    case Kind::Text:
        ok = value.isString();
        break;
    case Kind::Integer:
        ok = value.isNumber();
        break;
    }
    if (ok)
        return QString();
    return u"\u201c%1\u201d holds %2 where %3 belongs"_s.arg(key, Value::typeName(value.type()), kindName(kind));
}

// A key the row does not read, or a key missing from the file, leaves the
// property without a value: no text, an empty list, 0.
void apply(MyDocument &doc, QStringView key, const Value &value)
{
    const auto list = [&] { return value.isList() ? value.toList() : List(); };
    const QString text = value.isString() ? value.toString() : QString();
    if (key == u"addressArray")
        doc.setAddressArray(list());
    else if (key == u"keyArray")
        doc.setKeyArray(list());
    else if (key == u"mailFormFrom")
        doc.setMailFormFrom(text);
    else if (key == u"mailFormSubject")
        doc.setMailFormSubject(text);
    else if (key == u"mailFormTo")
        doc.setMailFormTo(text);
    else if (key == u"mailFormBody")
        doc.setMailFormBody(text);
    else if (key == u"sendPrepTimeInterval")
        doc.setSendPrepTimeInterval(value.toInt64());
    else if (key == u"mailFormAttachment")
        doc.setMailFormAttachment(text);
    else if (key == u"log")
        doc.setMyLog(text);
    else if (key == u"attachmentBookmarks")
        doc.setAttachmentBookmarks(list());
    else if (key == u"exceptArray")
        doc.setExceptArray(list());
    else if (key == u"sendArray")
        doc.setSendArray(list());
    else if (key == u"mailFormBodyHtml")
        doc.setMailFormBodyHtml(text);
    else if (key == u"useMailServerToSend")
        doc.setUseMailServerToSend(value.toInt64());
    else if (key == u"mailFormBodyHtmlAltText")
        doc.setMailFormBodyHtmlAltText(text);
    else if (key == u"emailKind")
        doc.setEmailKind(value.toInt64());
    else if (key == u"selectedIndexConnection")
        doc.setSelectedIndexConnection(value.isNull() ? std::nullopt : std::optional<qint64>(value.toInt64()));
    else if (key == u"quillcastAddRefusedToExceptions")
        doc.setAddRefusedToExceptions(value.toInt64() != 0 ? 1 : 0);
}

// The archive written straight into the new file, in pieces at their places.
class SaveFileOutput final : public ArchiveOutput
{
public:
    explicit SaveFileOutput(DurableSaveFile &file) : m_file(file) {}
    // Only once the archive is known to be whole is the new file made.
    bool begin(quint64) override { return m_file.open(QIODevice::WriteOnly); }
    bool writeAt(quint64 offset, const char *data, size_t size) override
    {
        return m_file.writeAt(qint64(offset), data, qint64(size));
    }

private:
    DurableSaveFile &m_file;
};

void putText(Dict::Entries &root, const QString &key, const QString &text)
{
    if (!text.isNull())
        root.emplace_back(key, text);
}

} // namespace

QString DocumentFile::damagedPrefix()
{
    return u"The file is not a Quillcast document or is damaged: "_s;
}

Dict DocumentFile::rootDictionary(MyDocument &doc)
{
    if (doc.isWindowSetUp())
        doc.setMyLog(doc.logViewText());
    Dict::Entries root;
    root.emplace_back(u"appversion"_s, Value(currentFormat));
    root.emplace_back(u"addressArray"_s, doc.addressArray());
    root.emplace_back(u"keyArray"_s, doc.keyArray());
    putText(root, u"mailFormFrom"_s, doc.mailFormFrom());
    putText(root, u"mailFormSubject"_s, doc.mailFormSubject());
    putText(root, u"mailFormTo"_s, doc.mailFormTo());
    putText(root, u"mailFormBody"_s, doc.mailFormBody());
    putText(root, u"mailFormAttachment"_s, doc.mailFormAttachment());
    root.emplace_back(u"sendPrepTimeInterval"_s, doc.sendPrepTimeInterval());
    root.emplace_back(u"attachmentBookmarks"_s, doc.attachmentBookmarks());
    putText(root, u"log"_s, doc.myLog());
    root.emplace_back(u"exceptArray"_s, doc.exceptArray());
    root.emplace_back(u"sendArray"_s, doc.sendArray());
    putText(root, u"mailFormBodyHtml"_s, doc.mailFormBodyHtml());
    root.emplace_back(u"useMailServerToSend"_s, doc.useMailServerToSend());
    putText(root, u"mailFormBodyHtmlAltText"_s, doc.mailFormBodyHtmlAltText());
    root.emplace_back(u"emailKind"_s, doc.emailKind());
    if (const auto index = doc.selectedIndexConnection())
        root.emplace_back(u"selectedIndexConnection"_s, *index);
    // Written only when on: a mailing that never used it keeps the keys it had.
    if (doc.addRefusedToExceptions() != 0)
        root.emplace_back(u"quillcastAddRefusedToExceptions"_s, qint64(1));
    return Dict(std::move(root));
}

Result<QByteArray> DocumentFile::dataOfType(MyDocument &doc)
{
    return KeyedArchiver::archive(rootDictionary(doc));
}

Result<Dict> DocumentFile::readRoot(const QByteArray &data, const std::function<void()> &pagesRead)
{
    Result<Value> root = KeyedUnarchiver::unarchive(data, pagesRead);
    if (!root)
        return Result<Dict>::failure(damagedPrefix() + root.error());
    if (!root.value().isDict())
        return Result<Dict>::failure(damagedPrefix() + u"its root object is "_s
                                     + Value::typeName(root.value().type()) + u", not a dictionary"_s);
    return root.value().toDict();
}

Result<quint64> DocumentFile::formatNumber(const Dict &root)
{
    const Value version = root.value(u"appversion"_s);
    if (version.isNull())
        return quint64(0);
    if (!version.isNumber() || version.toDouble() < 0)
        return Result<quint64>::failure(damagedPrefix() + u"\u201cappversion\u201d is not a format number"_s);
    return version.toUInt64();
}

Status DocumentFile::readFromData(MyDocument &doc, const QByteArray &data, AlertPresenter &alerts,
                                  UrlOpener &opener, const std::function<void()> &pagesRead)
{
    const Result<Dict> root = readRoot(data, pagesRead);
    if (!root)
        return Status::failure(root.error());
    return readFromRoot(doc, root.value(), alerts, opener);
}

Status DocumentFile::checkEntries(const Dict &root, quint64 format)
{
    const Row row = rowFor(format);
    const Dict::Snapshot values = root.snapshot();
    for (const SavedKey &key : savedKeys) {
        if (key.since > row)
            continue;
        const QString name = QString::fromUtf16(key.name);
        const QString problem = checkKind(name, values.value(name), key.kind);
        if (!problem.isEmpty())
            return Status::failure(damagedPrefix() + problem);
    }
    return success();
}

Status DocumentFile::readFromRoot(MyDocument &doc, const Dict &root, AlertPresenter &alerts, UrlOpener &opener)
{
    const Result<quint64> format = formatNumber(root);
    if (!format)
        return Status::failure(format.error());
    if (format.value() > currentFormat) {
        const Alert alert = NewerReleaseAlert::forDocument();
        NewerReleaseAlert::askToDownload(alert, alerts, opener);
        return Status::failure(alert.messageText);
    }
    const Row row = rowFor(format.value());
    const Dict::Snapshot values = root.snapshot();

    // Check everything the row reads before changing anything, so that a
    // damaged file leaves the document as it was.
    if (const Status checked = checkEntries(root, format.value()); !checked)
        return checked;

    for (const SavedKey &key : savedKeys) {
        if (key.since > row)
            continue;
        const QString name = QString::fromUtf16(key.name);
        apply(doc, name, values.value(name));
    }
    if (row == Row::Release1)
        doc.setMailFormAttachment(u""_s);
    if (isRelease1(row)) {
        const QStringList tags = TagUpgrade::obtainFullKeyArrayForTagUpgrade(doc.keyArray());
        doc.setMailFormFrom(TagUpgrade::upgradeStringToTagRel2(doc.mailFormFrom(), tags));
        doc.setMailFormSubject(TagUpgrade::upgradeStringToTagRel2(doc.mailFormSubject(), tags));
        doc.setMailFormTo(TagUpgrade::upgradeStringToTagRel2(doc.mailFormTo(), tags));
        doc.setMailFormBody(TagUpgrade::upgradeStringToTagRel2(doc.mailFormBody(), tags));
    }
    if (row != Row::Current)
        doc.setSelectedIndexConnection(0);
    doc.setFormatRead(format.value());
    return success();
}

Status DocumentFile::writeToDevice(MyDocument &doc, QIODevice &device)
{
    const Result<QByteArray> bytes = dataOfType(doc);
    if (!bytes)
        return Status::failure(bytes.error());
    if (device.write(bytes.value()) != bytes.value().size())
        return Status::failure(u"The mailing could not be written: "_s + device.errorString());
    return success();
}

Status DocumentFile::writeToFile(MyDocument &doc, const QString &path)
{
    // The old file stays whole until the new one is complete and on the disk.
    // The archive goes straight to the new file: a mailing of a million
    // records is a file of hundreds of megabytes, not to be held in memory.
    DurableSaveFile file(path);
    SaveFileOutput output(file);
    const Status archived = KeyedArchiver::archive(Value(rootDictionary(doc)), output);
    if (!archived && archived.error() != KeyedArchiver::outputFailure()) {
        file.cancelWriting();
        return archived;
    }
    // A failed write fails the commit, which says why.
    if (!file.isOpen() || !file.commit())
        return Status::failure(u"The mailing could not be saved to %1: %2. The file on disk is unchanged."_s.arg(
            path, file.errorString()));
    return success();
}

Status DocumentFile::readFromFile(MyDocument &doc, const QString &path, AlertPresenter &alerts, UrlOpener &opener)
{
    // Mapped rather than read: a large mailing's file is walked twice, and
    // its pages are given back as the walks go, so that it is never all held
    // in memory beside the records made from it.
    const Result<MappedFile> file = MappedFile::map(path, KeyedUnarchiver::maxFileSize);
    if (!file)
        return Status::failure(u"The mailing %1 could not be opened: %2"_s.arg(path, file.error()));
    return readFromData(doc, file->rawBytes(), alerts, opener, [&file] { file->releasePages(); });
}

} // namespace quillcast
