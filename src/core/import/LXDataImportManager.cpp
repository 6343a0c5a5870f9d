#include "import/LXDataImportManager.h"

#include "document/DocumentKeys.h"
#include "import/LXSmartStringFileReader.h"
#include "import/RowSplitter.h"
#include "platform/AlertPresenter.h"
#include "platform/FilePanel.h"
#include "platform/MainLoop.h"
#include "platform/UnusedMemory.h"
#include "platform/WorkerRun.h"
#include "util/ColumnValuePool.h"

#include <QDebug>
#include <QHash>

#include <algorithm>
#include <limits>
#include <thread>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

QString destinationKey()
{
    return u"destination"_s;
}

QString importFlagKey()
{
    return u"importFlag"_s;
}

qint32 destinationIn(const Value &row)
{
    return row.toDict().value(destinationKey()).toInt32();
}

} // namespace

LXDataImportManager::LXDataImportManager(const List &dataArray, const List &keyArray, QObject *requester,
                                         Services services, QObject *parent)
    : QObject(parent), m_services(services), m_outsideDataArray(dataArray), m_outsideKeyArray(keyArray),
      m_requester(requester), m_worker(std::make_unique<WorkerRun>(services.mainLoop))
{
}

LXDataImportManager::~LXDataImportManager() = default;

QString LXDataImportManager::noImportEntry()
{
    return u"NO_IMPORT"_s;
}

QString LXDataImportManager::newFieldEntry()
{
    return u"NEW_FIELD"_s;
}

QString LXDataImportManager::importFlagOn()
{
    return u"»"_s;
}

QStringList LXDataImportManager::allowedExtensions()
{
    return {u"txt"_s, u"TXT"_s, u"text"_s, u"TEXT"_s, u"csv"_s, u"CSV"_s, u"tsv"_s, u"TSV"_s};
}

template<typename T, typename Signal>
void LXDataImportManager::assign(T &field, const T &value, Signal signal)
{
    if (field == value)
        return;
    field = value;
    Q_EMIT(this->*signal)(value);
}

// --- Starting and loading ------------------------------------------------------

void LXDataImportManager::setDataArray(const List &dataArray, const List &keyArray)
{
    m_outsideDataArray = dataArray;
    m_outsideKeyArray = keyArray;
    Q_EMIT outsideDataArrayChanged();
    Q_EMIT outsideKeyArrayChanged();
    setDoNotImportFirstRecord(false);
    setUseFirstRecordAsFieldsName(false);
    setEnableFirstRecAsNameOption(true);
}

void LXDataImportManager::loadDataForWin(QObject *window)
{
    setFileEncodeToImport(0);
    setFileFormatToImport(0);
    if (m_attachToWin != window) {
        m_attachToWin = window;
        Q_EMIT attachToWinChanged();
    }
    setPhase(Phase::ChoosingFile);

    FilePanel::OpenRequest request;
    request.window = window;
    request.allowedExtensions = allowedExtensions();
    request.accessory = FilePanel::Accessory::ImportOptions;
    request.accessoryOwner = this;
    QPointer<LXDataImportManager> self(this);
    m_services.filePanel.runOpenPanel(request, [self](std::optional<QStringList> paths) {
        if (!self)
            return;
        if (!paths || paths->isEmpty()) {
            self->setPhase(Phase::Idle);
            return;
        }
        const QString path = paths->first();
        self->mainLoop().post([self, path] {
            if (!self)
                return;
            if (self->runsInBackground())
                self->startLoadingFile(path, self->fileFormatToImport(), self->fileEncodeToImport());
            else
                self->loadDataFromFile(path, self->fileFormatToImport(), self->fileEncodeToImport());
        });
    });
}

