#include "import/MyExceptImportManager.h"

#include "database/ExceptionCommands.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/MainLoop.h"
#include "import/MyDataImportManager.h"

#include <limits>
#include <memory>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

QStringList exceptionMenuTitles()
{
    return {MyDataImportManager::doNotImportTitle(), QString(), u"Email"_s, u"Note"_s};
}

} // namespace

MyExceptImportManager::MyExceptImportManager(const List &dataArray, MyDocument *document, Services services,
                                             QObject *parent)
    : LXDataImportManager(dataArray, List(), document, services, parent)
{
    setImportFieldKeyArray(
        {noImportEntry(), QString(), DocumentKeys::exceptEmail(), DocumentKeys::exceptNote()});
    setImportFieldMenuTitles(exceptionMenuTitles());
}

MyExceptImportManager::~MyExceptImportManager()
{
    stopBackgroundWork();
}

MyDocument *MyExceptImportManager::document() const
{
    return qobject_cast<MyDocument *>(requester());
}

qint64 MyExceptImportManager::newSerialNum() const
{
    return nextSerialNumber(outsideDataArray(), DocumentKeys::exceptNumber());
}

void MyExceptImportManager::preImportSettings()
{
    setSerialNum(newSerialNum());
    setImportFieldMenuTitles(exceptionMenuTitles());
}

std::optional<Dict> MyExceptImportManager::createNewObjectToImport()
{
    static const QString empty(u""_s);
    Dict record{{DocumentKeys::exceptNumber(), Value(m_serialNum)},
                {DocumentKeys::exceptChecked(), Value(true)},
                {DocumentKeys::exceptEmail(), Value(empty)},
                {DocumentKeys::exceptNote(), Value(empty)}};
    setSerialNum(m_serialNum == std::numeric_limits<qint64>::max() ? m_serialNum : m_serialNum + 1);
    return record;
}

void MyExceptImportManager::didImport()
{
    QPointer<MyDocument> doc(document());
    if (!doc)
        return;
    mainLoop().post([doc] {
        if (doc)
            ExceptionCommands(*doc).justFinishedImportingExcept();
    });
}

std::optional<ImportRecordBuilder::Template> MyExceptImportManager::recordTemplate()
{
    const QString empty(u""_s);
    return ImportRecordBuilder::Template{{{DocumentKeys::exceptNumber(), Value(m_serialNum)},
                                          {DocumentKeys::exceptChecked(), Value(true)},
                                          {DocumentKeys::exceptEmail(), Value(empty)},
                                          {DocumentKeys::exceptNote(), Value(empty)}},
                                         DocumentKeys::exceptNumber(),
                                         m_serialNum};
}

void MyExceptImportManager::recordsWereMade(qint64 made)
{
    const qint64 room = std::numeric_limits<qint64>::max() - m_serialNum;
    setSerialNum(made >= room ? std::numeric_limits<qint64>::max() : m_serialNum + made);
}

void MyExceptImportManager::setSerialNum(qint64 value)
{
    if (m_serialNum == value)
        return;
    m_serialNum = value;
    Q_EMIT serialNumChanged(value);
}

} // namespace quillcast
