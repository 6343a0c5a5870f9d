#include "connections/ConnectionList.h"

#include "connections/HardwareAddress.h"
#include "connections/LXCommonCrypto.h"
#include "connections/StoredConnectionForm.h"
#include "platform/ManualMainLoop.h"
#include "ScriptedAlertPresenter.h"
#include "platform/SettingsFileStore.h"
#include "send/SendingValues.h"
#include "util/UndoManager.h"

#include "MemorySecretStore.h"
#include "ScriptedSecureRandomSource.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <cstdlib>
#include <functional>

using namespace Qt::StringLiterals;
using namespace quillcast;
using quillcast::testing::MemorySecretStore;
using quillcast::testing::ScriptedSecureRandomSource;

namespace {

// A machine: its /sys/class/net tree with one network card.
std::unique_ptr<QTemporaryDir> machineWith(const QString &macAddress)
{
    auto folder = std::make_unique<QTemporaryDir>();
    QDir(folder->path()).mkpath(u"eth0/device"_s);
    quillcast::testing::writeFile(folder->filePath(u"eth0/address"_s), macAddress.toLatin1());
    return folder;
}

// One run of the application: the list over the settings file of the test.
struct AppRun
{
    AppRun(const QString &settingsFile, const QString &netFolder, quint8 firstRandomByte = 1,
           SecretStore *keyring = nullptr)
        : store(settingsFile), random(firstRandomByte), address(netFolder),
          list({store, random, address, alerts, mainLoop, keyring})
    {
    }