void LXDataImportManager::loadDataFromFile(const QString &path, qint32 format, qint32 encoding)
{
    replaceRows(ImportRows());
    showLoadingFileSheet();
    Result<QString> text = LXSmartStringFileReader::autoReadFromFile(path, encoding);
    if (!text) {
        // An empty mapping over an unreadable file would look like a file
        // without columns; the user is told why instead.
        setNumOfMaxFieldInImportedData(0);
        resetMapping(0);
        closeLoadingFileSheet();
        reportUnreadableFile(text.error());
        return;
    }
    loadDataFromText(std::move(text).value(), format);
}

void LXDataImportManager::loadDataFromText(QString text, qint32 format)
{
    replaceRows(ImportRows());
    showLoadingFileSheet();
    LXSmartStringFileReader::replaceStringWithNewline(text);
    adjustContentStringBeforeProcessing(text);
    ImportLines lines(std::move(text));
    adjustContentArrayBeforeProcessing(lines);

    setNumOfMaxFieldInImportedData(0);
    // The rows take the text over; the line table goes with the lines.
    Result<ImportRows> rows = RowSplitter::splitRows(std::move(lines), format);
    if (!rows)
        resetMapping(0);
    finishLoading(std::move(rows));
}

void LXDataImportManager::continueAfterLoading()
{
    if (!m_useSettingsPanel) {
        importRows();
        return;
    }
    QPointer<LXDataImportManager> self(this);
    mainLoop().post([self] {
        if (self)
            self->ImportSettings();
    });
}

void LXDataImportManager::reportUnreadableFile(const QString &reason)
{
    Alert alert;
    if (reason == LXSmartStringFileReader::decodingFailedMessage()) {
        alert.messageText = reason;
    } else {
        alert.messageText = u"The file could not be read"_s;
        alert.informativeText = reason;
    }
    alert.buttons = {u"OK"_s};
    m_services.alerts.present(alert, [](int) {});
}

void LXDataImportManager::replaceRows(ImportRows rows)
{
    m_rows = std::make_shared<ImportRows>(std::move(rows));
    Q_EMIT rowsChanged();
    setSelectedRowIndex(-1);
}

void LXDataImportManager::releaseImportedRows()
{
    // A finished run leaves nothing to do with the rows (another import loads
    // its file afresh), and a large file's rows weigh half as much as the
    // records made from them: they go before the document is saved.
    if (!m_rows->isEmpty())
        replaceRows(ImportRows());
}

void LXDataImportManager::resetMapping(qint64 columns)
{
    List::Items items;
    items.reserve(size_t(std::max<qint64>(columns, 0)));
    for (qint64 i = 0; i < columns; ++i)
        items.emplace_back(Dict{{destinationKey(), Value(qint32(0))}});
    m_destFieldArray = List(std::move(items));
    setSelectedMappingRow(-1);
    Q_EMIT destFieldArrayChanged();
    calcNumberOfImportedFields();
}

QStringList LXDataImportManager::selectedRowFields() const
{
    return rowFields(m_selectedRowIndex);
}

QStringList LXDataImportManager::rowFields(qsizetype row) const
{
    if (row < 0 || row >= m_rows->rowCount())
        return {};
    return m_rows->fields(row);
}

QStringList LXDataImportManager::firstRowFields() const
{
    return m_rows->isEmpty() ? m_firstRowOfRun : m_rows->fields(0);
}

// --- Settings sheet --------------------------------------------------------------

void LXDataImportManager::ImportSettings()
{
    setCurrentRecordIndex(1);
    preImportSettings();
    setPhase(Phase::Settings);
}

void LXDataImportManager::CancelImportSetting()
{
    setPhase(Phase::Idle);
}

void LXDataImportManager::setMapping(Dict row, qint32 destination, bool imported)
{
    row.set(destinationKey(), Value(destination));
    row.set(importFlagKey(), Value(imported ? importFlagOn() : QString()));
}

