#pragma once

#include "send/ConnectionProvider.h"
#include "util/Dict.h"
#include "util/List.h"
#include "util/Result.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace quillcast {

class AlertPresenter;
class SettingsFileStore;
class HardwareAddress;
class LXCommonCrypto;
class MainLoop;
class PasswordVault;
class SecretStore;
class SecureRandomSource;
class UndoManager;

// The user's SMTP connections, shared by every document: the list with the
// passwords in clear, its stored form with the passwords in the desktop's
// keyring (or, without one, encrypted under the device password), adding and
// deleting with undo, and the take-over of the single server of release 1.
//
// The stored form is written after every change to the list (and whenever
// asked, as at termination): a crash or a forced quit loses nothing.
class ConnectionList final : public QObject, public ConnectionProvider
{
    Q_OBJECT

public:
    struct Services
    {
        SettingsFileStore &store;
        SecureRandomSource &random; // salt, IV and connection identifiers
        const HardwareAddress &hardwareAddress;
        AlertPresenter &alerts;
        MainLoop &mainLoop; // where a confirmed deletion runs
        SecretStore *keyring = nullptr; // the desktop's keyring; none: passwords stay in the settings file
    };

    enum class PasswordLoading {
        All,
        // No password is read (nor a keyring asked); saves keep the stored
        // passwords as they are, except those set anew.
        None,
    };

    // Appended to the hardware address to make the device password.
    static constexpr char16_t DevicePasswordSuffix[] = u"Qc7mR2xLp";

    // Levels of the private undo stack the list starts with.
    static constexpr qsizetype PrivateUndoLevels = 20;

    explicit ConnectionList(Services services, QObject *parent = nullptr);
    ~ConnectionList() override;

    // The list itself, in its displayed order (a handle: changes show).
    List connectionArray() const { return m_connections; }
    UndoManager *undoManager() const { return m_undo; }
    // The stack the Undo and Redo commands of the preferences act on; the
    // list starts with a private one.
    void setUndoManager(UndoManager *undo);

    // Fills the list from the stored form, reading the passwords back, or
    // takes over the release-1 settings when no list is stored. Run once, at
    // launch.
    Status loadConnections(PasswordLoading loading = PasswordLoading::All);
    // Reads back the stored password of the connection at index, in a list
    // loaded without passwords: the one a send or a test needs.
    void readPassword(qsizetype index);
    // Writes the stored form: the list with every password in the keyring or
    // encrypted. Passwords unchanged since they were stored are left where
    // they are. When a password cannot be kept nothing is written, so the
    // stored list stays as it was.
    Status encryptPreferences();

    // A connection with the values of a new one (and a fresh identifier),
    // not yet in the list.
    Dict newConnection();

    // Commands.
    Dict addNewConnection();
    void addConnectionDict(const Dict &connection);
    void addConnectionDictUndo(const Dict &connection);
    // Asks first; deletes the selected connection when confirmed. The
    // question goes to the given presenter (a sheet on the preferences
    // window), or to the list's own.
    void deleteSelectedConnection();
    void deleteSelectedConnection(AlertPresenter &alerts);
    void deleteConnectionDict(const Dict &connection);
    void deleteConnectionDictUndo(const Dict &connection);
    // Changes fields of the connection at index (a null value removes the
    // field) and stores the list; a failure when there is no such connection.
    Status editConnection(qsizetype index, const Dict &changes);
    // One field, as the editor changes it; the null value removes the field.
    Status editConnectionField(qsizetype index, const QString &key, const Value &value);

    // The table's selection, as row indexes; the selected connection is the
    // last of them. A change of selection locks the editor; the same
    // selection set again (the table echoing what the list chose) does not.
    //
    // The list keeps the selection right as it changes: an added connection
    // (also by undo or redo) becomes the selection, and when the selected
    // connection goes, the one that takes its row (or the new last one) does.
    void setSelectionIndexes(const QList<qsizetype> &selectionIndexes);
    QList<qsizetype> selectionIndexes() const { return m_selection; }
    // The last of the selected connections; none when nothing is selected.
    std::optional<Dict> selectedConnection() const;
    // Its row; -1 when nothing is selected.
    qsizetype selectedIndex() const;

    // Whether the editor may change the selected connection: right after a
    // new connection was added, or once the user unlocked it.
    bool unlockedConnection() const { return m_unlockedConnection; }
    // The lock button. Unlocking needs a selected connection.
    void setUnlockedConnection(bool unlocked);
    bool canEditSelectedConnection() const { return m_unlockedConnection && selectedIndex() >= 0; }

    // The device password: the hardware address text and the fixed suffix.
    QString passwdUsedToEnc() const;
    // Created on first need with the device password; it reads the passwords
    // that earlier releases stored under the list's shared salt and IV.
    LXCommonCrypto &myCommonCrypto();

    // The outcome of the last write of the stored form.
    const Status &lastStoreStatus() const { return m_lastStore; }

    // ConnectionProvider.
    List connections() const override { return m_connections; }
    void openPreferencesAtTab(int tab) override;
    void setPreferencesOpener(std::function<void(int)> opener) { m_openPreferences = std::move(opener); }

Q_SIGNALS:
    // The list gained or lost a connection, or a connection changed.
    void connectionArrayChanged();
    void unlockedConnectionChanged(bool unlocked);
    // Finer news of the same changes, for the table: sent once the list has
    // changed, before connectionArrayChanged.
    void connectionInserted(qsizetype row);
    void connectionRemoved(qsizetype row);
    void connectionEdited(qsizetype row);
    void selectionIndexesChanged(const QList<qsizetype> &selectionIndexes);
    // A write of the stored form failed; the message says why.
    void storeFailed(const QString &message);

private:
    void changed();
    void appendConnection(const Dict &connection);
    void removeConnection(const Dict &connection);
    // Sets the selection; a different one locks the editor unless only the
    // rows of the same connections moved.
    enum class Locking { Lock, Keep };
    void select(const QList<qsizetype> &selectionIndexes, Locking locking = Locking::Lock);
    QString newConnectionId();
    Status takeOverReleaseOneSettings();
    // Stores the list as read from the binary form of earlier builds in the
    // readable one, entries unchanged.
    void rewriteInGroups(const List &stored);
    // The stored form, with further changes of the settings in the same write.
    Status writeStoredForm(std::vector<std::pair<QString, Value>> alsoChange);
    PasswordVault &vault();
    // Sets the password read back from a stored entry on the connection and
    // records where it stands.
    void takeRecovered(Dict &connection, const Dict &entries);

    // Where a connection's password stands in the stored form as last read
    // or written.
    struct KeptPassword
    {
        Dict connection; // holds the connection, so that its identity is not reused
        Dict entries; // the password entries of its stored form
        QByteArray fingerprint; // of the password they keep
        bool unread = false; // not read back: kept as they are while no password is set
    };

    Services m_services;
    List m_connections;
    std::unique_ptr<UndoManager> m_privateUndo;
    UndoManager *m_undo;
    std::unique_ptr<LXCommonCrypto> m_crypto;
    std::unique_ptr<PasswordVault> m_vault;
    QHash<const void *, KeptPassword> m_kept;
    // The keyring items the settings file refers to.
    QSet<QString> m_storedReferences;
    QList<qsizetype> m_selection;
    bool m_unlockedConnection = false;
    Status m_lastStore = success();
    std::function<void(int)> m_openPreferences;
};

} // namespace quillcast
