#include "connections/LibsecretSecretStore.h"

#include "connections/ConnectionList.h"
#include "connections/StoredConnectionForm.h"
#include "connections/HardwareAddress.h"
#include "platform/ManualMainLoop.h"
#include "ScriptedAlertPresenter.h"
#include "platform/SettingsFileStore.h"

#include "ScriptedSecureRandomSource.h"
#include "TestApplication.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

using namespace Qt::StringLiterals;
using namespace quillcast;
using quillcast::testing::ScriptedSecureRandomSource;

// Each libsecret call leaves a few D-Bus messages that GLib's worker thread
// parsed for the keyring's service object and that nothing frees (libsecret
// 0.20, GLib 2.74): theirs, once per process, and not this program's. GLib
// is built without frame pointers, so only the slow unwinder sees where they
// come from.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:g_dbus_message_new_from_blob\n";
}

namespace {

// Sets an environment variable (or unsets it, for a null value) for the
// life of the object.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char *name, const QByteArray &value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    ~ScopedEnvironment() { m_had ? qputenv(m_name, m_old) : qunsetenv(m_name); }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

// A session bus of the test's own, optionally with a GNOME keyring daemon on
// it, in a home of its own; both stopped with the object.
class PrivateSession
{
public:
    ~PrivateSession()
    {
        for (QProcess *process : {&m_keyring, &m_bus}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    // The bus address; empty (with the reason) when the bus cannot be started.
    QByteArray startBus(QString *why)
    {
        m_bus.setProcessEnvironment(environment());
        m_bus.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        if (!m_bus.waitForStarted(5000)) {
            *why = u"dbus-daemon cannot be started: "_s + m_bus.errorString();
            return QByteArray();
        }
        const QDeadlineTimer deadline(10000);
        while (!m_bus.canReadLine() && !deadline.hasExpired() && m_bus.state() == QProcess::Running)
            m_bus.waitForReadyRead(200);
        m_address = m_bus.readLine().trimmed();
        if (m_address.isEmpty())
            *why = u"dbus-daemon gave no address"_s;
        return m_address;
    }

    // Starts the keyring with its login collection unlocked; false (with the
    // reason) when it cannot be started or does not come onto the bus.
    bool startKeyring(QString *why)
    {
        QProcessEnvironment env = environment();
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, QString::fromLatin1(m_address));
        m_keyring.setProcessEnvironment(env);
        m_keyring.start(u"gnome-keyring-daemon"_s,
                        {u"--foreground"_s, u"--unlock"_s, u"--components=secrets"_s});
        if (!m_keyring.waitForStarted(5000)) {
            *why = u"gnome-keyring-daemon cannot be started: "_s + m_keyring.errorString();
            return false;
        }
        // The login collection's password, then the end of input.
        m_keyring.write("test-login-password");
        m_keyring.waitForBytesWritten(5000);
        m_keyring.closeWriteChannel();
        const ScopedEnvironment bus("DBUS_SESSION_BUS_ADDRESS", m_address);
        const QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired() && m_keyring.state() == QProcess::Running) {
            if (LibsecretSecretStore::open(std::chrono::milliseconds(500)))
                return true;
            QThread::msleep(100);
        }
        *why = u"gnome-keyring-daemon did not come onto the bus: "_s
            + QString::fromLocal8Bit(m_keyring.readAllStandardError()).trimmed();
        return false;
    }

private:
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"HOME"_s, m_home.path());
        env.insert(u"XDG_RUNTIME_DIR"_s, m_home.path());
        env.insert(u"XDG_DATA_HOME"_s, m_home.filePath(u"share"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, m_home.filePath(u"config"_s));
        env.remove(u"DISPLAY"_s);
        env.remove(u"WAYLAND_DISPLAY"_s);
        return env;
    }

    QTemporaryDir m_home;
    QProcess m_bus;
    QProcess m_keyring;
    QByteArray m_address;
};

// A socket that takes connections and never says a word.
class SilentSocket
{
public:
    explicit SilentSocket(const QString &path)
    {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_fd, 4);
    }
    ~SilentSocket() { ::close(m_fd); }

private:
    int m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
};