void LXDataImportManager::dataLoadingPopUpSelected(qsizetype row)
{
    setSelectedMappingRow(row);
    QPointer<LXDataImportManager> self(this);
    mainLoop().post([self] {
        if (self)
            self->manageDataLoadingPopUpSelected();
    });
}

void LXDataImportManager::chooseDestination(qsizetype row, qint32 destination)
{
    const Value mapping = m_destFieldArray.at(row);
    if (!mapping.isDict())
        return;
    mapping.toDict().set(destinationKey(), Value(destination));
    Q_EMIT destFieldArrayChanged();
    dataLoadingPopUpSelected(row);
}

void LXDataImportManager::manageDataLoadingPopUpSelected()
{
    const qsizetype s = m_selectedMappingRow;
    const Value selected = m_destFieldArray.at(s);
    if (!selected.isDict())
        return;
    const qint32 d = destinationIn(selected);
    if (isExclusiveDestination(d)) {
        const List::Items rows = m_destFieldArray.items();
        for (size_t i = 0; i < rows.size(); ++i) {
            if (qsizetype(i) != s && destinationIn(rows[i]) == d)
                setMapping(rows[i].toDict(), 0, false);
        }
    }
    selected.toDict().set(importFlagKey(), Value(d != 0 ? importFlagOn() : QString()));
    Q_EMIT destFieldArrayChanged();
    calcNumberOfImportedFields();
}

void LXDataImportManager::ResetImportFields()
{
    for (const Value &row : m_destFieldArray.items())
        setMapping(row.toDict(), 0, false);
    Q_EMIT destFieldArrayChanged();
    calcNumberOfImportedFields();
}

void LXDataImportManager::AssignCascadeImportFields()
{
    const List::Items rows = m_destFieldArray.items();
    const qsizetype listed = m_importFieldKeyArray.size();
    for (size_t i = 0; i < rows.size(); ++i) {
        const qint64 d = qint64(m_rowToStartCascadeAssignment) + qint64(i);
        if (d < listed)
            setMapping(rows[i].toDict(), qint32(d), true);
        else
            setMapping(rows[i].toDict(), 0, false);
    }
    Q_EMIT destFieldArrayChanged();
    calcNumberOfImportedFields();
}

void LXDataImportManager::AllImportFieldsToCreateNewColumn()
{
    for (const Value &row : m_destFieldArray.items())
        setMapping(row.toDict(), 2, true);
    Q_EMIT destFieldArrayChanged();
    calcNumberOfImportedFields();
}

void LXDataImportManager::tryAssignFromFirstRow()
{
    ResetImportFields();
    if (!m_rows->isEmpty()) {
        // The public name of each listed key, looked up once.
        QList<std::pair<qint32, QString>> listed;
        const List::Items keys = m_outsideKeyArray.items();
        for (qsizetype d = std::max<qsizetype>(m_rowToStartCascadeAssignment, 0); d < m_importFieldKeyArray.size(); ++d) {
            for (const Value &key : keys) {
                const Dict dbKey = key.toDict();
                if (dbKey.stringValue(DocumentKeys::innerKey()) == m_importFieldKeyArray.at(d)) {
                    listed.append({qint32(d), dbKey.stringValue(DocumentKeys::publicKey()).toLower()});
                    break;
                }
            }
        }
        const List::Items mapping = m_destFieldArray.items();
        const qsizetype fields = std::min<qsizetype>(m_rows->fieldCount(0), qsizetype(mapping.size()));
        for (qsizetype j = 0; j < fields; ++j) {
            const QString name = m_rows->fieldView(0, j).toString().toLower();
            // The last listed key that matches wins.
            for (const auto &[d, publicName] : listed) {
                if (name == publicName)
                    setMapping(mapping[size_t(j)].toDict(), d, true);
            }
        }
        Q_EMIT destFieldArrayChanged();
        calcNumberOfImportedFields();
    }
    setDoNotImportFirstRecord(true);
}

