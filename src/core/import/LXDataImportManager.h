#pragma once

#include "import/ImportLines.h"
#include "import/ImportRecordBuilder.h"
#include "import/ImportRows.h"
#include "util/Result.h"
#include "util/Value.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

namespace quillcast {

class AlertPresenter;
class FilePanel;
class MainLoop;
class WorkerRun;

// Drives one import of a text file into a list of records at a time: asks for
// the file (format and encoding choices beside the chooser), loads it into
// rows, lets the user give every file column a destination, then appends one
// new record per row to the destination list.
//
// The class is generic: what the destinations are, what a new record holds,
// how new columns come about and what follows a run are hooks that
// subclasses fill. The dialogs bind to the properties and call the actions
// on the main thread.
//
// Loading and importing a large file takes seconds, so they can run on a
// worker (setRunsInBackground, or startLoadingFile and startImport): reading,
// splitting and building the new records happen there, with progressChanged
// on the main thread no more often than every 50 ms and cancelRun to stop.
// The result is applied on the main thread in one step at the end (the rows
// and mapping of a load; the new columns, the records and the document's
// end-of-import rules of an import), so a cancelled run changes nothing.
// While a run is at work the rows, the mapping and the options must be left
// alone; the loading and importing sheets are modal for that reason.
//
// Mapping rows (destFieldArray) are dictionaries with "destination" (the
// index into ImportFieldKeyArray) and "importFlag" ("»" when the column is
// imported, "" otherwise).
class LXDataImportManager : public QObject
{
    Q_OBJECT

    Q_PROPERTY(quillcast::List outsideDataArray READ outsideDataArray NOTIFY outsideDataArrayChanged)
    Q_PROPERTY(quillcast::List outsideKeyArray READ outsideKeyArray NOTIFY outsideKeyArrayChanged)
    Q_PROPERTY(QObject *attachToWin READ attachToWin NOTIFY attachToWinChanged)
    Q_PROPERTY(qint32 fileFormatToImport READ fileFormatToImport WRITE setFileFormatToImport NOTIFY fileFormatToImportChanged)
    Q_PROPERTY(qint32 fileEncodeToImport READ fileEncodeToImport WRITE setFileEncodeToImport NOTIFY fileEncodeToImportChanged)
    Q_PROPERTY(qint32 numberOfImportedFields READ numberOfImportedFields NOTIFY numberOfImportedFieldsChanged)
    Q_PROPERTY(bool doNotImportFirstRecord READ doNotImportFirstRecord WRITE setDoNotImportFirstRecord NOTIFY doNotImportFirstRecordChanged)
    Q_PROPERTY(bool useFirstRecordAsFieldsName READ useFirstRecordAsFieldsName WRITE setUseFirstRecordAsFieldsName NOTIFY useFirstRecordAsFieldsNameChanged)
    Q_PROPERTY(bool enableFirstRecAsNameOption READ enableFirstRecAsNameOption WRITE setEnableFirstRecAsNameOption NOTIFY enableFirstRecAsNameOptionChanged)
    Q_PROPERTY(bool notVisibleFirstRecAsNameOption READ notVisibleFirstRecAsNameOption WRITE setNotVisibleFirstRecAsNameOption NOTIFY notVisibleFirstRecAsNameOptionChanged)
    Q_PROPERTY(qint64 currentRecordIndex READ currentRecordIndex NOTIFY currentRecordIndexChanged)
    Q_PROPERTY(bool useSettingsPanel READ useSettingsPanel WRITE setUseSettingsPanel NOTIFY useSettingsPanelChanged)
    Q_PROPERTY(qint32 rowToStartCascadeAssignment READ rowToStartCascadeAssignment WRITE setRowToStartCascadeAssignment NOTIFY rowToStartCascadeAssignmentChanged)
    Q_PROPERTY(qint64 numOfMaxFieldInImportedData READ numOfMaxFieldInImportedData NOTIFY numOfMaxFieldInImportedDataChanged)
    Q_PROPERTY(QStringList ImportFieldKeyArray READ ImportFieldKeyArray WRITE setImportFieldKeyArray NOTIFY ImportFieldKeyArrayChanged)
    Q_PROPERTY(QStringList importFieldMenuTitles READ importFieldMenuTitles WRITE setImportFieldMenuTitles NOTIFY importFieldMenuTitlesChanged)
    Q_PROPERTY(quillcast::List destFieldArray READ destFieldArray NOTIFY destFieldArrayChanged)
    Q_PROPERTY(qsizetype selectedRowIndex READ selectedRowIndex NOTIFY selectedRowIndexChanged)
    Q_PROPERTY(qsizetype selectedMappingRow READ selectedMappingRow WRITE setSelectedMappingRow NOTIFY selectedMappingRowChanged)
    Q_PROPERTY(Phase phase READ phase NOTIFY phaseChanged)

public:
    // Which sheet or panel is up: the chooser, the loading and importing
    // progress sheets (busy indicator running), the settings sheet.
    enum class Phase { Idle, ChoosingFile, Loading, Settings, Importing };
    Q_ENUM(Phase)

