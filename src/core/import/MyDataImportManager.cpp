#include "import/MyDataImportManager.h"

#include "database/KeyCommands.h"
#include "database/RecordCommands.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/MainLoop.h"

#include <limits>

using namespace Qt::StringLiterals;

namespace quillcast {

MyDataImportManager::MyDataImportManager(const List &dataArray, const List &keyArray, MyDocument *document,
                                         Services services, QObject *parent)
    : LXDataImportManager(dataArray, keyArray, document, services, parent)
{
    // What the dialog offers before the first settings sheet: the first four
    // items and the address column.
    setImportFieldKeyArray({noImportEntry(), QString(), newFieldEntry(), QString(), DocumentKeys::emailInnerKey()});
    setImportFieldMenuTitles(
        {doNotImportTitle(), QString(), newColumnTitle(), QString(), DocumentKeys::emailPublicKey()});
}

MyDataImportManager::~MyDataImportManager() = default;

QString MyDataImportManager::doNotImportTitle()
{
    return u"Do not import"_s;
}

QString MyDataImportManager::newColumnTitle()
{
    return u"Create a new column"_s;
}

MyDocument *MyDataImportManager::document() const
{
    return qobject_cast<MyDocument *>(requester());
}

qint64 MyDataImportManager::newSerialNum() const
{
    return nextSerialNumber(outsideDataArray(), DocumentKeys::numberInnerKey());
}

void MyDataImportManager::preImportSettings()
{
    setSerialNum(newSerialNum());

    // The first four entries stay; every DB key from the third on follows.
    QStringList titles = importFieldMenuTitles().mid(0, 4);
    QStringList entries = ImportFieldKeyArray().mid(0, 4);
    const List::Items keys = outsideKeyArray().items();
    for (size_t i = 2; i < keys.size(); ++i) {
        const Dict::Snapshot key = keys[i].toDict().snapshot();
        const QString name = key.stringValue(DocumentKeys::publicKey());
        titles.append(name.isEmpty() ? u"-"_s : name);
        entries.append(key.stringValue(DocumentKeys::innerKey()));
    }
    setImportFieldMenuTitles(titles);
    setImportFieldKeyArray(entries);
    setSizeOfRecord(qint32(keys.size()));
}

void MyDataImportManager::willImport()
{
    MyDocument *doc = document();
    QStringList finalKeys;
    const qsizetype columns = destFieldArray().size();
    finalKeys.reserve(columns);
    for (qsizetype column = 0; column < columns; ++column) {
        const std::optional<QString> entry = fromElementInRowToFieldKey(qint32(column));
        if (entry && *entry == newFieldEntry()) {
            // One new column per such file column, made before any record,
            // whether or not a row has a value there.
            finalKeys.append(doc ? KeyCommands(*doc).insertNewColumnInTable() : QString());
        } else if (!entry || *entry == noImportEntry()) {
            finalKeys.append(QString());
        } else {
            finalKeys.append(*entry);
        }
    }
    setInnerKeyFinalDestinationArray(finalKeys);
}

const Dict::Entries &MyDataImportManager::templateEntries()
{
    if (m_templateSize != m_sizeOfRecord) {
        Dict::Entries entries;
        entries.emplace_back(DocumentKeys::numberInnerKey(), Value(qint64(0)));
        entries.emplace_back(DocumentKeys::checkedInnerKey(), Value(false));
        // Counted, not taken from the DB keys: "3" up to the key count.
        const Value empty(QString(u""_s));
        for (qint32 k = 3; k <= m_sizeOfRecord; ++k)
            entries.emplace_back(QString::number(k), empty);
        // Sorted as a dictionary keeps them ("10" before "2"), so that making
        // a record does not sort again.
        m_template = Dict(std::move(entries)).snapshot().entries();
        m_templateSize = m_sizeOfRecord;
        m_numberEntry = 0;
        while (m_template[m_numberEntry].first != DocumentKeys::numberInnerKey())
            ++m_numberEntry;
    }
    return m_template;
}

std::optional<Dict> MyDataImportManager::createNewObjectToImport()
{
    Dict::Entries entries = templateEntries();
    entries[m_numberEntry].second = Value(m_serialNum);
    setSerialNum(m_serialNum == std::numeric_limits<qint64>::max() ? m_serialNum : m_serialNum + 1);
    return Dict(std::move(entries));
}

void MyDataImportManager::didImport()
{
    QPointer<MyDocument> doc(document());
    if (!doc)
        return;
    mainLoop().post([doc] {
        if (doc)
            RecordCommands(*doc).justFinishedImporting();
    });
}

void MyDataImportManager::setSerialNum(qint64 value)
{
    if (m_serialNum == value)
        return;
    m_serialNum = value;
    Q_EMIT serialNumChanged(value);
}

void MyDataImportManager::setSizeOfRecord(qint32 value)
{
    if (m_sizeOfRecord == value)
        return;
    m_sizeOfRecord = value;
    Q_EMIT sizeOfRecordChanged(value);
}

} // namespace quillcast
