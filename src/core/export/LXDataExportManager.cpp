#include "export/LXDataExportManager.h"

#include "document/ArchivedAddressList.h"
#include "export/ExportWriter.h"
#include "platform/AlertPresenter.h"
#include "platform/FilePanel.h"
#include "platform/WorkerRun.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

// Valid selected positions of a list, ascending and without repeats.
QList<qsizetype> normalisedSelection(QList<qsizetype> selection, qsizetype size)
{
    selection.removeIf([size](qsizetype i) { return i < 0 || i >= size; });
    std::sort(selection.begin(), selection.end());
    selection.erase(std::unique(selection.begin(), selection.end()), selection.end());
    return selection;
}

// Takes the selected items out of `from` (keeping their order) and appends
// them to `to`.
void moveSelected(List &from, List &to, const QList<qsizetype> &selection)
{
    const QList<qsizetype> chosen = normalisedSelection(selection, from.size());
    if (chosen.isEmpty())
        return;
    List::Items moved;
    from.write([&](List::Items &items) {
        List::Items kept;
        kept.reserve(items.size() - size_t(chosen.size()));
        qsizetype next = 0;
        for (size_t i = 0; i < items.size(); ++i) {
            if (next < chosen.size() && chosen[next] == qsizetype(i)) {
                moved.push_back(std::move(items[i]));
                ++next;
            } else {
                kept.push_back(std::move(items[i]));
            }
        }
        items = std::move(kept);
    });
    to.append(std::move(moved));
}

} // namespace

LXDataExportManager::LXDataExportManager(const List &dataArray, const List &keyArray, QObject *window,
                                         Services services, const QLocale &locale, QObject *parent)
    : QObject(parent), m_services(services), m_locale(locale), m_dataArray(dataArray), m_allKeyArray(keyArray),
      m_leftKeyArray(keyArray.items()), m_suggestedFileName(u"Export"_s), m_attachToWin(window)
{
}

LXDataExportManager::~LXDataExportManager() = default;

void LXDataExportManager::run()
{
    ExportSettings();
}

void LXDataExportManager::ExportSettings()
{
    preExportSettings();
    setPhase(Phase::Settings);
}

void LXDataExportManager::setCustomFields(qint32 format)
{
    ExportDelimiters typed;
    QString lastRecord = u"YES"_s;
    switch (format) {
    case ExportDelimiters::FormatTsv:
        typed.endOfRecord = u"\\n"_s;
        typed.fieldSeparator = u"\\t"_s;
        lastRecord = u"NO"_s;
        break;
    case ExportDelimiters::FormatQuotedCsv:
        typed.endOfRecord = u"\\n"_s;
        typed.fieldOpenTag = u"\""_s;
        typed.fieldCloseTag = u"\""_s;
        typed.fieldSeparator = u","_s;
        lastRecord = u"NO"_s;
        break;
    case ExportDelimiters::FormatHtmlTable:
    case ExportDelimiters::FormatHtmlPage:
        typed = ExportDelimiters::forFormat(format);
        typed.endOfRecordAfterLast = false;
        break;
    case ExportDelimiters::FormatCsv:
        typed.endOfRecord = u"\\n"_s;
        typed.fieldSeparator = u","_s;
        lastRecord = u"NO"_s;
        break;
    default:
        break;
    }
    m_fields = typed;
    m_useEndOfRecordInLastRecord = lastRecord;
    Q_EMIT delimiterFieldsChanged();
}

void LXDataExportManager::addSelectedToRight()
{
    moveSelected(m_leftKeyArray, m_rightKeyArray, m_leftSelection);
    setLeftSelection({});
    Q_EMIT keyListsChanged();
}

void LXDataExportManager::addAllToRight()
{
    m_rightKeyArray.append(m_leftKeyArray.items());
    m_leftKeyArray.clear();
    setLeftSelection({});
    Q_EMIT keyListsChanged();
}

void LXDataExportManager::removeSelectedFromRight()
{
    moveSelected(m_rightKeyArray, m_leftKeyArray, m_rightSelection);
    setRightSelection({});
    Q_EMIT keyListsChanged();
}

void LXDataExportManager::removeAllFromRight()
{
    m_leftKeyArray.append(m_rightKeyArray.items());
    m_rightKeyArray.clear();
    setRightSelection({});
    Q_EMIT keyListsChanged();
}