    // The platform services it uses must outlive it.
    struct Services
    {
        FilePanel &filePanel;
        AlertPresenter &alerts;
        MainLoop &mainLoop;
    };

    LXDataImportManager(const List &dataArray, const List &keyArray, QObject *requester, Services services,
                        QObject *parent = nullptr);
    ~LXDataImportManager() override;

    // One item of a column's destination menu (the mapping sheet's pop-up).
    struct DestinationItem
    {
        qint32 index; // the destination index a mapping row holds
        QString title; // what the menu shows; empty for a separator
        QString entry; // the destination-list entry: "NO_IMPORT", "NEW_FIELD", an innerKey, or "" (separator)
        bool separator; // shown as a line, never chosen
        bool exclusive; // choosing it for a column takes it from every other column
    };

    // The mapping tools. Each importer offers some of them (offeredTools).
    enum class Tool {
        Reset, // every column back to "do not import"
        Cascade, // the columns to the listed keys in order
        AllToNewColumns, // every column to a new column
        FromFirstRow // the first row's names matched against the listed keys; the first row held back
    };
    Q_ENUM(Tool)

    // Destination-list entries with a meaning of their own.
    static QString noImportEntry(); // "NO_IMPORT"
    static QString newFieldEntry(); // "NEW_FIELD"
    static QString importFlagOn(); // "»"
    // The extensions the file chooser allows.
    static QStringList allowedExtensions();

    // --- Actions -------------------------------------------------------------

    // A new destination list and key list for the next import; the first-row
    // options go back to their defaults.
    void setDataArray(const List &dataArray, const List &keyArray);
    // Starts an import: automatic format and encoding, then the file chooser
    // on the window; a chosen file is loaded at the next turn of the loop.
    void loadDataForWin(QObject *window);
    // Loads the file into rows and a fresh mapping, then opens the settings
    // (at the next turn of the loop) or imports at once. A file that cannot
    // be read or decoded is reported in an alert and nothing follows.
    void loadDataFromFile(const QString &path, qint32 format, qint32 encoding);
    // Loads text that is already decoded (line ends are normalised here);
    // loadDataFromFile ends in it.
    void loadDataFromText(QString text, qint32 format);
    void ImportSettings();
    void CancelImportSetting();
    // Makes one record of every loaded row under the chosen mapping and hands
    // it to the destination: the settings sheet's Import button. The rows
    // are let go at the end (rowsChanged): a file is imported once per load.
    void importRows();

    // The pop-up of mapping row `row` was set (its "destination" already
    // holds the choice): selects the row and, at the next turn of the loop,
    // applies manageDataLoadingPopUpSelected.
    void dataLoadingPopUpSelected(qsizetype row);
    // Sets the destination of one mapping row as the pop-up's binding does,
    // then dataLoadingPopUpSelected.
    void chooseDestination(qsizetype row, qint32 destination);
    // Keeps exclusive destinations unique and the flags right for the
    // selected mapping row.
    virtual void manageDataLoadingPopUpSelected();

    void ResetImportFields();
    void AssignCascadeImportFields();
    virtual void AllImportFieldsToCreateNewColumn();
    void tryAssignFromFirstRow();
    // The first-row-as-names option changed.
    void firstRowSetFieldsNameSelected();
    void showNextRecord();
    void showPrevRecord();
    void calcNumberOfImportedFields();
    // The destination-list entry chosen for a file column; nothing when the
    // column has no mapping row or its index is past the end of the list.
    std::optional<QString> fromElementInRowToFieldKey(qint32 column) const;