    SettingsFileStore store;
    ScriptedSecureRandomSource random;
    HardwareAddress address;
    ScriptedAlertPresenter alerts;
    ManualMainLoop mainLoop;
    ConnectionList list;
};

class ConnectionListTest : public ::testing::Test
{
protected:
    QString settingsFile() const { return folder.filePath(u"Quillcast/Quillcast.ini"_s); }
    // A run on a desktop with a keyring (none: without one).
    std::unique_ptr<AppRun> launchWith(SecretStore *keyring,
                                       ConnectionList::PasswordLoading loading = ConnectionList::PasswordLoading::All,
                                       quint8 firstRandomByte = 1)
    {
        auto run = std::make_unique<AppRun>(settingsFile(), machine->path(), firstRandomByte, keyring);
        EXPECT_TRUE(run->list.loadConnections(loading).ok());
        return run;
    }
    std::unique_ptr<AppRun> launch(quint8 firstRandomByte = 1)
    {
        return launchWith(nullptr, ConnectionList::PasswordLoading::All, firstRandomByte);
    }
    QString passwordAt(const AppRun &run, qsizetype i) const
    {
        return run.list.connectionArray().at(i).toDict().stringValue(u"password"_s);
    }
    void storeInAnEarlierRun(const QString &description, const QString &password)
    {
        launch()->list.addConnectionDict(withPassword(description, password));
    }
    // The stored connections as a fresh reader sees them.
    List stored() const { return StoredConnectionForm::read(SettingsFileStore(settingsFile())).connections; }
    Dict storedAt(qsizetype i) const { return stored().at(i).toDict(); }
    QByteArray fileContents() const { return quillcast::testing::fileContents(settingsFile()); }
    int fileMode() const
    {
        struct stat info = {};
        return ::stat(QFile::encodeName(settingsFile()).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
    }

    static Dict withPassword(const QString &description, const QString &password)
    {
        return Dict{{u"mailServerDescription"_s, Value(description)}, {u"password"_s, Value(password)}};
    }

    QTemporaryDir folder;
    std::unique_ptr<QTemporaryDir> machine = machineWith(u"54:e1:ad:12:34:56"_s);
};

TEST_F(ConnectionListTest, NewConnectionSendsOnPort25UnencryptedWithAuthentication)
{
    auto run = launch();
    const Dict c = run->list.addNewConnection();
    EXPECT_TRUE(QRegularExpression(u"^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"_s)
                    .match(c.stringValue(u"id"_s))
                    .hasMatch())
        << c.stringValue(u"id"_s).toStdString();
    EXPECT_EQ(c.keys().size(), 8);
    EXPECT_EQ(c.stringValue(u"mailServerDescription"_s), u"Untitled"_s);
    const Dict sending = SendingValues::GetSendingValueFromDict(c);
    EXPECT_EQ(sending.intValue(u"port"_s), 25);
    EXPECT_EQ(sending.intValue(u"connectionType"_s), 0);
    EXPECT_TRUE(sending.boolValue(u"useAuth"_s));
}

// Steps of the user on a list, for the tables below.
using Step = std::function<void(AppRun &)>;
Step choose(QList<qsizetype> rows)
{
    return [rows](AppRun &run) { run.list.setSelectionIndexes(rows); };
}
Step unlock(bool open)
{
    return [open](AppRun &run) { run.list.setUnlockedConnection(open); };
}
Step deleteRow(qsizetype row)
{
    return [row](AppRun &run) { run.list.deleteConnectionDict(run.list.connectionArray().at(row).toDict()); };
}
const Step add = [](AppRun &run) { run.list.addNewConnection(); };
const Step undo = [](AppRun &run) { run.list.undoManager()->undo(); };
const Step redo = [](AppRun &run) { run.list.undoManager()->redo(); };
// The delete command, answered "Delete Connection".
const Step deleteSelected = [](AppRun &run) {
    run.alerts.queueAnswer(1);
    run.list.deleteSelectedConnection();
    run.mainLoop.runPending();
};

// The lock of the connection editor: open right after a new connection was
// added and while the user keeps it open; shut whenever another connection is
// chosen. The table echoes the selection the list made.
TEST_F(ConnectionListTest, EditorLockFollowsAddingChoosingAndTheLockButton)
{
    const struct { const char *name; std::vector<Step> steps; QList<qsizetype> selection; bool unlocked; } rows[] = {
        {"new connection is selected and open", {}, {2}, true},
        {"table echoing the selection keeps it open", {choose({2})}, {2}, true},
        {"choosing another connection locks", {choose({0})}, {0}, false},
        {"an existing connection can be unlocked", {choose({0}), unlock(true)}, {0}, true},
        {"and locked again by its button", {choose({0}), unlock(true), unlock(false)}, {0}, false},
        {"nothing selected cannot be unlocked", {choose({}), unlock(true)}, {}, false},
        {"rows out of the list are not a selection", {choose({7, -1})}, {}, false},
        {"undo of another add keeps the open one open", {choose({0}), unlock(true), deleteRow(1)}, {0}, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(settingsFile()); // each row starts with no stored list
        auto run = launch();
        run->list.addConnectionDict(withPassword(u"First"_s, u"a"_s));
        run->list.addConnectionDict(withPassword(u"Second"_s, u"b"_s));
        run->list.addNewConnection();
        for (const Step &step : row.steps)
            step(*run);
        EXPECT_EQ(run->list.selectionIndexes(), row.selection);
        EXPECT_EQ(run->list.unlockedConnection(), row.unlocked);
        EXPECT_EQ(run->list.canEditSelectedConnection(), row.unlocked);
    }
}

// The selected connection after each command and its undo and redo: what
// was added is selected, a deleted one's row goes to its neighbour.
TEST_F(ConnectionListTest, SelectionStaysRightThroughAddDeleteUndoAndRedo)
{
    // A table that answers the removed row with a selection of its own
    // (rows it has not moved yet) does not decide what is selected.
    const Step echoDuringRemoval = [](AppRun &run) {
        QObject::connect(&run.list, &ConnectionList::connectionRemoved, &run.list,
                         [&run] { run.list.setSelectionIndexes({1}); });
    };
    const struct { const char *name; std::vector<Step> steps; QString selected; } rows[] = {
        {"add selects the new one", {add}, u"Untitled"_s},
        {"delete in the middle selects the next", {choose({1}), deleteSelected}, u"Third"_s},
        {"delete of the last selects the new last", {choose({2}), deleteSelected}, u"Second"_s},
        {"undo of a delete selects the one put back", {choose({0}), deleteSelected, undo}, u"First"_s},
        {"redo of the delete selects its neighbour", {choose({0}), deleteSelected, undo, redo}, u"Third"_s},
        {"undo of an add selects the row before", {add, undo}, u"Third"_s},
        {"redo of the add selects it again", {add, undo, redo}, u"Untitled"_s},
        {"deleting another row keeps the selected one", {choose({2}), deleteRow(0)}, u"Third"_s},
        {"an echo during a removal is ignored", {choose({1}), echoDuringRemoval, deleteRow(0)}, u"Second"_s},
        {"deleting every connection selects nothing",
         {choose({0}), deleteSelected, choose({0}), deleteSelected, choose({0}), deleteSelected}, QString()},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(settingsFile()); // each row starts with no stored list
        auto run = launch();
        run->list.addConnectionDict(withPassword(u"First"_s, u"a"_s));
        run->list.addConnectionDict(withPassword(u"Second"_s, u"b"_s));
        run->list.addConnectionDict(withPassword(u"Third"_s, u"c"_s));
        run->list.undoManager()->removeAllActions();
        for (const Step &step : row.steps)
            step(*run);
        const std::optional<Dict> selected = run->list.selectedConnection();
        EXPECT_EQ(selected ? selected->stringValue(u"mailServerDescription"_s) : QString(), row.selected);
        EXPECT_LE(run->list.selectionIndexes().size(), 1);
    }
}

TEST_F(ConnectionListTest, WithoutAKeyringEachPasswordIsEncryptedWithASaltAndIVOfItsOwn)
{
    auto run = launch(0x40);
    run->list.addConnectionDict(withPassword(u"Work"_s, u"hunter2"_s));
    run->list.addConnectionDict(withPassword(u"Home"_s, u"hunter2"_s));
    run->list.addConnectionDict(withPassword(u"Empty"_s, QString()));
    run->list.addConnectionDict(withPassword(u"Abroad"_s, u"pässwörd"_s));
    run.reset();

    ASSERT_EQ(stored().size(), 4);
    const Dict work = storedAt(0);
    const Dict home = storedAt(1);
    EXPECT_EQ(work.value(u"cryptopwSalt"_s).toBytes().size(), 8);
    EXPECT_EQ(work.value(u"cryptopwIV"_s).toBytes().size(), 16);
    EXPECT_NE(work.value(u"cryptopwSalt"_s).toBytes(), home.value(u"cryptopwSalt"_s).toBytes());
    EXPECT_NE(work.value(u"cryptopwIV"_s).toBytes(), home.value(u"cryptopwIV"_s).toBytes());
    EXPECT_NE(work.value(u"cryptopwData"_s).toBytes(), home.value(u"cryptopwData"_s).toBytes());
    // Earlier releases read "cryptopw" with the list's shared pair; they
    // never see the new form as a password of theirs.
    for (const Dict &entry : {work, home, storedAt(2)}) {
        EXPECT_FALSE(entry.contains(u"password"_s));
        EXPECT_FALSE(entry.contains(u"cryptopw"_s));
    }
    EXPECT_FALSE(storedAt(2).contains(u"cryptopwData"_s));
    EXPECT_FALSE(SettingsFileStore(settingsFile()).contains(u"salt"_s));
    EXPECT_FALSE(fileContents().contains("hunter2"));

    // The device password and the entry's own pair read it back.
    const QByteArray key =
        LXCommonCrypto::AESKeyForPassword(u"54:e1:ad:12:34:56Qc7mR2xLp"_s, home.value(u"cryptopwSalt"_s).toBytes());
    EXPECT_EQ(LXCommonCrypto::cipher(LXCommonCrypto::Decrypt, key, home.value(u"cryptopwIV"_s).toBytes(),
                                     home.value(u"cryptopwData"_s).toBytes(), LXCommonCrypto::PKCS7Padding)
                  .value_or(QByteArray()),
              "hunter2");

    // The next launch reads them back; unchanged passwords are left as they
    // are stored.
    auto second = launch(0x90);
    ASSERT_EQ(second->list.connectionArray().size(), 4);
    EXPECT_EQ(passwordAt(*second, 0), u"hunter2"_s);
    EXPECT_EQ(passwordAt(*second, 3), u"pässwörd"_s);
    EXPECT_FALSE(second->list.connectionArray().at(3).toDict().contains(u"cryptopwData"_s));
    second->list.addConnectionDict(withPassword(u"More"_s, u"x"_s));
    EXPECT_EQ(storedAt(0).value(u"cryptopwData"_s).toBytes(), work.value(u"cryptopwData"_s).toBytes());
}

// The stored form of the release before: one salt and IV for the whole list
// and each password under "cryptopw".
void writeSharedPairList(const QString &file, const QString &devicePassword, const QList<QByteArray> &passwords)
{
    ScriptedSecureRandomSource random(0x70);
    LXCommonCrypto crypto(devicePassword, random);
    List list;
    for (const QByteArray &password : passwords)
        list.append(Value(Dict{{u"mailServerDescription"_s, Value(QString::fromUtf8(password))},
                               {u"cryptopw"_s, Value(crypto.encrypt(password).value_or(QByteArray()))}}));
    SettingsFileStore(file).write(
        {{u"salt"_s, Value(crypto.salt())}, {u"iv"_s, Value(crypto.IV())}, {u"connectionArray"_s, Value(list)}});
}

TEST_F(ConnectionListTest, ListOfTheReleaseBeforeIsReadAndRewrittenInTheNewForm)
{
    writeSharedPairList(settingsFile(), u"54:e1:ad:12:34:56Qc7mR2xLp"_s, {"first-secret", "second-secret"});
    const QByteArray sharedSalt = SettingsFileStore(settingsFile()).value(u"salt"_s).toBytes();
    auto run = launch();
    ASSERT_EQ(run->list.connectionArray().size(), 2);
    EXPECT_EQ(passwordAt(*run, 0), u"first-secret"_s);
    EXPECT_EQ(passwordAt(*run, 1), u"second-secret"_s);

    run->list.addNewConnection();
    for (qsizetype i : {0, 1}) {
        EXPECT_FALSE(storedAt(i).contains(u"cryptopw"_s)) << i;
        EXPECT_EQ(storedAt(i).value(u"cryptopwIV"_s).toBytes().size(), 16) << i;
    }
    EXPECT_EQ(SettingsFileStore(settingsFile()).value(u"salt"_s).toBytes(), sharedSalt);
    auto next = launch();
    EXPECT_EQ(passwordAt(*next, 1), u"second-secret"_s);
}

TEST_F(ConnectionListTest, WithAKeyringTheFileHoldsOnlyAReference)
{
    MemorySecretStore keyring;
    auto run = launchWith(&keyring);
    run->list.addConnectionDict(withPassword(u"Work"_s, u"hunter2"_s));
    run->list.addConnectionDict(withPassword(u"Open relay"_s, QString()));

    const Dict entry = storedAt(0);
    const QString reference = entry.stringValue(u"keyringPasswordRef"_s);
    EXPECT_EQ(keyring.items.value(reference), u"hunter2"_s);
    EXPECT_EQ(keyring.labels.value(reference), u"Quillcast: Work"_s);
    EXPECT_EQ(keyring.items.size(), 1); // nothing for the empty password
    for (const QString &key : {u"password"_s, u"cryptopw"_s, u"cryptopwData"_s, u"cryptopwSalt"_s, u"cryptopwIV"_s})
        EXPECT_FALSE(entry.contains(key)) << key.toStdString();
    EXPECT_FALSE(fileContents().contains("hunter2"));

    auto next = launchWith(&keyring);
    EXPECT_EQ(passwordAt(*next, 0), u"hunter2"_s);
}

TEST_F(ConnectionListTest, KeyringPasswordsSurviveRunsThatCannotReachTheKeyring)
{
    MemorySecretStore keyring;
    launchWith(&keyring)->list.addConnectionDict(withPassword(u"Work"_s, u"hunter2"_s));
    const struct
    {
        const char *name;
        bool onTheBus;
        bool locked;
    } rows[] = {{"no_keyring_on_the_bus", false, false}, {"keyring_locked", true, true}};
    for (const auto &row : rows) {
        keyring.refusing = row.locked;
        {
            auto run = launchWith(row.onTheBus ? &keyring : nullptr);
            EXPECT_TRUE(passwordAt(*run, 0).isEmpty()) << row.name;
            // Saves in between: another connection, an edit of this one.
            run->list.addConnectionDict(withPassword(u"Other"_s, u"x"_s));
            run->list.editConnection(0, Dict{{u"mailServerName"_s, Value(u"smtp.example.org"_s)}});
            ASSERT_TRUE(run->list.lastStoreStatus().ok()) << row.name;
            // The new password went into the file instead.
            EXPECT_TRUE(storedAt(1).contains(u"cryptopwData"_s)) << row.name;
            run->list.deleteConnectionDict(run->list.connectionArray().at(1).toDict());
        }
        keyring.refusing = false;
        auto later = launchWith(&keyring);
        EXPECT_EQ(passwordAt(*later, 0), u"hunter2"_s) << row.name;
    }
}

TEST_F(ConnectionListTest, ChangedAndDeletedPasswordsLeaveTheKeyring)
{
    MemorySecretStore keyring;
    auto run = launchWith(&keyring);
    run->list.addConnectionDict(withPassword(u"Work"_s, u"old"_s));
    const Dict home = withPassword(u"Home"_s, u"home"_s);
    run->list.addConnectionDict(home);
    run->list.editConnection(0, Dict{{u"password"_s, Value(u"new"_s)}});
    QStringList held = keyring.items.values();
    held.sort();
    EXPECT_EQ(held, (QStringList{u"home"_s, u"new"_s}));

    run->list.deleteConnectionDict(home);
    EXPECT_EQ(keyring.items.values(), QStringList{u"new"_s});
    // Undo puts the password back with the connection.
    ASSERT_TRUE(run->list.undoManager()->undo());
    EXPECT_EQ(keyring.items.size(), 2);
    EXPECT_EQ(passwordAt(*launchWith(&keyring), 1), u"home"_s);
}

TEST_F(ConnectionListTest, PasswordKeptInTheFileMovesIntoTheKeyringOnceThereIsOne)
{
    storeInAnEarlierRun(u"Work"_s, u"hunter2"_s);
    MemorySecretStore keyring;
    auto run = launchWith(&keyring);
    EXPECT_EQ(passwordAt(*run, 0), u"hunter2"_s);
    run->list.addNewConnection();
    EXPECT_FALSE(storedAt(0).contains(u"cryptopwData"_s));
    EXPECT_EQ(keyring.items.value(storedAt(0).stringValue(u"keyringPasswordRef"_s)), u"hunter2"_s);
}

TEST_F(ConnectionListTest, LoadedWithoutPasswordsOnlyThoseAskedForAreReadAndTheOthersStayStored)
{
    MemorySecretStore keyring;
    launchWith(&keyring)->list.addConnectionDict(withPassword(u"Work"_s, u"in-keyring"_s));
    storeInAnEarlierRun(u"File"_s, u"in-file"_s);
    keyring.lookups = 0;
    auto run = launchWith(&keyring, ConnectionList::PasswordLoading::None);
    EXPECT_EQ(keyring.lookups, 0);
    EXPECT_TRUE(passwordAt(*run, 0).isEmpty());
    run->list.readPassword(1);
    EXPECT_EQ(passwordAt(*run, 1), u"in-file"_s);
    EXPECT_TRUE(passwordAt(*run, 0).isEmpty());
    EXPECT_EQ(keyring.lookups, 0);

    run->list.addConnectionDict(withPassword(u"More"_s, u"m"_s));
    auto next = launchWith(&keyring, ConnectionList::PasswordLoading::None);
    next->list.readPassword(0);
    EXPECT_EQ(keyring.lookups, 1);
    EXPECT_EQ(passwordAt(*next, 0), u"in-keyring"_s);
    EXPECT_TRUE(passwordAt(*next, 2).isEmpty());
    next->list.readPassword(2);
    EXPECT_EQ(passwordAt(*next, 2), u"m"_s);
}

TEST_F(ConnectionListTest, PasswordSetByTheReleaseBeforeSinceIsTheOneRead)
{
    MemorySecretStore keyring;
    launchWith(&keyring)->list.addConnectionDict(withPassword(u"Work"_s, u"old"_s));
    const QString reference = storedAt(0).stringValue(u"keyringPasswordRef"_s);
    // The release before keeps the keys it does not know beside its own. Its
    // own empty password, written when it could not read ours, is not read.
    const std::pair<QByteArray, QString> rows[] = {{"changed-there", u"changed-there"_s}, {"", u"old"_s}};
    for (const auto &[writtenThere, read] : rows) {
        writeSharedPairList(settingsFile(), u"54:e1:ad:12:34:56Qc7mR2xLp"_s, {writtenThere});
        Dict rewritten = storedAt(0);
        rewritten.set(u"keyringPasswordRef"_s, Value(reference));
        SettingsFileStore(settingsFile()).write({{u"connectionArray"_s, Value(List({Value(rewritten)}))}});
        EXPECT_EQ(passwordAt(*launchWith(&keyring), 0), read) << writtenThere.constData();
    }
}

TEST_F(ConnectionListTest, AnotherMachineGetsTheConnectionsWithoutPasswordsAndLeavesThemStored)
{
    storeInAnEarlierRun(u"Work"_s, u"hunter2"_s);
    auto homeMachine = std::move(machine);
    machine = machineWith(u"00:1b:21:aa:bb:cc"_s);
    {
        auto second = launch();
        ASSERT_EQ(second->list.connectionArray().size(), 1);
        const Dict c = second->list.connectionArray().at(0).toDict();
        EXPECT_EQ(c.stringValue(u"mailServerDescription"_s), u"Work"_s);
        EXPECT_FALSE(c.contains(u"password"_s));
        EXPECT_FALSE(c.contains(u"cryptopwData"_s));
        // A change there saves the list without a password it could not read.
        second->list.addConnectionDict(withPassword(u"There"_s, u"x"_s));
    }
    // Back on the machine (or network card) it was stored with.
    machine = std::move(homeMachine);
    EXPECT_EQ(passwordAt(*launch(), 0), u"hunter2"_s);
}

TEST_F(ConnectionListTest, TheListSurvivesAProcessKilledRightAfterAnEdit)
{
    // Forked where it stands, so that the child writes into this test's folder.
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            auto run = launch();
            run->list.addNewConnection();
            run->list.editConnection(0, Dict{{u"mailServerName"_s, Value(u"smtp.example.org"_s)},
                                             {u"password"_s, Value(u"s3cret"_s)}});
            // No termination step: no destructors, no flushing.
            std::_Exit(9);
        },
        ::testing::ExitedWithCode(9), "");
    auto next = launch();
    ASSERT_EQ(next->list.connectionArray().size(), 1);
    const Dict c = next->list.connectionArray().at(0).toDict();
    EXPECT_EQ(c.stringValue(u"mailServerName"_s), u"smtp.example.org"_s);
    EXPECT_EQ(c.stringValue(u"password"_s), u"s3cret"_s);
}

TEST_F(ConnectionListTest, SettingsFileIsReadableByTheUserAlone)
{
    auto run = launch();
    run->list.addNewConnection();
    EXPECT_EQ(fileMode(), 0600);
    // Loosened by hand: the next write makes it private again.
    ::chmod(QFile::encodeName(settingsFile()).constData(), 0644);
    run->list.addNewConnection();
    EXPECT_EQ(fileMode(), 0600);
}

// Undo and redo reach the stored list: an add undone and redone is the same
// connection again, a delete undone puts it back at the end.
TEST_F(ConnectionListTest, UndoAndRedoOfAddAndDeleteAreStored)
{
    auto run = launch();
    const Dict first = withPassword(u"First"_s, u"a"_s);
    run->list.addConnectionDict(first);
    const Dict added = run->list.addNewConnection();
    UndoManager &history = *run->list.undoManager();
    EXPECT_EQ(history.undoActionName(), u"Add Connection"_s);
    ASSERT_TRUE(history.undo());
    EXPECT_EQ(stored().size(), 1);
    EXPECT_EQ(history.redoActionName(), u"Add Connection"_s);
    ASSERT_TRUE(history.redo());
    ASSERT_EQ(run->list.connectionArray().size(), 2);
    EXPECT_EQ(run->list.connectionArray().at(1).toDict().stringValue(u"id"_s), added.stringValue(u"id"_s));
    EXPECT_EQ(storedAt(1).stringValue(u"id"_s), added.stringValue(u"id"_s));

    run->list.deleteConnectionDict(first);
    EXPECT_EQ(history.undoActionName(), u"Delete Connection"_s);
    EXPECT_EQ(stored().size(), 1);
    ASSERT_TRUE(history.undo());
    ASSERT_EQ(run->list.connectionArray().size(), 2);
    EXPECT_EQ(storedAt(1).stringValue(u"mailServerDescription"_s), u"First"_s);
    ASSERT_TRUE(history.redo());
    ASSERT_EQ(run->list.connectionArray().size(), 1);
    EXPECT_EQ(storedAt(0).stringValue(u"id"_s), added.stringValue(u"id"_s));
}

TEST_F(ConnectionListTest, PrivateUndoStackTakesBackTheLastTwentyChanges)
{
    auto run = launch();
    for (int n = 0; n < 25; ++n)
        run->list.addNewConnection();
    UndoManager &history = *run->list.undoManager();
    while (history.undo()) {
    }
    EXPECT_EQ(run->list.connectionArray().size(), 5);
}

TEST_F(ConnectionListTest, DeletionAsksAndNamesTheLastSelectedConnection)
{
    auto run = launch();
    run->list.addConnectionDict(withPassword(u"First"_s, u"a"_s));
    run->list.addConnectionDict(withPassword(u"Second"_s, u"b"_s));
    run->list.addConnectionDict(withPassword(u"Third"_s, u"c"_s));
    run->list.setSelectionIndexes({0, 2});

    run->alerts.queueAnswer(0); // Cancel
    run->list.deleteSelectedConnection();
    run->mainLoop.runPending();
    EXPECT_EQ(run->list.connectionArray().size(), 3);

    run->alerts.queueAnswer(1); // Delete Connection
    run->list.deleteSelectedConnection();
    ASSERT_EQ(run->alerts.shown().size(), 2);
    const Alert &alert = run->alerts.shown().last();
    EXPECT_EQ(alert.messageText, u"Are you sure you want to delete the connection 'Third' from the list?"_s);
    EXPECT_EQ(alert.informativeText, u"Operation can be reverted using undo"_s);
    EXPECT_EQ(alert.buttons, (QStringList{u"Cancel"_s, u"Delete Connection"_s}));
    EXPECT_EQ(run->list.connectionArray().size(), 3); // not before the main loop turns
    run->mainLoop.runPending();
    ASSERT_EQ(stored().size(), 2);
    EXPECT_EQ(storedAt(1).stringValue(u"mailServerDescription"_s), u"Second"_s);
}

// The single server of release 1, as it stood in the defaults.
void writeReleaseOneSettings(const QString &file)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSettings s(file, QSettings::IniFormat);
    s.setValue(u"mailServerName"_s, u"mail.example.com"_s);
    s.setValue(u"mailServerDescription"_s, u"Office"_s);
    s.setValue(u"useCustomPort"_s, 1);
    s.setValue(u"customPortUsed"_s, 587);
    s.setValue(u"connectionType"_s, 1);
    s.setValue(u"useAuth"_s, true);
    s.setValue(u"username"_s, u"ada"_s);
    s.setValue(u"password"_s, u"clear-text"_s);
    s.setValue(u"StartupActionTag"_s, 2);
}