void LXDataImportManager::firstRowSetFieldsNameSelected()
{
    setDoNotImportFirstRecord(m_useFirstRecordAsFieldsName);
}

void LXDataImportManager::showNextRecord()
{
    if (m_currentRecordIndex < m_rows->rowCount()) {
        setSelectedRowIndex(std::min(m_selectedRowIndex + 1, m_rows->rowCount() - 1));
        setCurrentRecordIndex(m_currentRecordIndex + 1);
    }
}

void LXDataImportManager::showPrevRecord()
{
    if (m_currentRecordIndex > 1) {
        setSelectedRowIndex(std::max<qsizetype>(m_selectedRowIndex - 1, 0));
        setCurrentRecordIndex(m_currentRecordIndex - 1);
    }
}

void LXDataImportManager::calcNumberOfImportedFields()
{
    qint32 count = 0;
    for (const Value &row : m_destFieldArray.items()) {
        if (destinationIn(row) != 0)
            ++count;
    }
    assign(m_numberOfImportedFields, count, &LXDataImportManager::numberOfImportedFieldsChanged);
}

std::optional<QString> LXDataImportManager::fromElementInRowToFieldKey(qint32 column) const
{
    const Value row = m_destFieldArray.at(column);
    if (!row.isDict())
        return std::nullopt;
    const qint32 d = destinationIn(row);
    if (d < 0 || d >= m_importFieldKeyArray.size())
        return std::nullopt;
    return m_importFieldKeyArray.at(d);
}

qint64 LXDataImportManager::nextSerialNumber(const List &records, const QString &key)
{
    bool any = false;
    qint64 largest = std::numeric_limits<qint64>::min();
    records.read([&](const List::Items &items) {
        for (const Value &item : items) {
            if (!item.isDict())
                continue;
            largest = std::max(largest, item.toDict().snapshot().intValue(key));
            any = true;
        }
    });
    if (!any)
        return 1;
    // A number read from a damaged file may already be the largest there is.
    return largest == std::numeric_limits<qint64>::max() ? largest : largest + 1;
}

// --- The run -----------------------------------------------------------------------

std::optional<Dict> LXDataImportManager::createNewObjectToImport()
{
    qWarning().noquote() << "[LXDataImportManager createNewObjectToImport] must be subclassed";
    return std::nullopt;
}

void LXDataImportManager::addRecordToDestination(const Dict &record)
{
    m_outsideDataArray.append(Value(record));
}

namespace {

using ColumnKeys = ImportRecordBuilder::ColumnKeys;

std::optional<QString> usableKey(const std::optional<QString> &key)
{
    if (!key || key->isEmpty() || *key == LXDataImportManager::noImportEntry())
        return std::nullopt;
    return key;
}

// Puts row r's values into the record under the keys of their columns: the
// values are merged into the template's sorted entries and stored in one
// write. A value replaces the template's in place (a later column with the
// same key replaces an earlier one), so the record keeps no room for
// duplicates: at a million records every spare entry counts.
void fillRecord(Dict &record, const ImportRows &rows, qsizetype r, const ColumnKeys &finalKeys,
                const ColumnKeys &listedKeys, std::vector<ColumnValuePool> &pools, Dict::Entries &entries)
{
    const qsizetype n = rows.fieldCount(r);
    const ColumnKeys &keys = qsizetype(finalKeys.size()) >= n ? finalKeys : listedKeys;
    entries = record.snapshot().entries();
    bool changed = false;
    for (qsizetype j = 0; j < n; ++j) {
        const std::optional<QString> &key = keys[size_t(j)];
        if (!key)
            continue;
        auto at = std::lower_bound(entries.begin(), entries.end(), *key,
                                   [](const Dict::Entry &e, const QString &k) { return e.first < k; });
        Value value(pools[size_t(j)].take(rows.fieldView(r, j)));
        if (at != entries.end() && at->first == *key)
            at->second = std::move(value);
        else
            entries.emplace(at, *key, std::move(value));
        changed = true;
    }
    if (changed)
        record.replaceEntries(std::move(entries));
    entries.clear();
}

qsizetype widestRow(const ImportRows &rows)
{
    qsizetype widest = 0;
    for (qsizetype r = 0; r < rows.rowCount(); ++r)
        widest = std::max(widest, rows.fieldCount(r));
    return widest;
}

} // namespace

