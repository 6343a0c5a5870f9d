#pragma once

#include "import/LXDataImportManager.h"

namespace quillcast {

class MyDocument;

// Imports a text file into a mailing's exception list.
//
// Destinations: 0 "NO_IMPORT", 1 a separator, 2 "email", 3 "note"; "email"
// and "note" each belong to one column at most. Every new exception record
// is checked and starts with the next serial number under "num" and "" under
// "email" and "note"; it has no "date". When the run ends, the document is
// told at the next turn of the loop.
class MyExceptImportManager : public LXDataImportManager
{
    Q_OBJECT

    Q_PROPERTY(qint64 serialNum READ serialNum NOTIFY serialNumChanged)

public:
    // dataArray: the document's exceptArray. The document is held weakly.
    MyExceptImportManager(const List &dataArray, MyDocument *document, Services services, QObject *parent = nullptr);
    ~MyExceptImportManager() override;

    // One more than the largest "num" of the destination list, 1 for an
    // empty list.
    qint64 newSerialNum() const;

    qint64 serialNum() const { return m_serialNum; }
    MyDocument *document() const;

    // Reset and the cascade, which finds no listed keys here (the
    // destinations are "email" and "note" only).
    QList<Tool> offeredTools() const override { return {Tool::Reset, Tool::Cascade}; }

Q_SIGNALS:
    void serialNumChanged(qint64 value);

protected:
    void preImportSettings() override;
    std::optional<Dict> createNewObjectToImport() override;
    void didImport() override;
    std::optional<ImportRecordBuilder::Template> recordTemplate() override;
    void recordsWereMade(qint64 made) override;

private:
    void setSerialNum(qint64 value);

    qint64 m_serialNum = 0;
};

} // namespace quillcast
