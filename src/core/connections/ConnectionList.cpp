#include "connections/ConnectionList.h"

#include "connections/ConnectionStore.h"
#include "connections/HardwareAddress.h"
#include "connections/LXCommonCrypto.h"
#include "connections/SecureRandomSource.h"
#include "document/UndoManager.h"
#include "platform/AlertPresenter.h"
#include "platform/MainLoop.h"

#include <QPointer>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

const QString kConnectionArray = u"connectionArray"_s;
const QString kSalt = u"salt"_s;
const QString kIV = u"iv"_s;
const QString kPassword = u"password"_s;
const QString kCryptoPassword = u"cryptopw"_s;
const QString kDescription = u"mailServerDescription"_s;
const QString kServerName = u"mailServerName"_s;

const QString addConnectionAction = u"Add Connection"_s;
const QString deleteConnectionAction = u"Delete Connection"_s;

// The single-server settings of release 1, in the order they are taken over.
const QStringList &releaseOneKeys()
{
    static const QStringList keys{u"mailServerName"_s,  u"mailServerDescription"_s, u"useCustomPort"_s,
                                  u"customPortUsed"_s,  u"connectionType"_s,        u"useAuth"_s,
                                  u"username"_s,        u"password"_s};
    return keys;
}

// The settings file keeps top-level numbers as text; the connection keeps
// them as the numbers they are.
Value releaseOneValue(const QString &key, const Value &stored)
{
    if (key == u"useCustomPort" || key == u"customPortUsed" || key == u"connectionType")
        return Value(stored.toInt64());
    if (key == u"useAuth")
        return Value(stored.toBool());
    return Value(stored.toString());
}

} // namespace

ConnectionList::ConnectionList(Services services, QObject *parent)
    : QObject(parent),
      m_services(services),
      m_privateUndo(std::make_unique<UndoManager>()),
      m_undo(m_privateUndo.get())
{
    // Until the preferences window hands over its own stack, the list keeps
    // the last 20 additions and deletions.
    m_privateUndo->setLevelsOfUndo(PrivateUndoLevels);
}

ConnectionList::~ConnectionList() = default;

void ConnectionList::setUndoManager(UndoManager *undo)
{
    m_undo = undo ? undo : m_privateUndo.get();
}

QString ConnectionList::passwdUsedToEnc() const
{
    return m_services.hardwareAddress.text() + QString::fromUtf16(DevicePasswordSuffix);
}

LXCommonCrypto &ConnectionList::myCommonCrypto()
{
    if (!m_crypto)
        m_crypto = std::make_unique<LXCommonCrypto>(passwdUsedToEnc(), m_services.random);
    return *m_crypto;
}

Status ConnectionList::loadConnections()
{
    const List stored = m_services.store.value(kConnectionArray).toList();
    if (stored.isEmpty())
        return takeOverReleaseOneSettings();

    LXCommonCrypto &crypto = myCommonCrypto();
    // A pair of other lengths never comes from a save; the fresh pair is kept
    // then, so that the next save writes a usable one.
    const QByteArray salt = m_services.store.value(kSalt).toBytes();
    const QByteArray iv = m_services.store.value(kIV).toBytes();
    if (!salt.isEmpty())
        crypto.setSalt(salt);
    if (iv.size() == LXCommonCrypto::IVLength)
        crypto.setIV(iv);

    List::Items loaded;
    for (const Value &entry : stored.items()) {
        if (!entry.isDict())
            continue;
        Dict connection = entry.toDict().deepCopy();
        connection.remove(kPassword);
        const Value encrypted = connection.value(kCryptoPassword);
        if (!encrypted.isNull()) {
            // Another machine's list, or damaged bytes: no password, and no word.
            const std::optional<QByteArray> clear = crypto.decrypt(encrypted.toBytes());
            if (clear && !clear->isEmpty()) {
                const QString text = QString::fromUtf8(*clear);
                if (text.toUtf8() == *clear)
                    connection.set(kPassword, Value(text));
            }
        }
        connection.remove(kCryptoPassword);
        loaded.push_back(Value(connection));
    }
    m_connections.setItems(std::move(loaded));
    Q_EMIT connectionArrayChanged();
    return success();
}

Status ConnectionList::takeOverReleaseOneSettings()
{
    if (!m_services.store.contains(u"mailServerName"_s))
        return success();
    Dict connection;
    for (const QString &key : releaseOneKeys()) {
        if (m_services.store.contains(key))
            connection.set(key, releaseOneValue(key, m_services.store.value(key)));
    }
    m_connections.append(Value(connection));
    Q_EMIT connectionArrayChanged();

    // The old keys go in the same write that stores the connection, so that
    // neither a crash loses the server nor its clear password stays behind.
    std::vector<ConnectionStore::Change> removals;
    for (const QString &key : releaseOneKeys())
        removals.emplace_back(key, Value());
    return writeStoredForm(std::move(removals));
}

Status ConnectionList::encryptPreferences()
{
    return writeStoredForm({});
}