void LXDataImportManager::importRows()
{
    showImportingFileSheet();
    m_innerKeyFinalDestinationArray.clear();
    willImport();

    // The key of every column from both sources, decided once per run rather
    // than per field; a column that is not imported has none.
    ColumnKeys finalKeys;
    for (const QString &key : std::as_const(m_innerKeyFinalDestinationArray))
        finalKeys.push_back(usableKey(key));
    const qsizetype widest = widestRow(*m_rows);
    ColumnKeys listedKeys;
    for (qsizetype j = 0; j < widest; ++j)
        listedKeys.push_back(usableKey(fromElementInRowToFieldKey(qint32(j))));

    std::vector<ColumnValuePool> pools(size_t(std::max(widest, qsizetype(0))));
    Dict::Entries entries;
    const std::shared_ptr<const ImportRows> rows = m_rows;
    const qsizetype rowCount = rows->rowCount();
    for (qsizetype r = 0; r < rowCount; ++r) {
        std::optional<Dict> record = createNewObjectToImport();
        const qsizetype n = rows->fieldCount(r);
        if (!record)
            continue;
        fillRecord(*record, *rows, r, finalKeys, listedKeys, pools, entries);
        if (r == 0 && m_doNotImportFirstRecord) {
            if (m_useFirstRecordAsFieldsName)
                m_firstRowToImportUsedForColumnNames = *record;
            continue;
        }
        if (n >= 1) {
            recordIsGoingToBeInserted(*record);
            addRecordToDestination(*record);
        }
    }

    releaseImportedRows();
    closeImportingFileSheet();
    didImport();
}

// --- Background runs -------------------------------------------------------------

struct LXDataImportManager::BuiltRecords
{
    List::Items records;
    std::optional<Dict> firstRow; // the held-back first row's record
    qint64 made = 0; // record templates used
    QStringList plannedKeys;
};

