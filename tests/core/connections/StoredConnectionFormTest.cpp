#include "connections/StoredConnectionForm.h"

#include "connections/ConnectionList.h"
#include "connections/HardwareAddress.h"
#include "platform/ManualMainLoop.h"
#include "platform/SettingsFileStore.h"
#include "util/Base64.h"
#include "util/Dict.h"

#include "ScriptedAlertPresenter.h"
#include "ScriptedSecureRandomSource.h"
#include "TestFiles.h"
#include "TestPrinters.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace quillcast;
using quillcast::testing::ScriptedSecureRandomSource;

namespace {

// The machine the test data was written on: its network card's address makes
// the device password the passwords are encrypted under.
constexpr char16_t DataMachineAddress[] = u"54:e1:ad:12:34:56";

class StoredConnectionFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QDir(machine.path()).mkpath(u"eth0/device"_s);
        quillcast::testing::writeFile(machine.filePath(u"eth0/address"_s),
                                      QString::fromUtf16(DataMachineAddress).toLatin1());
    }

    // One launch of the application over the settings file: the list it loads.
    List launch(ConnectionList::PasswordLoading loading = ConnectionList::PasswordLoading::All)
    {
        SettingsFileStore store(settingsFile());
        ScriptedSecureRandomSource random(0x33);
        const HardwareAddress address(machine.path());
        ScriptedAlertPresenter alerts;
        ManualMainLoop mainLoop;
        ConnectionList list({store, random, address, alerts, mainLoop, nullptr});
        EXPECT_TRUE(list.loadConnections(loading).ok());
        EXPECT_TRUE(list.lastStoreStatus().ok()) << list.lastStoreStatus().error().toStdString();
        return List(list.connectionArray().items());
    }
    StoredConnectionForm::Stored stored() const { return StoredConnectionForm::read(SettingsFileStore(settingsFile())); }
    QString settingsFile() const { return folder.filePath(u"Quillcast.ini"_s); }
    QString fileText() const { return QString::fromUtf8(quillcast::testing::fileContents(settingsFile())); }

    QTemporaryDir folder;
    QTemporaryDir machine;
};

QString passwordOf(const List &list, qsizetype i)
{
    return list.at(i).toDict().stringValue(u"password"_s);
}

// A settings file the build before this form wrote: the list as one binary
// value, with two passwords encrypted for the test machine, one in a keyring
// (not here) and a connection without authentication.
TEST_F(StoredConnectionFormTest, OneBinaryValueOfAnEarlierBuildIsRewrittenInGroupsWithNothingLost)
{
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUILLCAST_CONNECTIONS_TEST_DATA "/connections-in-one-value.ini"),
                            settingsFile()));
    QFile::setPermissions(settingsFile(), QFile::ReadOwner | QFile::WriteOwner);
    const StoredConnectionForm::Stored before = stored();
    ASSERT_TRUE(before.inOneValue);
    ASSERT_EQ(before.connections.size(), 4);

    const List loaded = launch();
    ASSERT_EQ(loaded.size(), 4);
    EXPECT_EQ(passwordOf(loaded, 1), u"hunter2"_s);
    EXPECT_EQ(passwordOf(loaded, 2), u"pässwörd; with = and \"quotes\""_s);

    // Every entry went over as it was, in the order it was.
    const StoredConnectionForm::Stored after = stored();
    EXPECT_FALSE(after.inOneValue);
    ASSERT_EQ(after.connections.size(), 4);
    for (qsizetype i = 0; i < 4; ++i)
        EXPECT_EQ(after.connections.at(i), before.connections.at(i)) << i;

    // In text a person can read: no binary value is left.
    const QString text = fileText();
    EXPECT_FALSE(text.contains(u"@Variant"_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"[connectionArray]"_s));
    EXPECT_TRUE(text.contains(u"1\\mailServerDescription=In the keyring"_s)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"2\\port=587"_s));
    EXPECT_TRUE(text.contains(u"3\\username=zoë"_s));
    const QByteArray sealed = before.connections.at(1).toDict().value(u"cryptopwData"_s).toBytes();
    ASSERT_FALSE(sealed.isEmpty());
    // (Quoted, as the file quotes a text with "=" in it.)
    EXPECT_TRUE(text.contains(u"2\\cryptopwData=\""_s + Base64::base64enc(sealed) + u'"')) << text.toStdString();
    EXPECT_TRUE(text.contains(u"1\\keyringPasswordRef="_s
                              + before.connections.at(0).toDict().stringValue(u"keyringPasswordRef"_s)));
    EXPECT_FALSE(text.contains(u"hunter2"_s));

    // The next launch reads the same list and passwords from the groups,
    // and leaves the file as it is.
    const List again = launch();
    EXPECT_EQ(passwordOf(again, 1), u"hunter2"_s);
    EXPECT_EQ(passwordOf(again, 2), u"pässwörd; with = and \"quotes\""_s);
    EXPECT_EQ(fileText(), text);
}