    void showLoadingFileSheet();
    void closeLoadingFileSheet();
    void showImportingFileSheet();
    void closeImportingFileSheet();

    // --- Background runs -----------------------------------------------------

    // When set, the file chosen in the chooser is loaded with startLoadingFile
    // and the settings sheet's Import button (DoImport) runs startImport;
    // otherwise (the default) both run within the call, as before.
    void setRunsInBackground(bool value) { m_runsInBackground = value; }
    bool runsInBackground() const { return m_runsInBackground; }
    // How many threads make the records of a background import, each a
    // consecutive part of the rows (the result is the same for any number):
    // by default the machine's cores, at most four.
    void setBuildThreads(int threads) { m_buildThreads = std::max(threads, 1); }
    int buildThreads() const { return m_buildThreads; }
    static int defaultBuildThreads();
    // The Import button: importRows or startImport, by runsInBackground.
    void DoImport();

    // Loads the file on a worker: the phase is Loading at once, progress
    // counts the file's bytes read (total: its size), then (0, 0) while the
    // text is decoded and split. At the end, on the main thread, the rows and
    // a fresh mapping replace the old ones in one step and the settings step
    // follows as with loadDataFromFile; a file that cannot be read or is not
    // in the chosen encoding is reported in an alert instead and the phase
    // goes back to Idle with no rows and no mapping.
    //
    // The loading hooks (adjustContent...) are called on the worker: an
    // importer that overrides them must not touch its other state there, and
    // must call stopBackgroundWork() in its destructor.
    void startLoadingFile(const QString &path, qint32 format, qint32 encoding);
    // Imports the loaded rows under the current mapping on a worker: the phase
    // is Importing at once, progress counts the rows made (total: the row
    // count). At the end, on the main thread and in one step: the new columns
    // are made, the records appended to the destination, then didImport (for
    // the document importers: search cleared, scroll to the end requested,
    // document edited). The serial numbers go on from where they were. The
    // run takes the loaded rows (rowsChanged at once) and uses them up: a
    // large file's rows go as they become records.
    void startImport();
    // Stops the loading or importing run at work: the phase goes back to
    // Idle at once and nothing of the run is applied (a cancelled load
    // leaves no rows and no mapping; a cancelled import leaves the document
    // and the destination list exactly as they were, and the file to load
    // again). Nothing when idle.
    void cancelRun();
    // A background load or import is at work.
    bool isRunning() const;
    // Cancels a run and waits for its worker; for subclass destructors.
    void stopBackgroundWork();

    // --- Mapping step, as data for the settings sheet --------------------------

    // The destination menu every column offers, item d for destination d
    // (built from importFieldMenuTitles and ImportFieldKeyArray; refreshed
    // when they change, that is when the settings sheet opens).
    QList<DestinationItem> destinationMenu() const;
    // Whether choosing destination d for a column takes it from the others.
    bool isExclusive(qint32 destination) const { return isExclusiveDestination(destination); }
    // The destination index and the "»" marker of mapping row (file column) column.
    qint32 destinationOf(qsizetype column) const;
    bool isImported(qsizetype column) const;
    // The tools this importer offers, in menu order.
    virtual QList<Tool> offeredTools() const;
    static QString toolTitle(Tool tool);
    // Applies a tool; one the importer does not offer does nothing.
    virtual void applyTool(Tool tool);

    // --- Row list ------------------------------------------------------------

    const ImportRows &rows() const { return *m_rows; }
    // The row browser: how many rows the file gave, and the fields of row
    // `row` (counted from 0; none outside the rows).
    qsizetype rowCount() const { return m_rows->rowCount(); }
    QStringList rowFields(qsizetype row) const;
    // The first row's fields: of the loaded rows, or, while a run holds
    // them and when it is over, of the rows it took.
    QStringList firstRowFields() const;
    // The fields of the selected row, which the settings sheet shows.
    QStringList selectedRowFields() const;

    // --- Properties ----------------------------------------------------------