int LXDataImportManager::defaultBuildThreads()
{
    return int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

void LXDataImportManager::DoImport()
{
    if (m_runsInBackground)
        startImport();
    else
        importRows();
}

bool LXDataImportManager::isRunning() const
{
    return m_worker->isRunning();
}

void LXDataImportManager::stopBackgroundWork()
{
    // A new WorkerRun for the next run; the old one cancels and waits for its threads.
    m_worker = std::make_unique<WorkerRun>(m_services.mainLoop);
}

void LXDataImportManager::cancelRun()
{
    if (!m_worker->isRunning())
        return;
    m_worker->cancel();
    m_firstRowOfRun.clear();
    if (m_phase == Phase::Loading) {
        replaceRows(ImportRows());
        setNumOfMaxFieldInImportedData(0);
        resetMapping(0);
    }
    setPhase(Phase::Idle);
}

void LXDataImportManager::startLoadingFile(const QString &path, qint32 format, qint32 encoding)
{
    replaceRows(ImportRows());
    setNumOfMaxFieldInImportedData(0);
    resetMapping(0);
    showLoadingFileSheet();
    m_worker->start<Result<ImportRows>>(
        [this, path, format, encoding](WorkerRun::Control &control) -> Result<ImportRows> {
            Result<QString> text = LXSmartStringFileReader::autoReadFromFile(
                path, encoding, [&control](qint64 read, qint64 size) {
                    control.progress(read, size);
                    return !control.cancelled();
                });
            if (!text)
                return Result<ImportRows>::failure(text.error());
            // Decoding and splitting give no count of their own.
            control.progress(0, 0);
            if (control.cancelled())
                return Result<ImportRows>::failure(RegularFileReader::cancelledMessage());
            QString content = std::move(text).value();
            LXSmartStringFileReader::replaceStringWithNewline(content);
            adjustContentStringBeforeProcessing(content);
            ImportLines lines(std::move(content));
            adjustContentArrayBeforeProcessing(lines);
            if (control.cancelled())
                return Result<ImportRows>::failure(RegularFileReader::cancelledMessage());
            return RowSplitter::splitRows(std::move(lines), format);
        },
        [this](Result<ImportRows> rows) { finishLoading(std::move(rows)); },
        [this](qint64 done, qint64 total) { Q_EMIT progressChanged(done, total); });
}

void LXDataImportManager::finishLoading(Result<ImportRows> rows)
{
    if (!rows) {
        closeLoadingFileSheet();
        reportUnreadableFile(rows.error());
        return;
    }
    setNumOfMaxFieldInImportedData(rows->maxFieldCount());
    replaceRows(std::move(rows).value());
    setSelectedRowIndex(m_rows->isEmpty() ? -1 : 0);
    resetMapping(m_numOfMaxFieldInImportedData);
    closeLoadingFileSheet();
    continueAfterLoading();
}

void LXDataImportManager::startImport()
{
    showImportingFileSheet();
    // Everything the worker reads is taken now: the keys, the options, the
    // record template and the rows themselves. The run is the rows' last
    // reader, finished or cancelled (another import loads its file afresh),
    // so it gives their memory back as they become records: a large file's
    // text is not held beside all of its records.
    const QStringList planned = plannedFinalKeys();
    ImportRecordBuilder::ColumnKeys finalKeys;
    for (const QString &key : planned)
        finalKeys.push_back(usableKey(key));
    const std::shared_ptr<ImportRows> rows = m_rows;
    m_firstRowOfRun = rowFields(0);
    replaceRows(ImportRows());
    const qsizetype widest = widestRow(*rows);
    ImportRecordBuilder::ColumnKeys listedKeys;
    for (qsizetype j = 0; j < widest; ++j)
        listedKeys.push_back(usableKey(fromElementInRowToFieldKey(qint32(j))));
    const bool holdFirst = m_doNotImportFirstRecord;
    std::optional<ImportRecordBuilder::Template> start = recordTemplate();
    std::shared_ptr<const ImportRecordBuilder> builder;
    if (start)
        builder = std::make_shared<const ImportRecordBuilder>(std::move(*start), std::move(finalKeys),
                                                              std::move(listedKeys));
    const int threads = m_buildThreads;

    m_worker->start<BuiltRecords>(
        [rows, builder, holdFirst, planned, threads](WorkerRun::Control &control) {
            BuiltRecords built;
            built.plannedKeys = planned;
            const qsizetype rowCount = rows->rowCount();
            if (!builder) {
                for (qsizetype r = 0; r < rowCount; ++r)
                    qWarning().noquote() << "[LXDataImportManager createNewObjectToImport] must be subclassed";
                control.progress(rowCount, rowCount);
                return built;
            }
            std::optional<ImportRecordBuilder::Built> made =
                builder->buildAllUsingUp(*rows, holdFirst, threads, [&control, rowCount](qsizetype done) {
                    control.progress(done, rowCount);
                    return !control.cancelled();
                });
            if (!made)
                return built;
            built.made = rowCount;
            built.records = std::move(made->records);
            built.firstRow = std::move(made->firstRow);
            control.progress(rowCount, rowCount);
            return built;
        },
        [this](BuiltRecords built) { finishImport(std::move(built)); },
        [this](qint64 done, qint64 total) { Q_EMIT progressChanged(done, total); });
}

void LXDataImportManager::finishImport(BuiltRecords built)
{
    m_innerKeyFinalDestinationArray = makePlannedKeys(built.plannedKeys);
    if (m_innerKeyFinalDestinationArray != built.plannedKeys) {
        // The document's keys changed during the run, so the new columns got
        // other keys than planned: the records are moved over to them.
        QHash<QString, QString> renamed;
        for (qsizetype j = 0; j < built.plannedKeys.size() && j < m_innerKeyFinalDestinationArray.size(); ++j) {
            if (built.plannedKeys[j] != m_innerKeyFinalDestinationArray[j] && !built.plannedKeys[j].isEmpty())
                renamed.insert(built.plannedKeys[j], m_innerKeyFinalDestinationArray[j]);
        }
        const auto rename = [&renamed](Dict record) {
            Dict::Entries entries = record.snapshot().entries();
            Dict::Entries moved;
            for (auto &[key, value] : entries)
                moved.emplace_back(renamed.value(key, key), std::move(value));
            std::sort(moved.begin(), moved.end(), [](const Dict::Entry &a, const Dict::Entry &b) { return a.first < b.first; });
            record.replaceEntries(std::move(moved));
        };
        for (Value &record : built.records)
            rename(record.toDict());
        if (built.firstRow)
            rename(*built.firstRow);
    }
    recordsWereMade(built.made);
    if (built.firstRow && m_useFirstRecordAsFieldsName)
        m_firstRowToImportUsedForColumnNames = std::move(built.firstRow);
    addRecordsToDestination(std::move(built.records));
    releaseImportedRows();
    m_firstRowOfRun.clear();
    // The run's rows and temporaries are gone; their pages go too, before
    // the document is saved.
    UnusedMemory::giveBackFreed();
    closeImportingFileSheet();
    didImport();
}

std::optional<ImportRecordBuilder::Template> LXDataImportManager::recordTemplate()
{
    return std::nullopt;
}

void LXDataImportManager::addRecordsToDestination(List::Items records)
{
    for (const Value &record : records)
        recordIsGoingToBeInserted(record.toDict());
    m_outsideDataArray.append(std::move(records));
}

// --- Mapping step as data ------------------------------------------------------------

QList<LXDataImportManager::DestinationItem> LXDataImportManager::destinationMenu() const
{
    QList<DestinationItem> items;
    for (qsizetype d = 0; d < m_importFieldKeyArray.size(); ++d) {
        const QString title = m_importFieldMenuTitles.value(d);
        const QString entry = m_importFieldKeyArray.at(d);
        // Part of the menu's layout: an entry without a title, or a blank
        // entry, is a line between groups.
        const bool separator = entry.isEmpty() || title.isEmpty();
        items.append({qint32(d), separator ? QString() : title, entry, separator,
                      !separator && isExclusiveDestination(qint32(d))});
    }
    return items;
}

qint32 LXDataImportManager::destinationOf(qsizetype column) const
{
    const Value row = m_destFieldArray.at(column);
    return row.isDict() ? destinationIn(row) : 0;
}

bool LXDataImportManager::isImported(qsizetype column) const
{
    const Value row = m_destFieldArray.at(column);
    return row.isDict() && row.toDict().stringValue(importFlagKey()) == importFlagOn();
}

QList<LXDataImportManager::Tool> LXDataImportManager::offeredTools() const
{
    return {Tool::Reset, Tool::Cascade, Tool::AllToNewColumns, Tool::FromFirstRow};
}

QString LXDataImportManager::toolTitle(Tool tool)
{
    switch (tool) {
    case Tool::Reset:
        return u"Do Not Import Any Column"_s;
    case Tool::Cascade:
        return u"Import Columns in Order"_s;
    case Tool::AllToNewColumns:
        return u"Import All Columns as New Columns"_s;
    case Tool::FromFirstRow:
        return u"Match Columns by the First Row"_s;
    }
    return QString();
}

void LXDataImportManager::applyTool(Tool tool)
{
    if (!offeredTools().contains(tool))
        return;
    switch (tool) {
    case Tool::Reset:
        ResetImportFields();
        break;
    case Tool::Cascade:
        AssignCascadeImportFields();
        break;
    case Tool::AllToNewColumns:
        AllImportFieldsToCreateNewColumn();
        break;
    case Tool::FromFirstRow:
        tryAssignFromFirstRow();
        break;
    }
}

// --- Sheets ----------------------------------------------------------------------------

void LXDataImportManager::showLoadingFileSheet()
{
    setPhase(Phase::Loading);
}

void LXDataImportManager::closeLoadingFileSheet()
{
    setPhase(Phase::Idle);
}

void LXDataImportManager::showImportingFileSheet()
{
    setPhase(Phase::Importing);
}

void LXDataImportManager::closeImportingFileSheet()
{
    setPhase(Phase::Idle);
}

// --- Properties ----------------------------------------------------------------------

void LXDataImportManager::setPhase(Phase phase)
{
    assign(m_phase, phase, &LXDataImportManager::phaseChanged);
}

void LXDataImportManager::setFileFormatToImport(qint32 value)
{
    assign(m_fileFormatToImport, value, &LXDataImportManager::fileFormatToImportChanged);
}

void LXDataImportManager::setFileEncodeToImport(qint32 value)
{
    assign(m_fileEncodeToImport, value, &LXDataImportManager::fileEncodeToImportChanged);
}

void LXDataImportManager::setDoNotImportFirstRecord(bool value)
{
    assign(m_doNotImportFirstRecord, value, &LXDataImportManager::doNotImportFirstRecordChanged);
}

void LXDataImportManager::setUseFirstRecordAsFieldsName(bool value)
{
    assign(m_useFirstRecordAsFieldsName, value, &LXDataImportManager::useFirstRecordAsFieldsNameChanged);
}

void LXDataImportManager::setEnableFirstRecAsNameOption(bool value)
{
    assign(m_enableFirstRecAsNameOption, value, &LXDataImportManager::enableFirstRecAsNameOptionChanged);
}

void LXDataImportManager::setNotVisibleFirstRecAsNameOption(bool value)
{
    assign(m_notVisibleFirstRecAsNameOption, value, &LXDataImportManager::notVisibleFirstRecAsNameOptionChanged);
}

void LXDataImportManager::setCurrentRecordIndex(qint64 value)
{
    assign(m_currentRecordIndex, value, &LXDataImportManager::currentRecordIndexChanged);
}

void LXDataImportManager::setUseSettingsPanel(bool value)
{
    assign(m_useSettingsPanel, value, &LXDataImportManager::useSettingsPanelChanged);
}

void LXDataImportManager::setRowToStartCascadeAssignment(qint32 value)
{
    assign(m_rowToStartCascadeAssignment, value, &LXDataImportManager::rowToStartCascadeAssignmentChanged);
}

void LXDataImportManager::setNumOfMaxFieldInImportedData(qint64 value)
{
    assign(m_numOfMaxFieldInImportedData, value, &LXDataImportManager::numOfMaxFieldInImportedDataChanged);
}

void LXDataImportManager::setImportFieldKeyArray(const QStringList &value)
{
    assign(m_importFieldKeyArray, value, &LXDataImportManager::ImportFieldKeyArrayChanged);
}

void LXDataImportManager::setImportFieldMenuTitles(const QStringList &value)
{
    assign(m_importFieldMenuTitles, value, &LXDataImportManager::importFieldMenuTitlesChanged);
}

void LXDataImportManager::setSelectedRowIndex(qsizetype value)
{
    assign(m_selectedRowIndex, value, &LXDataImportManager::selectedRowIndexChanged);
}

void LXDataImportManager::setSelectedMappingRow(qsizetype value)
{
    assign(m_selectedMappingRow, value, &LXDataImportManager::selectedMappingRowChanged);
}

} // namespace quillcast