TEST_F(ConnectionListTest, ReleaseOneServerIsTakenOverStoredEncryptedAndItsKeysRemoved)
{
    writeReleaseOneSettings(settingsFile());
    auto run = launch();
    ASSERT_EQ(run->list.connectionArray().size(), 1);
    const Dict c = run->list.connectionArray().at(0).toDict();
    EXPECT_FALSE(c.contains(u"id"_s));
    EXPECT_FALSE(c.contains(u"authenticationType"_s));
    EXPECT_EQ(c.stringValue(u"password"_s), u"clear-text"_s);
    const Dict sending = SendingValues::GetSendingValueFromDict(c);
    EXPECT_EQ(sending.intValue(u"port"_s), 587);
    EXPECT_EQ(sending.intValue(u"connectionType"_s), 1);
    EXPECT_FALSE(sending.boolValue(u"useAuth"_s)); // whatever useAuth holds

    const SettingsFileStore reader(settingsFile());
    for (const QString &key : {u"mailServerName"_s, u"password"_s, u"useAuth"_s, u"customPortUsed"_s})
        EXPECT_FALSE(reader.contains(key)) << key.toStdString();
    EXPECT_TRUE(reader.contains(u"StartupActionTag"_s));
    ASSERT_EQ(stored().size(), 1);
    EXPECT_EQ(storedAt(0).stringValue(u"username"_s), u"ada"_s);
    EXPECT_FALSE(fileContents().contains("clear-text"));

    // The next launch reads the stored list, not the release-1 keys.
    EXPECT_EQ(passwordAt(*launch(), 0), u"clear-text"_s);
}

