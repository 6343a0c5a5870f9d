#include "AppTests.h"
#include "RecordingUrlOpener.h"
#include "app/DesktopFileRevealer.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillcast;
using namespace quillcast::gui;
using namespace Qt::StringLiterals;

namespace {

// A session bus of the test's own, with no services but those the test
// puts on it (the machine's bus, if any, may well have a file manager).
class PrivateBus
{
public:
    bool start()
    {
        const QString config = m_dir.filePath(u"bus.conf"_s);
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(QStringLiteral(
                       "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                       "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                       "<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                       "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                       "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                       .arg(m_dir.path())
                       .toUtf8());
        file.close();
        m_daemon.start(u"dbus-daemon"_s, {u"--nofork"_s, u"--print-address=1"_s, u"--config-file="_s + config});
        if (!m_daemon.waitForStarted(5000))
            return false;
        while (!m_daemon.canReadLine()) {
            if (!m_daemon.waitForReadyRead(5000))
                return false;
        }
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        return !m_address.isEmpty();
    }
    ~PrivateBus()
    {
        QDBusConnection::disconnectFromBus(u"revealer-test"_s);
        QDBusConnection::disconnectFromBus(u"file-manager"_s);
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }
    QDBusConnection connect(const QString &name) { return QDBusConnection::connectToBus(m_address, name); }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

} // namespace

// The file manager's side of ShowItems.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QList<QStringList> shown;

public Q_SLOTS:
    void ShowItems(const QStringList &uris, const QString &startupId)
    {
        Q_UNUSED(startupId);
        shown.append(uris);
    }
};

class DesktopFileRevealerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY(folder.isValid());
        file = folder.filePath(u"list.csv"_s);
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }

    void withoutAFileManagerTheFolderOpens()
    {
        PrivateBus bus;
        QVERIFY(bus.start());
        RecordingUrlOpener opener;
        DesktopFileRevealer revealer(opener, bus.connect(u"revealer-test"_s));
        QVERIFY(revealer.revealFile(file));
        QTRY_COMPARE(opener.openedFiles, QStringList{folder.path()});
    }

    void aFileManagerOnTheBusShowsTheFile()
    {
        PrivateBus bus;
        QVERIFY(bus.start());
        QDBusConnection managerBus = bus.connect(u"file-manager"_s);
        FakeFileManager manager;
        QVERIFY(managerBus.registerObject(u"/org/freedesktop/FileManager1"_s, &manager,
                                          QDBusConnection::ExportAllSlots));
        QVERIFY(managerBus.registerService(u"org.freedesktop.FileManager1"_s));

        RecordingUrlOpener opener;
        DesktopFileRevealer revealer(opener, bus.connect(u"revealer-test"_s));
        QVERIFY(revealer.revealFile(file));
        QTRY_COMPARE(manager.shown.size(), 1);
        QCOMPARE(manager.shown.first(), QStringList{QUrl::fromLocalFile(file).toString()});
        QTest::qWait(50);
        QVERIFY(opener.openedFiles.isEmpty());
    }

    void withoutABusTheFolderOpensAtOnce()
    {
        RecordingUrlOpener opener;
        DesktopFileRevealer revealer(opener, QDBusConnection(u"no such bus"_s));
        QVERIFY(revealer.revealFile(file));
        QCOMPARE(opener.openedFiles, QStringList{folder.path()});

        opener.setOpenResult(false);
        QVERIFY(!revealer.revealFile(file));
    }

    void aMissingFileIsNotShown()
    {
        RecordingUrlOpener opener;
        DesktopFileRevealer revealer(opener, QDBusConnection(u"no such bus"_s));
        QVERIFY(!revealer.revealFile(folder.filePath(u"gone.csv"_s)));
        QVERIFY(opener.openedFiles.isEmpty());
    }

private:
    QTemporaryDir folder;
    QString file;
};

int runDesktopFileRevealerTests(int argc, char **argv)
{
    DesktopFileRevealerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DesktopFileRevealerTest.moc"