void LXDataExportManager::moveUp()
{
    const QList<qsizetype> chosen = normalisedSelection(m_rightSelection, m_rightKeyArray.size());
    if (chosen.isEmpty())
        return;
    const qsizetype i = chosen.first();
    const qsizetype k = chosen.last();
    if (i <= 0)
        return;
    // The last selected key goes just above the first selected one; the
    // selection follows it, so that repeated moves keep moving it.
    const Value key = m_rightKeyArray.at(k);
    m_rightKeyArray.removeAt(k);
    m_rightKeyArray.insert(i - 1, key);
    setRightSelection({i - 1});
    Q_EMIT keyListsChanged();
}

void LXDataExportManager::moveDown()
{
    const QList<qsizetype> chosen = normalisedSelection(m_rightSelection, m_rightKeyArray.size());
    if (chosen.isEmpty())
        return;
    const qsizetype i = chosen.first();
    const qsizetype k = chosen.last();
    if (i >= m_rightKeyArray.size() - 1)
        return;
    const Value key = m_rightKeyArray.at(k);
    m_rightKeyArray.removeAt(k);
    m_rightKeyArray.insert(i + 1, key);
    setRightSelection({i + 1});
    Q_EMIT keyListsChanged();
}

void LXDataExportManager::DoExportSetting()
{
    willExport();
    setPhase(Phase::Idle);
    exportToTextFile();
}

void LXDataExportManager::CancelExportSetting()
{
    setPhase(Phase::Idle);
}

void LXDataExportManager::exportToTextFile()
{
    FilePanel::SaveRequest request;
    request.window = m_attachToWin.data();
    request.proposedName = m_suggestedFileName;
    request.allowedExtensions = {ExportDelimiters::fileExtension(m_fileFormatToSave)};
    request.allowsOtherFileTypes = true;
    request.accessory = FilePanel::Accessory::ExportOptions;
    request.accessoryOwner = this;
    setPhase(Phase::SavePanel);
    QPointer<LXDataExportManager> self(this);
    m_services.filePanel.runSavePanel(request, [self](std::optional<QString> path) {
        if (!self)
            return;
        self->setPhase(Phase::Idle);
        if (!path || path->isEmpty())
            return;
        if (self->runsInBackground())
            self->startWritingToFile(*path);
        else
            self->writeToFile(*path);
    });
}

qsizetype LXDataExportManager::recordCount() const
{
    return m_archived ? qsizetype(m_archived->size()) : m_dataArray.size();
}

bool LXDataExportManager::writeToFile(const QString &path)
{
    ExportWriter::Job job;
    job.records = m_dataArray;
    job.archived = m_archived;
    job.keys = m_rightKeyArray;
    job.format = m_fileFormatToSave;
    job.delimiters = currentDelimiters();
    job.namesRow = m_useFieldNamesAsFirstRow;
    job.locale = m_locale;
    const Status written = ExportWriter::writeFile(path, job);
    reportWrite(written);
    didExport();
    return written.ok();
}

void LXDataExportManager::reportWrite(const Status &written)
{
    if (written)
        return;
    // Losing an export silently would let the user believe the file exists.
    Alert alert;
    alert.messageText = u"The export could not be saved"_s;
    alert.informativeText = written.error();
    alert.buttons = {u"OK"_s};
    m_services.alerts.present(alert, [](int) {});
}

void LXDataExportManager::startWritingToFile(const QString &path)
{
    if (!m_services.mainLoop) {
        const bool ok = writeToFile(path);
        Q_EMIT writeFinished(ok, QString());
        return;
    }
    if (!m_worker)
        m_worker = std::make_unique<WorkerRun>(*m_services.mainLoop);
    ExportWriter::Job job;
    // The list as it stands: the records themselves are shared and read
    // through snapshots, and the list's lock is not held for the whole write.
    job.records = List(m_dataArray.items());
    job.archived = m_archived;
    job.keys = List(m_rightKeyArray.items());
    job.format = m_fileFormatToSave;
    job.delimiters = currentDelimiters();
    job.namesRow = m_useFieldNamesAsFirstRow;
    job.locale = m_locale;
    setPhase(Phase::Writing);
    m_worker->start<Status>(
        [job, path](WorkerRun::Control &control) mutable {
            job.onProgress = [&control](qint64 written, qint64 total) {
                control.progress(written, total);
                return !control.cancelled();
            };
            return ExportWriter::writeFile(path, job);
        },
        [this](Status written) {
            setPhase(Phase::Idle);
            reportWrite(written);
            didExport();
            Q_EMIT writeFinished(written.ok(), written.ok() ? QString() : written.error());
        },
        [this](qint64 done, qint64 total) { Q_EMIT progressChanged(done, total); });
}

