#include "connections/ConnectionList.h"

#include "connections/ConnectionStore.h"
#include "connections/HardwareAddress.h"
#include "connections/LXCommonCrypto.h"
#include "document/UndoManager.h"
#include "platform/ManualMainLoop.h"
#include "platform/ScriptedAlertPresenter.h"
#include "send/SendingValues.h"

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

using namespace Qt::StringLiterals;
using namespace quillcast;
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
    AppRun(const QString &settingsFile, const QString &netFolder, quint8 firstRandomByte = 1)
        : store(settingsFile), random(firstRandomByte), address(netFolder),
          list({store, random, address, alerts, mainLoop})
    {
    }

    ConnectionStore store;
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
    std::unique_ptr<AppRun> launch(quint8 firstRandomByte = 1)
    {
        auto run = std::make_unique<AppRun>(settingsFile(), machine->path(), firstRandomByte);
        EXPECT_TRUE(run->list.loadConnections().ok());
        return run;
    }
    void storeInAnEarlierRun(const QString &description, const QString &password)
    {
        launch()->list.addConnectionDict(withPassword(description, password));
    }
    // The stored connections as a fresh reader sees them.
    List stored() const { return ConnectionStore(settingsFile()).value(u"connectionArray"_s).toList(); }
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
    EXPECT_TRUE(run->list.unlockedConnection());
    run->list.tableViewSelectionDidChange({0});
    EXPECT_FALSE(run->list.unlockedConnection());
}

TEST_F(ConnectionListTest, StoredFormHoldsEncryptedPasswordsUnderOneSaltAndIV)
{
    auto run = launch(0x40);
    run->list.addConnectionDict(withPassword(u"Work"_s, u"hunter2"_s));
    run->list.addConnectionDict(withPassword(u"Home"_s, u"hunter2"_s));
    run->list.addConnectionDict(withPassword(u"Empty"_s, QString()));

    const ConnectionStore reader(settingsFile());
    const QByteArray salt = reader.value(u"salt"_s).toBytes();
    const QByteArray iv = reader.value(u"iv"_s).toBytes();
    EXPECT_EQ(salt.size(), 8);
    EXPECT_EQ(iv.size(), 16);
    ASSERT_EQ(stored().size(), 3);
    EXPECT_FALSE(storedAt(0).contains(u"password"_s));
    EXPECT_EQ(storedAt(0).value(u"cryptopw"_s).toBytes(), storedAt(1).value(u"cryptopw"_s).toBytes());
    EXPECT_EQ(storedAt(2).value(u"cryptopw"_s).toBytes().size(), 16);
    EXPECT_FALSE(fileContents().contains("hunter2"));

    // Anyone with the device password and the stored pair can read it back.
    ScriptedSecureRandomSource random;
    LXCommonCrypto crypto(random);
    crypto.setPasswordToDecrypt(u"54:e1:ad:12:34:56Qc7mR2xLp"_s, iv, salt);
    EXPECT_EQ(crypto.decrypt(storedAt(0).value(u"cryptopw"_s).toBytes()).value_or(QByteArray()), "hunter2");
}

TEST_F(ConnectionListTest, PasswordsComeBackAtTheNextLaunchWithTheSamePair)
{
    storeInAnEarlierRun(u"Work"_s, u"pässwörd"_s);
    const QByteArray iv = ConnectionStore(settingsFile()).value(u"iv"_s).toBytes();
    auto second = launch(0x90);
    ASSERT_EQ(second->list.connectionArray().size(), 1);
    const Dict c = second->list.connectionArray().at(0).toDict();
    EXPECT_EQ(c.stringValue(u"password"_s), u"pässwörd"_s);
    EXPECT_FALSE(c.contains(u"cryptopw"_s));
    second->list.addConnectionDict(withPassword(u"More"_s, u"x"_s));
    EXPECT_EQ(ConnectionStore(settingsFile()).value(u"iv"_s).toBytes(), iv);
}