TEST_F(StoredConnectionFormTest, EveryKindOfValueComesBackAsItWasWritten)
{
    const struct { const char *name; QString key; Value value; } rows[] = {
        {"plain text", u"mailServerName"_s, Value(u"smtp.example.org"_s)},
        {"comma and quotes", u"mailServerDescription"_s, Value(u"Office, \"2nd\" floor"_s)},
        {"equals and semicolon", u"username"_s, Value(u"a=b; c"_s)},
        {"leading at sign", u"mailServerDescription"_s, Value(u"@Variant(not one)"_s)},
        {"backslashes", u"mailServerDescription"_s, Value(u"C:\\mail\\x41"_s)},
        {"line break", u"mailServerDescription"_s, Value(u"two\nlines"_s)},
        {"non-ASCII", u"username"_s, Value(u"zoë 陈"_s)},
        {"empty text", u"username"_s, Value(QString())},
        {"number", u"port"_s, Value(qint64(587))},
        {"zero", u"authenticationType"_s, Value(qint64(0))},
        {"flag", u"useAuth"_s, Value(true)},
        {"bytes with zeros", u"cryptopwData"_s, Value(QByteArray("\0\x01\xff=/+", 6))},
        {"IV", u"cryptopwIV"_s, Value(QByteArray(16, '\x80'))},
        {"keyring reference", u"keyringPasswordRef"_s, Value(u"013eec31-633c-4fe4-ba20-e09223"_s)},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const Dict connection{{u"id"_s, Value(u"X"_s)}, {row.key, row.value}};
        ASSERT_TRUE(SettingsFileStore(settingsFile()).write(StoredConnectionForm::changes(List({Value(connection)}))).ok());
        const StoredConnectionForm::Stored back = stored();
        ASSERT_EQ(back.connections.size(), 1);
        EXPECT_EQ(back.connections.at(0).toDict().value(row.key), row.value);
    }
}

// The file is text a person may edit: what does not fit is read as well as it
// can be, never taken for a password.
TEST_F(StoredConnectionFormTest, HandEditedGroupsAreReadAsFarAsTheyMakeSense)
{
    const struct { const char *name; QByteArray file; qsizetype connections; } rows[] = {
        {"as written", "[connectionArray]\n1\\mailServerName=a\n2\\mailServerName=b\nsize=2\n", 2},
        {"size beyond the groups", "[connectionArray]\n1\\mailServerName=a\n3\\mailServerName=c\nsize=3\n", 2},
        {"no size", "[connectionArray]\n1\\mailServerName=a\n", 0},
        {"size no number", "[connectionArray]\n1\\mailServerName=a\nsize=many\n", 0},
        {"damaged Base64", "[connectionArray]\n1\\mailServerName=a\n1\\cryptopwData=**not base64**\n"
                           "1\\cryptopwSalt=AAAAAAAAAAA=\n1\\cryptopwIV=AAAAAAAAAAAAAAAAAAAAAA==\nsize=1\n", 1},
        {"port no number", "[connectionArray]\n1\\mailServerName=a\n1\\port=twenty-five\nsize=1\n", 1},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        quillcast::testing::writeFile(settingsFile(), row.file);
        const List list = launch();
        ASSERT_EQ(list.size(), row.connections);
        for (qsizetype i = 0; i < list.size(); ++i)
            EXPECT_TRUE(passwordOf(list, i).isEmpty());
    }
    // Text where bytes belong stays the text it was.
    EXPECT_EQ(stored().connections.at(0).toDict().value(u"port"_s), Value(u"twenty-five"_s));
}

} // namespace