    List outsideDataArray() const { return m_outsideDataArray; }
    List outsideKeyArray() const { return m_outsideKeyArray; }
    QObject *requester() const { return m_requester.data(); }
    QObject *attachToWin() const { return m_attachToWin.data(); }
    qint32 fileFormatToImport() const { return m_fileFormatToImport; }
    void setFileFormatToImport(qint32 value);
    qint32 fileEncodeToImport() const { return m_fileEncodeToImport; }
    void setFileEncodeToImport(qint32 value);
    qint32 numberOfImportedFields() const { return m_numberOfImportedFields; }
    bool doNotImportFirstRecord() const { return m_doNotImportFirstRecord; }
    void setDoNotImportFirstRecord(bool value);
    bool useFirstRecordAsFieldsName() const { return m_useFirstRecordAsFieldsName; }
    void setUseFirstRecordAsFieldsName(bool value);
    std::optional<Dict> firstRowToImportUsedForColumnNames() const { return m_firstRowToImportUsedForColumnNames; }
    bool enableFirstRecAsNameOption() const { return m_enableFirstRecAsNameOption; }
    void setEnableFirstRecAsNameOption(bool value);
    bool notVisibleFirstRecAsNameOption() const { return m_notVisibleFirstRecAsNameOption; }
    void setNotVisibleFirstRecAsNameOption(bool value);
    qint64 currentRecordIndex() const { return m_currentRecordIndex; }
    bool useSettingsPanel() const { return m_useSettingsPanel; }
    void setUseSettingsPanel(bool value);
    qint32 rowToStartCascadeAssignment() const { return m_rowToStartCascadeAssignment; }
    void setRowToStartCascadeAssignment(qint32 value);
    qint64 numOfMaxFieldInImportedData() const { return m_numOfMaxFieldInImportedData; }
    QStringList ImportFieldKeyArray() const { return m_importFieldKeyArray; }
    void setImportFieldKeyArray(const QStringList &value);
    QStringList importFieldMenuTitles() const { return m_importFieldMenuTitles; }
    void setImportFieldMenuTitles(const QStringList &value);
    List destFieldArray() const { return m_destFieldArray; }
    QStringList innerKeyFinalDestinationArray() const { return m_innerKeyFinalDestinationArray; }
    qsizetype selectedRowIndex() const { return m_selectedRowIndex; }
    qsizetype selectedMappingRow() const { return m_selectedMappingRow; }
    void setSelectedMappingRow(qsizetype value);
    Phase phase() const { return m_phase; }

Q_SIGNALS:
    void outsideDataArrayChanged();
    void outsideKeyArrayChanged();
    void attachToWinChanged();
    void fileFormatToImportChanged(qint32 value);
    void fileEncodeToImportChanged(qint32 value);
    void numberOfImportedFieldsChanged(qint32 value);
    void doNotImportFirstRecordChanged(bool value);
    void useFirstRecordAsFieldsNameChanged(bool value);
    void enableFirstRecAsNameOptionChanged(bool value);
    void notVisibleFirstRecAsNameOptionChanged(bool value);
    void currentRecordIndexChanged(qint64 value);
    void useSettingsPanelChanged(bool value);
    void rowToStartCascadeAssignmentChanged(qint32 value);
    void numOfMaxFieldInImportedDataChanged(qint64 value);
    void ImportFieldKeyArrayChanged(const QStringList &value);
    void importFieldMenuTitlesChanged(const QStringList &value);
    // The mapping list was replaced or one of its rows changed.
    void destFieldArrayChanged();
    // The row list was reloaded.
    void rowsChanged();
    void selectedRowIndexChanged(qsizetype value);
    void selectedMappingRowChanged(qsizetype value);
    void phaseChanged(quillcast::LXDataImportManager::Phase value);
    // A background run's progress (see startLoadingFile and startImport),
    // on the main thread, at most every 50 ms and once at the end of each step.
    void progressChanged(qint64 done, qint64 total);

protected:
    // --- Hooks, in the order a run calls them ---------------------------------

    // Each time the settings sheet opens.
    virtual void preImportSettings() {}
    // Once at the start of a run; may fill the final key list.
    virtual void willImport() {}
    // The template of one new record; every subclass supplies it.
    virtual std::optional<Dict> createNewObjectToImport();
    // Just before a record is added.
    virtual void recordIsGoingToBeInserted(const Dict &record) { Q_UNUSED(record); }
    // Appends the record to the destination list.
    virtual void addRecordToDestination(const Dict &record);
    // Once at the end of a run.
    virtual void didImport() {}

    // --- Hooks of the background import ------------------------------------

