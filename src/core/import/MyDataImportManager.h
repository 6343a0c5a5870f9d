#pragma once

#include "import/LXDataImportManager.h"

#include <QPointer>

namespace quillcast {

class MyDocument;

// Imports a text file into a mailing's address records.
//
// Destinations, index by index: 0 "NO_IMPORT", 1 a separator, 2 "NEW_FIELD"
// (a new DB key is made for the column when the run starts), 3 a separator,
// then the inner key of every DB key from the third on (the first two, the
// record number and the checked flag, are filled here). Several columns may
// share "NO_IMPORT" or "NEW_FIELD"; a listed key belongs to one column.
//
// Every new record starts with the next serial number under "1", unchecked,
// and "" under "3" up to the number of DB keys; the file's values go in over
// that. When the run ends, the document is told at the next turn of the loop.
//
// When the first row is held back (it names the columns), a new column takes
// the name its file column has there, unless that name is blank or already
// names a column; otherwise it is called KEY<n>.
class MyDataImportManager : public LXDataImportManager
{
    Q_OBJECT

    Q_PROPERTY(qint64 serialNum READ serialNum NOTIFY serialNumChanged)
    Q_PROPERTY(qint32 sizeOfRecord READ sizeOfRecord NOTIFY sizeOfRecordChanged)

public:
    // dataArray and keyArray: the document's addressArray and keyArray. The
    // document is held weakly; without it new columns cannot be made and
    // nobody is told of the end of a run.
    MyDataImportManager(const List &dataArray, const List &keyArray, MyDocument *document, Services services,
                        QObject *parent = nullptr);
    // Waits for a background run still at work (its loading hooks are this
    // object's).
    ~MyDataImportManager() override;

    // One more than the largest record number ("1") of the destination list,
    // 1 for an empty list.
    qint64 newSerialNum() const;

    // After tryAssignFromFirstRow: every column that is still not imported
    // and whose first-row name is not blank goes to a new column, so that no
    // named column of the file is left behind.
    void newColumnsForUnmatchedNames();

    qint64 serialNum() const { return m_serialNum; }
    qint32 sizeOfRecord() const { return m_sizeOfRecord; }
    MyDocument *document() const;

    // The titles of the first menu items, which come with the dialog.
    static QString doNotImportTitle(); // "Do not import"
    static QString newColumnTitle(); // "Create a new column"

Q_SIGNALS:
    void serialNumChanged(qint64 value);
    void sizeOfRecordChanged(qint32 value);

protected:
    void preImportSettings() override;
    void willImport() override;
    std::optional<Dict> createNewObjectToImport() override;
    void didImport() override;
    // The background run: the template and serial numbers taken at its
    // start, new columns planned under the keys they will get and made when
    // the records are added.
    std::optional<ImportRecordBuilder::Template> recordTemplate() override;
    QStringList plannedFinalKeys() override;
    QStringList makePlannedKeys(const QStringList &planned) override;
    void recordsWereMade(qint64 made) override;
    // "NO_IMPORT", "NEW_FIELD" and the separators may be shared by columns.
    bool isExclusiveDestination(qint32 destination) const override { return destination >= 4; }

private:
    void setSerialNum(qint64 value);
    void setSizeOfRecord(qint32 value);
    // The template's entries in key order, rebuilt when sizeOfRecord changes,
    // so that every record shares the key strings instead of making its own.
    const Dict::Entries &templateEntries();

    qint64 m_serialNum = 0;
    qint32 m_sizeOfRecord = 5;
    Dict::Entries m_template;
    qint32 m_templateSize = -1;
    size_t m_numberEntry = 0; // where "1" is in the template
};

} // namespace quillcast