Status ConnectionList::writeStoredForm(std::vector<std::pair<QString, Value>> alsoChange)
{
    LXCommonCrypto &crypto = myCommonCrypto();
    // The source failed when the cipher was made: try for a pair again. No
    // stored password was decrypted with the missing pair, so none is lost.
    if (crypto.IV().size() != LXCommonCrypto::IVLength || crypto.salt().isEmpty())
        crypto.recalcIV_Salt_AESKey();

    List::Items toSave;
    for (const Value &entry : m_connections.items()) {
        Dict copy = entry.toDict().deepCopy();
        const std::optional<QByteArray> encrypted = crypto.encrypt(copy.stringValue(kPassword).toUtf8());
        if (!encrypted) {
            m_lastStore = Status::failure(u"the connection passwords could not be encrypted"_s);
            Q_EMIT storeFailed(m_lastStore.error());
            return m_lastStore;
        }
        copy.set(kCryptoPassword, Value(*encrypted));
        copy.remove(kPassword);
        toSave.push_back(Value(copy));
    }
    alsoChange.emplace_back(kSalt, Value(crypto.salt()));
    alsoChange.emplace_back(kIV, Value(crypto.IV()));
    alsoChange.emplace_back(kConnectionArray, Value(List(std::move(toSave))));
    m_lastStore = m_services.store.write(alsoChange);
    if (!m_lastStore)
        Q_EMIT storeFailed(m_lastStore.error());
    return m_lastStore;
}

QString ConnectionList::newConnectionId()
{
    std::optional<QByteArray> bytes = m_services.random.randomBytes(16);
    if (!bytes || bytes->size() != 16)
        return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    // A version 4 (random) UUID.
    (*bytes)[6] = char((quint8(bytes->at(6)) & 0x0f) | 0x40);
    (*bytes)[8] = char((quint8(bytes->at(8)) & 0x3f) | 0x80);
    return QUuid::fromRfc4122(*bytes).toString(QUuid::WithoutBraces).toUpper();
}

Dict ConnectionList::newConnection()
{
    return Dict{{u"id"_s, Value(newConnectionId())},
                {kDescription, Value(u"Untitled"_s)},
                {kServerName, Value(QString(u""_s))},
                {u"username"_s, Value(QString(u""_s))},
                {kPassword, Value(QString(u""_s))},
                {u"port"_s, Value(qint64(0))},
                {u"connectionType"_s, Value(qint64(0))},
                {u"authenticationType"_s, Value(qint64(1))}};
}

Dict ConnectionList::addNewConnection()
{
    const Dict connection = newConnection();
    addConnectionDict(connection);
    setUnlockedConnection(true);
    return connection;
}

void ConnectionList::addConnectionDict(const Dict &connection)
{
    m_undo->registerUndo([this, connection] { addConnectionDictUndo(connection); });
    m_undo->setActionName(addConnectionAction);
    m_connections.append(Value(connection));
    changed();
}

void ConnectionList::addConnectionDictUndo(const Dict &connection)
{
    m_undo->registerUndo([this, connection] { addConnectionDict(connection); });
    m_undo->setActionName(addConnectionAction);
    const qsizetype index = m_connections.indexOfObject(connection.identity());
    if (index >= 0)
        m_connections.removeAt(index);
    changed();
}

void ConnectionList::deleteConnectionDict(const Dict &connection)
{
    m_undo->registerUndo([this, connection] { deleteConnectionDictUndo(connection); });
    m_undo->setActionName(deleteConnectionAction);
    const qsizetype index = m_connections.indexOfObject(connection.identity());
    if (index >= 0)
        m_connections.removeAt(index);
    changed();
}

void ConnectionList::deleteConnectionDictUndo(const Dict &connection)
{
    m_undo->registerUndo([this, connection] { deleteConnectionDict(connection); });
    m_undo->setActionName(deleteConnectionAction);
    m_connections.append(Value(connection));
    changed();
}

void ConnectionList::deleteSelectedConnection()
{
    const std::optional<Dict> selected = selectedConnection();
    if (!selected)
        return;
    Alert alert;
    alert.messageText = u"Are you sure you want to delete the connection '%1' from the list?"_s.arg(
        selected->stringValue(kDescription));
    alert.informativeText = u"Operation can be reverted using undo"_s;
    alert.buttons = {u"Cancel"_s, u"Delete Connection"_s};
    alert.style = Alert::Style::Warning;
    alert.kind = Alert::Kind::Sheet;
    QPointer<ConnectionList> self(this);
    m_services.alerts.present(alert, [self](int chosen) {
        if (chosen != 1 || !self)
            return;
        self->m_services.mainLoop.post([self] {
            if (!self)
                return;
            // The connection selected when the deletion runs.
            if (const std::optional<Dict> current = self->selectedConnection())
                self->deleteConnectionDict(*current);
        });
    });
}

Status ConnectionList::editConnection(qsizetype index, const Dict &changes)
{
    if (index < 0 || index >= m_connections.size())
        return Status::failure(u"there is no connection %1"_s.arg(index));
    Dict connection = m_connections.at(index).toDict();
    for (const auto &entry : changes.snapshot().entries())
        connection.set(entry.first, entry.second);
    changed();
    return m_lastStore;
}

void ConnectionList::tableViewSelectionDidChange(const QList<qsizetype> &selectionIndexes)
{
    m_selection = selectionIndexes;
    setUnlockedConnection(false);
}

std::optional<Dict> ConnectionList::selectedConnection() const
{
    if (m_selection.isEmpty())
        return std::nullopt;
    const Value entry = m_connections.at(m_selection.last());
    if (!entry.isDict())
        return std::nullopt;
    return entry.toDict();
}

void ConnectionList::openPreferencesAtTab(int tab)
{
    if (m_openPreferences)
        m_openPreferences(tab);
}

void ConnectionList::setUnlockedConnection(bool unlocked)
{
    if (m_unlockedConnection == unlocked)
        return;
    m_unlockedConnection = unlocked;
    Q_EMIT unlockedConnectionChanged(unlocked);
}

void ConnectionList::changed()
{
    encryptPreferences();
    Q_EMIT connectionArrayChanged();
}

} // namespace quillcast
