#pragma once

#include "export/ExportDelimiters.h"
#include "util/Result.h"
#include "util/Value.h"

#include <QList>
#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

namespace quillcast {

class ArchivedAddressList;

class AlertPresenter;
class FilePanel;
class MainLoop;
class WorkerRun;

// One export of records to a text file: the settings sheet chooses the keys
// to export (left list: not chosen; right list: chosen, in export order), the
// names row and the layout; the save panel then asks for the file, which is
// written as UTF-8 in one step. A failed write is reported in an alert.
//
// Every export starts afresh: all keys on the left, layout 1 (TSV), empty
// delimiter fields, both options off. The delimiter fields are what the user
// typed, escapes included; only the custom layout (0) writes them.
//
// With a main loop among the services, the file can be written on a worker
// (setRunsInBackground, or startWritingToFile): the phase is Writing, progress
// counts the records written, cancelWriting stops it, and in every case where
// the writing does not finish (cancelled, failed, this object gone) no file,
// not even a partial one, is left under the chosen name (an older file there
// stays as it was).
class LXDataExportManager : public QObject
{
    Q_OBJECT

    Q_PROPERTY(quillcast::List dataArray READ dataArray CONSTANT)
    Q_PROPERTY(quillcast::List allKeyArray READ allKeyArray CONSTANT)
    Q_PROPERTY(quillcast::List leftKeyArray READ leftKeyArray NOTIFY keyListsChanged)
    Q_PROPERTY(quillcast::List rightKeyArray READ rightKeyArray NOTIFY keyListsChanged)
    Q_PROPERTY(QList<qsizetype> leftSelection READ leftSelection WRITE setLeftSelection NOTIFY leftSelectionChanged)
    Q_PROPERTY(QList<qsizetype> rightSelection READ rightSelection WRITE setRightSelection NOTIFY rightSelectionChanged)
    Q_PROPERTY(QString suggestedFileName READ suggestedFileName WRITE setSuggestedFileName NOTIFY suggestedFileNameChanged)
    Q_PROPERTY(qint32 fileFormatToSave READ fileFormatToSave WRITE setFileFormatToSave NOTIFY fileFormatToSaveChanged)
    Q_PROPERTY(QString start_of_file READ start_of_file WRITE setStart_of_file NOTIFY delimiterFieldsChanged)
    Q_PROPERTY(QString end_of_file READ end_of_file WRITE setEnd_of_file NOTIFY delimiterFieldsChanged)
    Q_PROPERTY(QString start_of_record READ start_of_record WRITE setStart_of_record NOTIFY delimiterFieldsChanged)
    Q_PROPERTY(QString end_of_record READ end_of_record WRITE setEnd_of_record NOTIFY delimiterFieldsChanged)
    Q_PROPERTY(QString field_open_tag READ field_open_tag WRITE setField_open_tag NOTIFY delimiterFieldsChanged)
    Q_PROPERTY(QString field_close_tag READ field_close_tag WRITE setField_close_tag NOTIFY delimiterFieldsChanged)
    Q_PROPERTY(QString field_separator READ field_separator WRITE setField_separator NOTIFY delimiterFieldsChanged)
    Q_PROPERTY(QString use_end_of_record_in_last_record READ use_end_of_record_in_last_record WRITE setUse_end_of_record_in_last_record NOTIFY delimiterFieldsChanged)
    Q_PROPERTY(bool useFieldNamesAsFirstRow READ useFieldNamesAsFirstRow WRITE setUseFieldNamesAsFirstRow NOTIFY useFieldNamesAsFirstRowChanged)
    Q_PROPERTY(QObject *attachToWin READ attachToWin CONSTANT)
    Q_PROPERTY(Phase phase READ phase NOTIFY phaseChanged)

public:
    // Which sheet is up.
    enum class Phase { Idle, Settings, SavePanel, Writing };
    Q_ENUM(Phase)

    struct Services
    {
        FilePanel &filePanel;
        AlertPresenter &alerts;
        // Where a background write reports; without it every write is done
        // within the call.
        MainLoop *mainLoop = nullptr;
    };

    // records: what is exported, in order; keyArray: the DB keys on offer.
    LXDataExportManager(const List &dataArray, const List &keyArray, QObject *window, Services services,
                        const QLocale &locale = QLocale::system(), QObject *parent = nullptr);
    ~LXDataExportManager() override;

    // --- Actions -------------------------------------------------------------

    void run();
    void ExportSettings();
    // Fills the delimiter fields the way a picked layout shows them.
    void setCustomFields(qint32 format);
    void addSelectedToRight();
    void addAllToRight();
    void removeSelectedFromRight();
    void removeAllFromRight();
    void moveUp();
    void moveDown();
    void DoExportSetting();
    void CancelExportSetting();
    // The save panel; the file is written when the user confirms a location.
    void exportToTextFile();
    // The save panel's extension follows the current layout.
    void adjustFileType();
    // The save panel's extension is the title of the picked file-type cell.
    void selectFileType(const QString &extension);

