#include "app/ApplicationIcon.h"
#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <future>

using namespace quillcast::gui;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(SingleInstance::Outcome)

namespace {

// A later process's start, on a thread of its own: it waits for the
// running instance's answer, which needs this thread's event loop.
std::future<SingleInstance::Outcome> startLater(const QString &name, const QStringList &paths, bool openPanel,
                                                std::chrono::milliseconds timeout = 5s)
{
    return std::async(std::launch::async, [=] {
        SingleInstance later(name);
        return later.start(paths, openPanel, timeout);
    });
}

SingleInstance::Outcome waitFor(std::future<SingleInstance::Outcome> &outcome)
{
    while (outcome.wait_for(10ms) != std::future_status::ready)
        QCoreApplication::processEvents();
    return outcome.get();
}

// What a crashed instance leaves: a socket file nobody listens on.
bool leaveStaleSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 && ::listen(fd, 1) == 0;
    ::close(fd);
    return bound && QFile::exists(path);
}

// ...and the lock it held while starting: as this process writes it, but
// naming a process that is gone.
bool leaveStaleLock(const QString &path)
{
    QProcess gone;
    gone.start(u"sleep"_s, {u"0.2"_s});
    if (!gone.waitForStarted(5000))
        return false;
    const qint64 pid = gone.processId();
    if (!gone.waitForFinished(5000))
        return false;
    QByteArray content;
    {
        QLockFile held(path);
        if (!held.tryLock())
            return false;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        content = file.readAll();
    }
    const qsizetype firstLineEnd = content.indexOf('\n');
    if (firstLineEnd < 0 || content.left(firstLineEnd) != QByteArray::number(QCoreApplication::applicationPid()))
        return false;
    QFile lock(path);
    if (!lock.open(QIODevice::WriteOnly))
        return false;
    lock.write(QByteArray::number(pid) + content.mid(firstLineEnd));
    return true;
}

// Sends raw bytes as a later process would and reads the answer until the
// running instance closes the connection.
QByteArray exchange(const QString &name, const QByteArray &bytes)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(2000))
        return "no connection";
    socket.write(bytes);
    socket.flush();
    QByteArray answer;
    QDeadlineTimer deadline(5s);
    while (socket.state() != QLocalSocket::UnconnectedState && !deadline.hasExpired()) {
        QCoreApplication::processEvents();
        socket.waitForReadyRead(10);
        answer += socket.readAll();
    }
    return answer + socket.readAll();
}

} // namespace

class SingleInstanceTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_serial = 0;
    QString freshName() { return m_dir.filePath(u"instance-%1"_s.arg(++m_serial)); }