void LXDataExportManager::cancelWriting()
{
    if (!isWriting())
        return;
    // The worker notices at its next report and drops the file it was writing.
    m_worker->cancel();
    setPhase(Phase::Idle);
    Q_EMIT writeFinished(false, ExportWriter::cancelledMessage());
}

bool LXDataExportManager::isWriting() const
{
    return m_worker && m_worker->isRunning();
}

void LXDataExportManager::adjustFileType()
{
    m_services.filePanel.setAllowedExtensions({ExportDelimiters::fileExtension(m_fileFormatToSave)});
}

void LXDataExportManager::selectFileType(const QString &extension)
{
    m_services.filePanel.setAllowedExtensions({extension});
}

ExportDelimiters LXDataExportManager::currentDelimiters() const
{
    if (m_fileFormatToSave != ExportDelimiters::FormatCustom)
        return ExportDelimiters::forFormat(m_fileFormatToSave);
    ExportDelimiters d;
    d.startOfFile = ExportDelimiters::unescape(m_fields.startOfFile);
    d.endOfFile = ExportDelimiters::unescape(m_fields.endOfFile);
    d.startOfRecord = ExportDelimiters::unescape(m_fields.startOfRecord);
    d.endOfRecord = ExportDelimiters::unescape(m_fields.endOfRecord);
    d.fieldOpenTag = ExportDelimiters::unescape(m_fields.fieldOpenTag);
    d.fieldCloseTag = ExportDelimiters::unescape(m_fields.fieldCloseTag);
    d.fieldSeparator = ExportDelimiters::unescape(m_fields.fieldSeparator);
    d.endOfRecordAfterLast = Value(m_useEndOfRecordInLastRecord).toBool();
    return d;
}

// --- Properties --------------------------------------------------------------------

void LXDataExportManager::setPhase(Phase phase)
{
    if (m_phase == phase)
        return;
    m_phase = phase;
    Q_EMIT phaseChanged(phase);
}

void LXDataExportManager::setLeftSelection(const QList<qsizetype> &value)
{
    if (m_leftSelection == value)
        return;
    m_leftSelection = value;
    Q_EMIT leftSelectionChanged(value);
}

void LXDataExportManager::setRightSelection(const QList<qsizetype> &value)
{
    if (m_rightSelection == value)
        return;
    m_rightSelection = value;
    Q_EMIT rightSelectionChanged(value);
}

void LXDataExportManager::setSuggestedFileName(const QString &value)
{
    if (m_suggestedFileName == value)
        return;
    m_suggestedFileName = value;
    Q_EMIT suggestedFileNameChanged(value);
}

void LXDataExportManager::setFileFormatToSave(qint32 value)
{
    if (m_fileFormatToSave == value)
        return;
    m_fileFormatToSave = value;
    Q_EMIT fileFormatToSaveChanged(value);
}

void LXDataExportManager::setField(QString &field, const QString &value)
{
    if (field == value)
        return;
    field = value;
    Q_EMIT delimiterFieldsChanged();
}

void LXDataExportManager::setStart_of_file(const QString &value)
{
    setField(m_fields.startOfFile, value);
}

void LXDataExportManager::setEnd_of_file(const QString &value)
{
    setField(m_fields.endOfFile, value);
}

void LXDataExportManager::setStart_of_record(const QString &value)
{
    setField(m_fields.startOfRecord, value);
}

void LXDataExportManager::setEnd_of_record(const QString &value)
{
    setField(m_fields.endOfRecord, value);
}

void LXDataExportManager::setField_open_tag(const QString &value)
{
    setField(m_fields.fieldOpenTag, value);
}

void LXDataExportManager::setField_close_tag(const QString &value)
{
    setField(m_fields.fieldCloseTag, value);
}

void LXDataExportManager::setField_separator(const QString &value)
{
    setField(m_fields.fieldSeparator, value);
}

void LXDataExportManager::setUse_end_of_record_in_last_record(const QString &value)
{
    setField(m_useEndOfRecordInLastRecord, value);
}

void LXDataExportManager::setUseFieldNamesAsFirstRow(bool value)
{
    if (m_useFieldNamesAsFirstRow == value)
        return;
    m_useFieldNamesAsFirstRow = value;
    Q_EMIT useFieldNamesAsFirstRowChanged(value);
}

} // namespace quillcast
