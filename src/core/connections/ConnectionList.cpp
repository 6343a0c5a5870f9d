#include "connections/ConnectionList.h"

#include "connections/HardwareAddress.h"
#include "connections/LXCommonCrypto.h"
#include "connections/PasswordVault.h"
#include "connections/SecureRandomSource.h"
#include "connections/StoredConnectionForm.h"
#include "platform/AlertPresenter.h"
#include "platform/MainLoop.h"
#include "platform/SettingsFileStore.h"
#include "platform/UserDefaultsKeys.h"
#include "util/UndoManager.h"

#include <QPointer>
#include <QUuid>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

const QString &kSalt = UserDefaultsKeys::salt;
const QString &kIV = UserDefaultsKeys::iv;
const QString kPassword = u"password"_s;
const QString kDescription = u"mailServerDescription"_s;
const QString kServerName = u"mailServerName"_s;

const QString addConnectionAction = u"Add Connection"_s;
const QString deleteConnectionAction = u"Delete Connection"_s;

// The single-server settings of release 1, in the order they are taken over.
const QStringList &releaseOneKeys()
{
    static const QStringList keys = UserDefaultsKeys::releaseOneServerKeys();
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

PasswordVault &ConnectionList::vault()
{
    if (!m_vault)
        m_vault = std::make_unique<PasswordVault>(m_services.keyring, m_services.random, passwdUsedToEnc(),
                                                  myCommonCrypto());
    return *m_vault;
}

Status ConnectionList::loadConnections(PasswordLoading loading)
{
    const StoredConnectionForm::Stored storedForm = StoredConnectionForm::read(m_services.store);
    const List stored = storedForm.connections;
    if (stored.isEmpty())
        return takeOverReleaseOneSettings();

    LXCommonCrypto &crypto = myCommonCrypto();
    // The pair of the passwords earlier releases stored. A pair of other
    // lengths never comes from a save: such passwords stay unread.
    const QByteArray salt = m_services.store.value(kSalt).toBytes();
    const QByteArray iv = m_services.store.value(kIV).toBytes();
    if (!salt.isEmpty())
        crypto.setSalt(salt);
    if (iv.size() == LXCommonCrypto::IVLength)
        crypto.setIV(iv);

    const QStringList passwordKeys = PasswordVault::passwordKeys();
    List::Items loaded;
    for (const Value &entry : stored.items()) {
        if (!entry.isDict())
            continue;
        Dict connection = entry.toDict().deepCopy();
        connection.remove(kPassword);
        Dict entries;
        for (const QString &key : passwordKeys) {
            if (connection.contains(key))
                entries.set(key, connection.value(key));
            connection.remove(key);
        }
        if (const QString reference = PasswordVault::keyringReference(entries); !reference.isEmpty())
            m_storedReferences.insert(reference);

        // Unread passwords stay in the stored form as they are.
        m_kept.insert(connection.identity(), KeptPassword{connection, entries, QByteArray(), true});
        if (loading == PasswordLoading::All)
            takeRecovered(connection, entries);
        loaded.push_back(Value(connection));
    }
    m_connections.setItems(std::move(loaded));
    Q_EMIT connectionArrayChanged();
    if (storedForm.inOneValue)
        rewriteInGroups(stored);
    return success();
}

void ConnectionList::rewriteInGroups(const List &stored)
{
    // Only the form changes: every entry goes over as it was read, passwords
    // in whatever form they were (an earlier release's, a keyring item this
    // session cannot reach), so nothing is re-encrypted or dropped from the
    // keyring here. A clear password was never read from the stored form
    // and does not go into the readable one. Should the write fail, the
    // list is loaded all the same and the next change writes again.
    List::Items entries;
    for (const Value &entry : stored.items()) {
        if (!entry.isDict())
            continue;
        Dict copy = entry.toDict().deepCopy();
        copy.remove(kPassword);
        entries.push_back(Value(copy));
    }
    if (const Status written = m_services.store.write(StoredConnectionForm::changes(List(std::move(entries))));
        !written) {
        m_lastStore = written;
        Q_EMIT storeFailed(written.error());
    }
}

void ConnectionList::takeRecovered(Dict &connection, const Dict &entries)
{
    // Another machine's list, damaged bytes or no keyring: no password, and
    // no word.
    const PasswordVault::Recovered recovered = vault().recover(entries);
    if (recovered.password && !recovered.password->isEmpty())
        connection.set(kPassword, Value(*recovered.password));
    switch (recovered.form) {
    case PasswordVault::Form::None:
    case PasswordVault::Form::Current:
        m_kept.insert(connection.identity(),
                      KeptPassword{connection, entries,
                                   vault().fingerprint(recovered.password.value_or(QString())), false});
        break;
    case PasswordVault::Form::Unreadable:
        break;
    case PasswordVault::Form::Outdated:
        m_kept.remove(connection.identity()); // kept anew at the next save
        break;
    }
}

void ConnectionList::readPassword(qsizetype index)
{
    if (index < 0 || index >= m_connections.size())
        return;
    Dict connection = m_connections.at(index).toDict();
    const auto kept = m_kept.constFind(connection.identity());
    if (kept == m_kept.cend() || !kept->unread || connection.contains(kPassword))
        return;
    const Dict entries = kept->entries;
    takeRecovered(connection, entries);
}

Status ConnectionList::takeOverReleaseOneSettings()
{
    if (!m_services.store.contains(releaseOneKeys().first()))
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
    std::vector<SettingsFileStore::Change> removals;
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
    PasswordVault &passwords = vault();
    const QStringList passwordKeys = PasswordVault::passwordKeys();
    QHash<const void *, KeptPassword> kept;
    QSet<QString> references;
    QSet<QString> madeNow;
    const auto fail = [&](const QString &message) {
        // Items made for a write that does not happen would be referred to by nothing.
        for (const QString &reference : std::as_const(madeNow))
            passwords.forget(Dict{{QString::fromUtf16(PasswordVault::KeyringReferenceKey), Value(reference)}});
        m_lastStore = Status::failure(message);
        Q_EMIT storeFailed(m_lastStore.error());
        return m_lastStore;
    };

    List::Items toSave;
    for (const Value &entry : m_connections.items()) {
        const Dict connection = entry.toDict();
        const QString password = connection.stringValue(kPassword);
        KeptPassword current;
        const auto before = m_kept.constFind(connection.identity());
        const bool unchanged = before != m_kept.cend()
            && (before->unread ? password.isEmpty() : before->fingerprint == passwords.fingerprint(password));
        if (unchanged) {
            current = *before;
        } else {
            const Result<Dict> entries = passwords.keep(connection.stringValue(kDescription), password);
            if (!entries)
                return fail(entries.error());
            current = {connection, entries.value(), passwords.fingerprint(password), false};
            if (const QString made = PasswordVault::keyringReference(current.entries); !made.isEmpty())
                madeNow.insert(made);
        }
        Dict copy = connection.deepCopy();
        copy.remove(kPassword);
        for (const QString &key : passwordKeys)
            copy.remove(key);
        for (const auto &passwordEntry : current.entries.snapshot().entries())
            copy.set(passwordEntry.first, passwordEntry.second);
        if (const QString reference = PasswordVault::keyringReference(current.entries); !reference.isEmpty())
            references.insert(reference);
        kept.insert(connection.identity(), current);
        toSave.push_back(Value(copy));
    }
    // The list's shared salt and IV stay as earlier releases wrote them, for
    // the entries still in their form.
    for (SettingsFileStore::Change &change : StoredConnectionForm::changes(List(std::move(toSave))))
        alsoChange.push_back(std::move(change));
    if (const Status written = m_services.store.write(alsoChange); !written)
        return fail(written.error());
    m_lastStore = success();

    // The passwords of connections gone, or changed, leave the keyring once
    // the file no longer refers to them.
    for (const QString &reference : std::as_const(m_storedReferences)) {
        if (!references.contains(reference))
            passwords.forget(Dict{{QString::fromUtf16(PasswordVault::KeyringReferenceKey), Value(reference)}});
    }
    m_storedReferences = references;
    m_kept = kept;
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
    appendConnection(connection);
}

void ConnectionList::addConnectionDictUndo(const Dict &connection)
{
    m_undo->registerUndo([this, connection] { addConnectionDict(connection); });
    m_undo->setActionName(addConnectionAction);
    removeConnection(connection);
}

void ConnectionList::deleteConnectionDict(const Dict &connection)
{
    m_undo->registerUndo([this, connection] { deleteConnectionDictUndo(connection); });
    m_undo->setActionName(deleteConnectionAction);
    removeConnection(connection);
}

void ConnectionList::deleteConnectionDictUndo(const Dict &connection)
{
    m_undo->registerUndo([this, connection] { deleteConnectionDict(connection); });
    m_undo->setActionName(deleteConnectionAction);
    appendConnection(connection);
}

void ConnectionList::appendConnection(const Dict &connection)
{
    m_connections.append(Value(connection));
    const qsizetype row = m_connections.size() - 1;
    Q_EMIT connectionInserted(row);
    // What was just added is what the user works on next.
    select({row});
    changed();
}

void ConnectionList::removeConnection(const Dict &connection)
{
    const qsizetype row = m_connections.indexOfObject(connection.identity());
    if (row < 0) {
        changed();
        return;
    }
    const qsizetype selectedRow = selectedIndex();
    // The rows below the removed one move up. Worked out before anyone
    // hears of the removal, as a table may answer with a selection of its own.
    QList<qsizetype> kept;
    for (const qsizetype index : std::as_const(m_selection)) {
        if (index < row)
            kept.append(index);
        else if (index > row)
            kept.append(index - 1);
    }
    m_connections.removeAt(row);
    Q_EMIT connectionRemoved(row);
    if (selectedRow >= 0 && selectedRow != row) {
        // The same connection stays selected, only its row moved: the editor
        // keeps its lock.
        select(kept, Locking::Keep);
    } else {
        // The removed one's place goes to the connection that now holds its
        // row, or to the new last one.
        const qsizetype replacement = std::min(row, m_connections.size() - 1);
        kept.removeAll(replacement);
        if (replacement >= 0)
            kept.append(replacement);
        select(kept);
    }
    changed();
}

void ConnectionList::deleteSelectedConnection()
{
    deleteSelectedConnection(m_services.alerts);
}

void ConnectionList::deleteSelectedConnection(AlertPresenter &alerts)
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
    alerts.present(alert, [self](int chosen) {
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
    Q_EMIT connectionEdited(index);
    changed();
    return m_lastStore;
}

Status ConnectionList::editConnectionField(qsizetype index, const QString &key, const Value &value)
{
    if (index < 0 || index >= m_connections.size())
        return Status::failure(u"there is no connection %1"_s.arg(index));
    Dict connection = m_connections.at(index).toDict();
    connection.set(key, value);
    Q_EMIT connectionEdited(index);
    changed();
    return m_lastStore;
}

void ConnectionList::setSelectionIndexes(const QList<qsizetype> &selectionIndexes)
{
    QList<qsizetype> valid;
    for (const qsizetype index : selectionIndexes) {
        if (index >= 0 && index < m_connections.size() && !valid.contains(index))
            valid.append(index);
    }
    select(valid);
}

void ConnectionList::select(const QList<qsizetype> &selectionIndexes, Locking locking)
{
    if (selectionIndexes == m_selection)
        return;
    m_selection = selectionIndexes;
    if (locking == Locking::Lock)
        setUnlockedConnection(false);
    Q_EMIT selectionIndexesChanged(m_selection);
}

qsizetype ConnectionList::selectedIndex() const
{
    if (m_selection.isEmpty() || m_selection.last() >= m_connections.size())
        return -1;
    return m_selection.last();
}

std::optional<Dict> ConnectionList::selectedConnection() const
{
    const qsizetype index = selectedIndex();
    if (index < 0)
        return std::nullopt;
    const Value entry = m_connections.at(index);
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
    if (unlocked && selectedIndex() < 0)
        unlocked = false;
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