private Q_SLOTS:
    void handsTheRequestToTheRunningInstance_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("openPanel");
        QTest::newRow("one mailing") << QStringList{u"/home/ann/party.quill"_s} << false;
        QTest::newRow("several, with spaces and accents")
            << QStringList{u"/home/ann/Summer party.quill"_s, u"/home/ann/Écoles/名单.quill"_s} << false;
        QTest::newRow("the Open panel") << QStringList{} << true;
        QTest::newRow("nothing: bring it to the front") << QStringList{} << false;
    }
    void handsTheRequestToTheRunningInstance()
    {
        QFETCH(QStringList, paths);
        QFETCH(bool, openPanel);
        const QString name = freshName();
        SingleInstance running(name);
        QCOMPARE(running.start({}, false), SingleInstance::Outcome::Primary);
        QSignalSpy received(&running, &SingleInstance::requestReceived);

        auto later = startLater(name, paths, openPanel);
        QCOMPARE(waitFor(later), SingleInstance::Outcome::HandedOver);
        QCOMPARE(received.count(), 1);
        QCOMPARE(received.at(0).at(0).toStringList(), paths);
        QCOMPARE(received.at(0).at(1).toBool(), openPanel);
    }

    void takesOverWhatACrashedInstanceLeft_data()
    {
        QTest::addColumn<bool>("staleSocket");
        QTest::addColumn<bool>("staleLock");
        QTest::newRow("nothing left") << false << false;
        QTest::newRow("its socket") << true << false;
        QTest::newRow("its start-up lock") << false << true;
        QTest::newRow("both") << true << true;
    }
    void takesOverWhatACrashedInstanceLeft()
    {
        QFETCH(bool, staleSocket);
        QFETCH(bool, staleLock);
        const QString name = freshName();
        if (staleSocket)
            QVERIFY(leaveStaleSocket(name));
        if (staleLock)
            QVERIFY(leaveStaleLock(name + u".lock"_s));

        SingleInstance running(name);
        QCOMPARE(running.start({}, false, 3s), SingleInstance::Outcome::Primary);
        // ...and the next process reaches it.
        QSignalSpy received(&running, &SingleInstance::requestReceived);
        auto later = startLater(name, {u"/tmp/a.quill"_s}, false);
        QCOMPARE(waitFor(later), SingleInstance::Outcome::HandedOver);
        QCOMPARE(received.count(), 1);
    }

    void refusesBrokenRequestsAndKeepsServing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("a good request") << QByteArray(R"({"paths":["/a.quill"],"openPanel":false})" "\n") << true;
        QTest::newRow("not JSON") << QByteArray("open /a.quill\n") << false;
        QTest::newRow("a relative path") << QByteArray(R"({"paths":["a.quill"],"openPanel":false})" "\n") << false;
        QTest::newRow("a path that is no text") << QByteArray(R"({"paths":[7],"openPanel":false})" "\n") << false;
        QTest::newRow("paths not a list") << QByteArray(R"({"paths":"/a.quill","openPanel":false})" "\n") << false;
        QTest::newRow("no Open panel flag") << QByteArray(R"({"paths":[]})" "\n") << false;
        QTest::newRow("a list, not an object") << QByteArray(R"(["/a.quill"])" "\n") << false;
        QTest::newRow("endless, no line end") << QByteArray(SingleInstance::maxRequestBytes + 10, 'x') << false;
    }
    void refusesBrokenRequestsAndKeepsServing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, accepted);
        const QString name = freshName();
        SingleInstance running(name);
        QCOMPARE(running.start({}, false), SingleInstance::Outcome::Primary);
        QSignalSpy received(&running, &SingleInstance::requestReceived);

        QCOMPARE(exchange(name, bytes), accepted ? QByteArray("ok\n") : QByteArray());
        QCOMPARE(received.count(), accepted ? 1 : 0);

        auto later = startLater(name, {u"/b.quill"_s}, false);
        QCOMPARE(waitFor(later), SingleInstance::Outcome::HandedOver);
        QCOMPARE(received.count(), accepted ? 2 : 1);
    }

    void aRunningInstanceThatDoesNotAnswerIsReported()
    {
        // It listens (a hung Quillcast) but never reads: the later process
        // must neither wait for ever nor start a second instance on the file.
        const QString name = freshName();
        QLocalServer hung;
        QVERIFY(hung.listen(name));
        SingleInstance later(name);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(later.start({u"/a.quill"_s}, false, 300ms), SingleInstance::Outcome::NoAnswer);
        QVERIFY(clock.elapsed() < 3000);
        QVERIFY(!later.errorString().isEmpty());
    }

    void eachSettingsFileHasItsOwnInstance()
    {
        const QString user = SingleInstance::serverNameFor(u"/home/ann/.config/Quillcast/Quillcast.ini"_s);
        QCOMPARE(SingleInstance::serverNameFor(u"/home/ann/.config/Quillcast/../Quillcast/Quillcast.ini"_s), user);
        QVERIFY(SingleInstance::serverNameFor(u"/tmp/test-settings.ini"_s) != user);
        QVERIFY(user.contains(QString::number(::getuid())));
        // A socket's path has to fit into sockaddr_un.
        QVERIFY(QFile::encodeName(user).size() < qsizetype(sizeof(sockaddr_un::sun_path)));
    }

    // Two real processes of the application, as a file manager starts them.
    void aSecondQuillcastOpensItsMailingInTheFirst()
    {
        QTemporaryDir home;
        QVERIFY(QDir(home.path()).mkpath(u"config"_s));
        QVERIFY(QDir(home.path()).mkpath(u"runtime"_s));
        QFile::setPermissions(home.filePath(u"runtime"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString mailing = home.filePath(u"party.quill"_s);
        QProcess make;
        make.start(QStringLiteral(QUILLCAST_CLI_BINARY), {u"new"_s, mailing});
        QVERIFY(make.waitForFinished(30000));
        QCOMPARE(make.exitCode(), 0);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_CONFIG_HOME"_s, home.filePath(u"config"_s));
        environment.insert(u"XDG_RUNTIME_DIR"_s, home.filePath(u"runtime"_s));
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        // The mailing window's browser engine: no sandbox as root, and its
        // own library's known sanitizer reports (this test checks the hand-over).
        environment.insert(u"QTWEBENGINE_DISABLE_SANDBOX"_s, u"1"_s);
        environment.insert(u"ASAN_OPTIONS"_s, u"detect_leaks=0:new_delete_type_mismatch=0"_s);
        environment.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
        // Whatever still runs when the test ends, however it ends, is killed
        // with its QProcess.
        QObject processes;
        auto quillcast = [&](const QStringList &arguments) {
            auto *process = new QProcess(&processes);
            process->setProcessEnvironment(environment);
            process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process->start(QStringLiteral(QUILLCAST_GUI_BINARY), arguments);
            return process;
        };
        const QString settings = home.filePath(u"config/Quillcast/Quillcast.ini"_s);
        auto recentMailings = [&] {
            return QSettings(settings, QSettings::IniFormat).value(u"recentDocuments"_s).toStringList();
        };

        QProcess *first = quillcast({});
        QVERIFY(first->waitForStarted(10000));
        const QDir runtime(home.filePath(u"runtime"_s));
        QVERIFY(QTest::qWaitFor([&] { return !runtime.entryList({u"quillcast-*"_s}, QDir::System).isEmpty(); }, 60000));

        QProcess *second = quillcast({mailing});
        QVERIFY(second->waitForFinished(30000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        // The first one opened it: it is now among its recent mailings.
        QVERIFY(QTest::qWaitFor([&] { return recentMailings().contains(mailing); }, 30000));
        QCOMPARE(first->state(), QProcess::Running);

        // The first one crashes; the next one runs on its own, over the
        // socket the first left behind.
        first->kill();
        QVERIFY(first->waitForFinished(10000));
        QProcess *third = quillcast({mailing});
        QVERIFY(third->waitForStarted(10000));
        QVERIFY(!third->waitForFinished(5000));
        QCOMPARE(third->state(), QProcess::Running);
        third->kill();
        third->waitForFinished(10000);
    }

    void theWindowIconHasEveryRenderedSize()
    {
        // Without an icon theme (the test display has none), the sizes in
        // the program stand in.
        const QIcon icon = ApplicationIcon::bundled();
        QVERIFY(!icon.isNull());
        const QList<QSize> sizes = icon.availableSizes();
        for (int side : {16, 22, 24, 32, 48, 64, 128, 256, 512})
            QVERIFY2(sizes.contains(QSize(side, side)), qPrintable(u"%1 px missing"_s.arg(side)));
        QVERIFY(!ApplicationIcon::load().isNull());
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