TEST_F(ConnectionListTest, AnotherMachineGetsTheConnectionsWithoutPasswords)
{
    storeInAnEarlierRun(u"Work"_s, u"hunter2"_s);
    machine = machineWith(u"00:1b:21:aa:bb:cc"_s);
    auto second = launch();
    ASSERT_EQ(second->list.connectionArray().size(), 1);
    const Dict c = second->list.connectionArray().at(0).toDict();
    EXPECT_EQ(c.stringValue(u"mailServerDescription"_s), u"Work"_s);
    EXPECT_FALSE(c.contains(u"password"_s));
    EXPECT_FALSE(c.contains(u"cryptopw"_s));
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

TEST_F(ConnectionListTest, UndoOfAddRemovesAndRedoAppendsTheSameConnection)
{
    auto run = launch();
    run->list.addConnectionDict(withPassword(u"First"_s, u"a"_s));
    const Dict added = run->list.addNewConnection();
    UndoManager &undo = *run->list.undoManager();
    EXPECT_EQ(undo.undoActionName(), u"Add Connection"_s);

    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(run->list.connectionArray().size(), 1);
    EXPECT_EQ(stored().size(), 1);
    EXPECT_EQ(undo.redoActionName(), u"Add Connection"_s);

    ASSERT_TRUE(undo.redo());
    ASSERT_EQ(run->list.connectionArray().size(), 2);
    EXPECT_EQ(run->list.connectionArray().at(1).toDict().stringValue(u"id"_s), added.stringValue(u"id"_s));
    EXPECT_EQ(storedAt(1).stringValue(u"id"_s), added.stringValue(u"id"_s));
}

TEST_F(ConnectionListTest, UndoOfDeleteAppendsAtTheEndAndRedoRemovesAgain)
{
    auto run = launch();
    const Dict first = withPassword(u"First"_s, u"a"_s);
    run->list.addConnectionDict(first);
    run->list.addConnectionDict(withPassword(u"Second"_s, u"b"_s));
    run->list.deleteConnectionDict(first);
    UndoManager &undo = *run->list.undoManager();
    EXPECT_EQ(undo.undoActionName(), u"Delete Connection"_s);
    EXPECT_EQ(stored().size(), 1);

    ASSERT_TRUE(undo.undo());
    ASSERT_EQ(run->list.connectionArray().size(), 2);
    EXPECT_EQ(run->list.connectionArray().at(1).toDict().stringValue(u"mailServerDescription"_s), u"First"_s);
    EXPECT_EQ(storedAt(1).stringValue(u"mailServerDescription"_s), u"First"_s);

    ASSERT_TRUE(undo.redo());
    ASSERT_EQ(run->list.connectionArray().size(), 1);
    EXPECT_EQ(storedAt(0).stringValue(u"mailServerDescription"_s), u"Second"_s);
}

TEST_F(ConnectionListTest, PrivateUndoStackTakesBackTheLastTwentyChanges)
{
    auto run = launch();
    for (int n = 0; n < 25; ++n)
        run->list.addNewConnection();
    UndoManager &undo = *run->list.undoManager();
    while (undo.undo()) {
    }
    EXPECT_EQ(run->list.connectionArray().size(), 5);
}

TEST_F(ConnectionListTest, DeletionAsksAndNamesTheLastSelectedConnection)
{
    auto run = launch();
    run->list.addConnectionDict(withPassword(u"First"_s, u"a"_s));
    run->list.addConnectionDict(withPassword(u"Second"_s, u"b"_s));
    run->list.addConnectionDict(withPassword(u"Third"_s, u"c"_s));
    run->list.tableViewSelectionDidChange({0, 2});

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

    const ConnectionStore reader(settingsFile());
    for (const QString &key : {u"mailServerName"_s, u"password"_s, u"useAuth"_s, u"customPortUsed"_s})
        EXPECT_FALSE(reader.contains(key)) << key.toStdString();
    EXPECT_TRUE(reader.contains(u"StartupActionTag"_s));
    ASSERT_EQ(stored().size(), 1);
    EXPECT_EQ(storedAt(0).stringValue(u"username"_s), u"ada"_s);
    EXPECT_FALSE(fileContents().contains("clear-text"));

    // The next launch reads the stored list, not the release-1 keys.
    auto next = launch();
    EXPECT_EQ(next->list.connectionArray().at(0).toDict().stringValue(u"password"_s), u"clear-text"_s);
}

TEST_F(ConnectionListTest, StoredEmptyListStillTakesOverReleaseOne)
{
    writeReleaseOneSettings(settingsFile());
    ConnectionStore(settingsFile()).write({{u"connectionArray"_s, Value(List())}});
    auto run = launch();
    EXPECT_EQ(run->list.connectionArray().size(), 1);
}

TEST_F(ConnectionListTest, NothingStoredLeavesTheListEmptyAndTheDefaultsAlone)
{
    auto run = launch();
    EXPECT_TRUE(run->list.connectionArray().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(settingsFile()));
}

TEST_F(ConnectionListTest, FailingRandomSourceKeepsThePreviousStoredList)
{
    storeInAnEarlierRun(u"Kept"_s, u"a"_s);
    auto second = std::make_unique<AppRun>(settingsFile(), machine->path());
    second->random.failing = true;
    ConnectionStore(settingsFile()).write({{u"salt"_s, Value()}}); // no stored pair: a fresh one is needed
    ASSERT_TRUE(second->list.loadConnections().ok());
    second->list.addConnectionDict(withPassword(u"Lost"_s, u"b"_s));
    EXPECT_FALSE(second->list.lastStoreStatus().ok());
    ASSERT_EQ(stored().size(), 1);
    EXPECT_TRUE(storedAt(0).contains(u"cryptopw"_s));
}

} // namespace