TEST_F(ConnectionListTest, StoredEmptyListStillTakesOverReleaseOneAndNothingStoredLeavesTheDefaultsAlone)
{
    {
        auto run = launch();
        EXPECT_TRUE(run->list.connectionArray().isEmpty());
        EXPECT_FALSE(QFileInfo::exists(settingsFile()));
    }

    writeReleaseOneSettings(settingsFile());
    SettingsFileStore(settingsFile()).write({{u"connectionArray"_s, Value(List())}});
    EXPECT_EQ(launch()->list.connectionArray().size(), 1);
}

TEST_F(ConnectionListTest, FailingRandomSourceKeepsThePreviousStoredList)
{
    storeInAnEarlierRun(u"Kept"_s, u"a"_s);
    auto second = std::make_unique<AppRun>(settingsFile(), machine->path());
    second->random.failing = true;
    ASSERT_TRUE(second->list.loadConnections().ok());
    second->list.addConnectionDict(withPassword(u"Lost"_s, u"b"_s));
    EXPECT_FALSE(second->list.lastStoreStatus().ok());
    ASSERT_EQ(stored().size(), 1);
    EXPECT_TRUE(storedAt(0).contains(u"cryptopwData"_s));
}

} // namespace

// The editor's unticked choices leave no value, as the release-1 take-over
// has none: the field goes, also from the stored form.
TEST_F(ConnectionListTest, EditingAFieldToNoValueRemovesIt)
{
    auto run = launch();
    run->list.addNewConnection();
    ASSERT_TRUE(run->list.editConnectionField(0, u"authenticationType"_s, Value()).ok());
    EXPECT_FALSE(run->list.connectionArray().at(0).toDict().contains(u"authenticationType"_s));
    EXPECT_FALSE(storedAt(0).contains(u"authenticationType"_s));
    EXPECT_FALSE(run->list.editConnectionField(3, u"username"_s, Value(u"ada"_s)).ok());
}