TEST(LibsecretSecretStoreTest, WithoutASecretServiceNoKeyringIsUsedAndNothingWaitsLong)
{
    quillcast::testing::application();
    QTemporaryDir folder;
    const SilentSocket silent(folder.filePath(u"silent"_s));
    PrivateSession session;
    QString why;
    const QByteArray emptyBus = session.startBus(&why);

    const ScopedEnvironment runtime("XDG_RUNTIME_DIR", folder.path().toLocal8Bit());
    const struct
    {
        const char *name;
        QByteArray address; // null: none in the environment
    } rows[] = {
        {"no_session_bus", QByteArray()},
        {"bus_gone", "unix:path=" + QFile::encodeName(folder.filePath(u"gone"_s))},
        {"bus_that_never_answers", "unix:path=" + QFile::encodeName(folder.filePath(u"silent"_s))},
        {"bus_without_a_keyring", emptyBus},
    };
    for (const auto &row : rows) {
        if (row.address.isEmpty() && !row.address.isNull()) {
            ADD_FAILURE() << row.name << ": " << why.toStdString();
            continue;
        }
        const ScopedEnvironment bus("DBUS_SESSION_BUS_ADDRESS", row.address);
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(LibsecretSecretStore::open(std::chrono::milliseconds(500)), nullptr) << row.name;
        EXPECT_LT(timer.elapsed(), 3000) << row.name;
    }
}

TEST(LibsecretSecretStoreTest, PasswordRoundTripsThroughTheDesktopKeyring)
{
    quillcast::testing::application();
    if (QStandardPaths::findExecutable(u"gnome-keyring-daemon"_s).isEmpty())
        GTEST_SKIP() << "gnome-keyring-daemon is not installed";
    PrivateSession session;
    QString why;
    const QByteArray address = session.startBus(&why);
    if (address.isEmpty())
        GTEST_SKIP() << why.toStdString();
    if (!session.startKeyring(&why))
        GTEST_SKIP() << why.toStdString();
    const ScopedEnvironment bus("DBUS_SESSION_BUS_ADDRESS", address);
    const std::unique_ptr<LibsecretSecretStore> keyring = LibsecretSecretStore::open();
    ASSERT_NE(keyring, nullptr);

    QTemporaryDir folder;
    const QString settings = folder.filePath(u"Quillcast.ini"_s);
    const auto launch = [&](auto &&use) {
        SettingsFileStore store(settings);
        ScriptedSecureRandomSource random;
        const HardwareAddress machine(folder.filePath(u"no-sys"_s));
        ScriptedAlertPresenter alerts;
        ManualMainLoop mainLoop;
        ConnectionList list({store, random, machine, alerts, mainLoop, keyring.get()});
        ASSERT_TRUE(list.loadConnections().ok());
        use(list);
    };

    launch([](ConnectionList &list) {
        list.addConnectionDict(Dict{{u"mailServerDescription"_s, Value(u"Work"_s)},
                                    {u"password"_s, Value(u"k3yring pässword"_s)}});
        ASSERT_TRUE(list.lastStoreStatus().ok()) << list.lastStoreStatus().error().toStdString();
    });
    const Dict entry = StoredConnectionForm::read(SettingsFileStore(settings)).connections.at(0).toDict();
    const QString reference = entry.stringValue(u"keyringPasswordRef"_s);
    ASSERT_FALSE(reference.isEmpty());
    // (The rest of the file's form is checked by the connection list's tests.)
    EXPECT_EQ(keyring->lookupPassword(reference).value(), std::optional<QString>(u"k3yring pässword"_s));

    // The next launch reads it back; a new password replaces the item.
    launch([](ConnectionList &list) {
        ASSERT_EQ(list.connectionArray().size(), 1);
        EXPECT_EQ(list.connectionArray().at(0).toDict().stringValue(u"password"_s), u"k3yring pässword"_s);
        list.editConnection(0, Dict{{u"password"_s, Value(u"changed"_s)}});
    });
    EXPECT_EQ(keyring->lookupPassword(reference).value(), std::nullopt);
    const QString changed = StoredConnectionForm::read(SettingsFileStore(settings))
                                .connections.at(0)
                                .toDict()
                                .stringValue(u"keyringPasswordRef"_s);
    EXPECT_EQ(keyring->lookupPassword(changed).value(), std::optional<QString>(u"changed"_s));
}

} // namespace