    // What the writer uses for the current layout: the user's fields with
    // their escapes turned into characters for layout 0, the fixed set otherwise.
    ExportDelimiters currentDelimiters() const;
    // Writes the current export to a file; what the save panel's confirmation does.
    bool writeToFile(const QString &path);

    // When set (and a main loop was given), the save panel's confirmation
    // writes with startWritingToFile instead of writeToFile.
    void setRunsInBackground(bool value) { m_runsInBackground = value; }
    bool runsInBackground() const { return m_runsInBackground; }
    // Writes the current export on a worker; the records, keys and layout are
    // taken as they stand now. progressChanged follows the records written;
    // at the end writeFinished tells how it went, after the alert of a failed
    // write (the same as writeToFile's) and didExport. Without a main loop
    // it writes within the call, then emits writeFinished.
    void startWritingToFile(const QString &path);
    // Stops a background write: nothing is left under the chosen name, the
    // phase goes back to Idle, writeFinished(false, cancelledMessage) follows
    // at once and no alert is shown.
    void cancelWriting();
    bool isWriting() const;

    // --- Properties ----------------------------------------------------------

    List dataArray() const { return m_dataArray; }
    // The records are read from the mailing's file as they are written,
    // not from dataArray (a mailing opened to be exported).
    void setArchivedRecords(std::shared_ptr<const ArchivedAddressList> records) { m_archived = std::move(records); }
    // The records exported: those of the file when they are read from it.
    qsizetype recordCount() const;
    List allKeyArray() const { return m_allKeyArray; }
    List leftKeyArray() const { return m_leftKeyArray; }
    List rightKeyArray() const { return m_rightKeyArray; }
    QList<qsizetype> leftSelection() const { return m_leftSelection; }
    void setLeftSelection(const QList<qsizetype> &value);
    QList<qsizetype> rightSelection() const { return m_rightSelection; }
    void setRightSelection(const QList<qsizetype> &value);
    QString suggestedFileName() const { return m_suggestedFileName; }
    void setSuggestedFileName(const QString &value);
    qint32 fileFormatToSave() const { return m_fileFormatToSave; }
    void setFileFormatToSave(qint32 value);
    QString start_of_file() const { return m_fields.startOfFile; }
    void setStart_of_file(const QString &value);
    QString end_of_file() const { return m_fields.endOfFile; }
    void setEnd_of_file(const QString &value);
    QString start_of_record() const { return m_fields.startOfRecord; }
    void setStart_of_record(const QString &value);
    QString end_of_record() const { return m_fields.endOfRecord; }
    void setEnd_of_record(const QString &value);
    QString field_open_tag() const { return m_fields.fieldOpenTag; }
    void setField_open_tag(const QString &value);
    QString field_close_tag() const { return m_fields.fieldCloseTag; }
    void setField_close_tag(const QString &value);
    QString field_separator() const { return m_fields.fieldSeparator; }
    void setField_separator(const QString &value);
    QString use_end_of_record_in_last_record() const { return m_useEndOfRecordInLastRecord; }
    void setUse_end_of_record_in_last_record(const QString &value);
    bool useFieldNamesAsFirstRow() const { return m_useFieldNamesAsFirstRow; }
    void setUseFieldNamesAsFirstRow(bool value);
    QObject *attachToWin() const { return m_attachToWin.data(); }
    Phase phase() const { return m_phase; }

Q_SIGNALS:
    void keyListsChanged();
    void leftSelectionChanged(const QList<qsizetype> &value);
    void rightSelectionChanged(const QList<qsizetype> &value);
    void suggestedFileNameChanged(const QString &value);
    void fileFormatToSaveChanged(qint32 value);
    void delimiterFieldsChanged();
    void useFieldNamesAsFirstRowChanged(bool value);
    void phaseChanged(quillcast::LXDataExportManager::Phase value);
    // A background write's records written of total, on the main thread, at
    // most every 50 ms and once at the end.
    void progressChanged(qint64 done, qint64 total);
    // A write started with startWritingToFile has ended; error is empty when
    // the file was written.
    void writeFinished(bool ok, const QString &error);

protected:
    // Hooks; nothing here.
    virtual void preExportSettings() {}
    virtual void willExport() {}
    virtual void didExport() {}

private:
    void setPhase(Phase phase);
    void reportWrite(const Status &written);
    void setField(QString &field, const QString &value);

    Services m_services;
    QLocale m_locale;
    List m_dataArray;
    std::shared_ptr<const ArchivedAddressList> m_archived;
    List m_allKeyArray;
    List m_leftKeyArray;
    List m_rightKeyArray;
    QList<qsizetype> m_leftSelection;
    QList<qsizetype> m_rightSelection;
    QString m_suggestedFileName;
    qint32 m_fileFormatToSave = ExportDelimiters::FormatTsv;
    // The delimiter fields as typed (escapes not yet turned into characters).
    ExportDelimiters m_fields;
    QString m_useEndOfRecordInLastRecord;
    bool m_useFieldNamesAsFirstRow = false;
    QPointer<QObject> m_attachToWin;
    Phase m_phase = Phase::Idle;
    bool m_runsInBackground = false;
    std::unique_ptr<WorkerRun> m_worker; // made on the first background write
};

} // namespace quillcast