    // What the run's records start with, as createNewObjectToImport would
    // make them one after another (a serial number counting on from record
    // to record); taken on the main thread at the start of a run. The base
    // has none: the run logs as createNewObjectToImport does, once per row,
    // and makes nothing. Every subclass supplies its own.
    virtual std::optional<ImportRecordBuilder::Template> recordTemplate();
    // The final keys the run will use, as willImport would set them, without
    // changing anything: a new column's key is the one it will get when it is
    // made. None (the default): the listed keys are used.
    virtual QStringList plannedFinalKeys() { return {}; }
    // At the end of the run, on the main thread, before the records are
    // added: makes what plannedFinalKeys promised and gives the keys it
    // really used (normally the planned ones). The default keeps them.
    virtual QStringList makePlannedKeys(const QStringList &planned) { return planned; }
    // At the end of the run: `made` record templates were used (the held-back
    // first row included), so serial numbers can go on from there.
    virtual void recordsWereMade(qint64 made) { Q_UNUSED(made); }
    // Appends the new records to the destination in one write; the default
    // calls recordIsGoingToBeInserted for each, then appends them all.
    virtual void addRecordsToDestination(List::Items records);

    // Loading hooks: the whole text, then its lines; unchanged here.
    virtual void adjustContentStringBeforeProcessing(QString &text) { Q_UNUSED(text); }
    virtual void adjustContentArrayBeforeProcessing(ImportLines &lines) { Q_UNUSED(lines); }

    // Whether picking destination d for a column takes it from every other
    // column: every destination but 0 here.
    virtual bool isExclusiveDestination(qint32 destination) const { return destination != 0; }

    void setInnerKeyFinalDestinationArray(const QStringList &keys) { m_innerKeyFinalDestinationArray = keys; }
    MainLoop &mainLoop() const { return m_services.mainLoop; }
    // One more than the largest value under key (read as an integer) over the
    // records, 1 when there are none; never past the largest 64-bit number.
    static qint64 nextSerialNumber(const List &records, const QString &key);
    // Sets one mapping row (destination and flag) without notifying.
    static void setMapping(Dict row, qint32 destination, bool imported);

private:
    void setPhase(Phase phase);
    void setCurrentRecordIndex(qint64 value);
    void setSelectedRowIndex(qsizetype value);
    void setNumOfMaxFieldInImportedData(qint64 value);
    void replaceRows(ImportRows rows);
    void releaseImportedRows();
    void resetMapping(qint64 columns);
    void reportUnreadableFile(const QString &reason);
    void continueAfterLoading();
    template<typename T, typename Signal>
    void assign(T &field, const T &value, Signal signal);

    struct BuiltRecords;
    void finishLoading(Result<ImportRows> rows);
    void finishImport(BuiltRecords built);

    Services m_services;
    List m_outsideDataArray;
    List m_outsideKeyArray;
    QPointer<QObject> m_requester;
    QPointer<QObject> m_attachToWin;
    qint32 m_fileFormatToImport = 0;
    qint32 m_fileEncodeToImport = 0;
    qint32 m_numberOfImportedFields = 0;
    bool m_doNotImportFirstRecord = false;
    bool m_useFirstRecordAsFieldsName = false;
    std::optional<Dict> m_firstRowToImportUsedForColumnNames;
    bool m_enableFirstRecAsNameOption = true;
    bool m_notVisibleFirstRecAsNameOption = false;
    qint64 m_currentRecordIndex = 0;
    bool m_useSettingsPanel = true;
    qint32 m_rowToStartCascadeAssignment = 4;
    qint64 m_numOfMaxFieldInImportedData = 0;
    QStringList m_importFieldKeyArray;
    QStringList m_importFieldMenuTitles;
    List m_destFieldArray;
    QStringList m_innerKeyFinalDestinationArray;
    // Shared with a background import, which reads them while it runs.
    std::shared_ptr<ImportRows> m_rows = std::make_shared<ImportRows>();
    QStringList m_firstRowOfRun;
    bool m_runsInBackground = false;
    int m_buildThreads = defaultBuildThreads();
    std::unique_ptr<WorkerRun> m_worker;
    qsizetype m_selectedRowIndex = -1;
    qsizetype m_selectedMappingRow = -1;
    Phase m_phase = Phase::Idle;
};

} // namespace quillcast
