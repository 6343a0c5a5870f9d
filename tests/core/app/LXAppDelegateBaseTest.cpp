#include "AppServicesRig.h"
#include "TestFiles.h"
#include "app/LXAppDelegateBase.h"
#include "app/LXAppSupportUtility.h"
#include "platform/ManualMainLoop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using namespace quillcast;
using namespace quillcast::testing;
using namespace Qt::StringLiterals;

namespace {

const QString bookmarkKey = u"StartupSelectedDocBookmark"_s;

struct AppTest : ::testing::Test, AppServicesRig
{
    AppTest()
    {
        app.setUserDataFolder(folder.filePath(u"data"_s));
        app.setUserGuideSource(folder.filePath(u"guide.pdf"_s));
        writeFile(folder.filePath(u"guide.pdf"_s), "guide of this release");
    }

    void setStartupAction(qint64 tag) { defaults.setObject(u"StartupActionTag"_s, Value(tag)); }
    QString makeDocument(const QString &name)
    {
        const QString path = folder.filePath(name);
        writeFile(path, "mailing");
        return path;
    }
    void chooseStartupDoc(const QString &path)
    {
        defaults.setObject(bookmarkKey, Value(LXBookmark::bookmarkForURL_RW(path).value()));
    }

    ManualMainLoop mainLoop;
    LXAppDelegateBase app{services(mainLoop)};
};

} // namespace

TEST(LXAppSupportUtility, ReleaseStringOfAReleaseNumber)
{
    const struct { const char *name; qint64 release; QString shown; } rows[] = {
        {"this release", 21001, u"2.10.1"_s},
        {"patch zero dropped", 20500, u"2.5"_s},
        {"two-digit major", 120305, u"12.3.5"_s},
        {"four digits keep the patch as written", 1203, u"1.2.03"_s},
        {"four digits, zero patch", 1000, u"1.0.00"_s},
        {"only one .0 dropped", 10000, u"1.0"_s},
        {"too short", 999, QString()},
    };
    for (const auto &row : rows)
        EXPECT_EQ(LXAppSupportUtility::calcReleaseString(row.release), row.shown) << row.name;
}

TEST(LXAppDelegateBase, BuildReportsTheReleaseTheApplicationCompares)
{
    EXPECT_EQ(LXAppSupportUtility::calcReleaseString(LXAppDelegateBase::ReleaseNumber), QStringLiteral(QUILLCAST_RELEASE));
}

TEST_F(AppTest, StartupActionAsChosenInThePreferences)
{
    const struct
    {
        const char *name;
        qint64 tag;
        bool documentOpenBeforeTimer;
        int timers;
        int untitled;
        int openPanels;
    } rows[] = {
        {"new document when none is open", 0, false, 1, 1, 0},
        {"no new document when one opened meanwhile", 0, true, 1, 0, 0},
        {"open panel when none is open", 1, false, 1, 0, 1},
        {"no open panel when one opened meanwhile", 1, true, 1, 0, 0},
        {"open panel at once, whatever is open", 2, true, 0, 0, 1},
        {"unknown action", 4, false, 0, 0, 0},
        {"negative action", -1, false, 0, 0, 0},
    };
    for (const auto &row : rows) {
        RecordingApplicationShell fresh;
        LXAppDelegateBase delegate({defaults, fresh, alerts, urls, revealer, documents, panel, mainLoop});
        setStartupAction(row.tag);
        delegate.executeDocumentStartupAsInPref();
        if (row.documentOpenBeforeTimer)
            fresh.openDocuments = 1;
        EXPECT_EQ(fresh.fireTimers(), row.timers) << row.name;
        EXPECT_EQ(fresh.untitledDocumentsCreated, row.untitled) << row.name;
        EXPECT_EQ(fresh.openPanelsShown, row.openPanels) << row.name;
    }
    EXPECT_TRUE(alerts.shown().isEmpty());
}

TEST_F(AppTest, ClearedStartupDocumentAlertsAfterTheLaunchStep)
{
    chooseStartupDoc(makeDocument(u"a.quill"_s));
    app.clearStartupSelectedDoc();
    setStartupAction(3);
    alerts.queueAnswer(0); // "Open Preferences"

    app.executeDocumentStartupAsInPref();
    EXPECT_TRUE(alerts.shown().isEmpty());
    EXPECT_FALSE(app.StartupDocSpecified());
    EXPECT_EQ(app.StartupDocPathMessageString(), u"Please select a file or change startup option"_s);

    mainLoop.runPending();
    ASSERT_EQ(alerts.shown().size(), 1);
    EXPECT_EQ(alerts.shown()[0].messageText,
              u"Preference was set to open at startup a document without specifying it"_s);
    EXPECT_EQ(shell.preferencesShown.size(), 1);
    EXPECT_TRUE(documents.opened.isEmpty());
}

TEST_F(AppTest, StartupDocumentOpensAtLaunch)
{
    const QString path = makeDocument(u"a.quill"_s);
    chooseStartupDoc(path);
    setStartupAction(3);
    app.executeDocumentStartupAsInPref();
    EXPECT_EQ(documents.opened, QStringList{path});
    EXPECT_EQ(app.StartupDocPathMessageString(), QString());
}

TEST_F(AppTest, ReplacedStartupDocumentOpensAndItsBookmarkIsRenewed)
{
    const QString path = makeDocument(u"a.quill"_s);
    chooseStartupDoc(path);
    const QByteArray before = defaults.dataForKey(bookmarkKey);
    // Saved by renaming a new file over the old one: another file now.
    const QString replacement = makeDocument(u"new.quill"_s);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::rename(replacement, path));

    setStartupAction(3);
    app.executeDocumentStartupAsInPref();
    EXPECT_EQ(documents.opened, QStringList{path});
    EXPECT_EQ(app.StartupDocPathMessageString(), u"Bookmark renewed"_s);
    EXPECT_NE(defaults.dataForKey(bookmarkKey), before);
    bool stale = true;
    EXPECT_TRUE(LXBookmark::urlForBookmark(defaults.dataForKey(bookmarkKey), &stale).has_value());
    EXPECT_FALSE(stale);
}

TEST_F(AppTest, ChoosingAStartupDocumentStoresItsBookmark)
{
    const QString path = makeDocument(u"a.quill"_s);
    app.clearStartupSelectedDoc();
    panel.queueOpenAnswer(path);
    app.selectStartupDoc(nullptr);
    ASSERT_EQ(panel.openRequests().size(), 1);
    EXPECT_EQ(panel.openRequests()[0].allowedExtensions, QStringList{u"quill"_s});
    EXPECT_EQ(panel.openRequests()[0].prompt, u"Select"_s);
    EXPECT_TRUE(panel.openRequests()[0].filesOnly);
    EXPECT_FALSE(panel.openRequests()[0].choosesFolders);
    EXPECT_TRUE(app.StartupDocSpecified());
    EXPECT_EQ(app.StartupDocPathMessageString(), QString());
    bool stale = false;
    EXPECT_EQ(LXBookmark::urlForBookmark(defaults.dataForKey(bookmarkKey), &stale)->path, path);

    panel.queueOpenAnswer(std::nullopt); // cancelled: the choice stays
    app.selectStartupDoc(nullptr);
    EXPECT_EQ(LXBookmark::urlForBookmark(defaults.dataForKey(bookmarkKey), &stale)->path, path);
}

// Reveal and test-open act on the chosen startup document, and do nothing
// without one.
TEST_F(AppTest, RevealAndTestOpenTheStartupDocument)
{
    app.testOpenStartupDoc();
    app.showInFinderStartupDoc();
    EXPECT_TRUE(documents.opened.isEmpty());
    EXPECT_TRUE(revealer.revealed.isEmpty());
    EXPECT_EQ(app.StartupDocPathMessageString(), QString());

    const QString path = makeDocument(u"a.quill"_s);
    chooseStartupDoc(path);
    app.showInFinderStartupDoc();
    app.testOpenStartupDoc();
    EXPECT_EQ(revealer.revealed, QStringList{path});
    EXPECT_EQ(documents.opened, QStringList{path});
}

TEST_F(AppTest, UserGuideInstallsOnceAndReplacesEarlierReleases)
{
    const QString directory = folder.filePath(u"data/Quillcast User Guide 2"_s);
    ASSERT_TRUE(QDir().mkpath(directory));
    writeFile(directory + u"/Quillcast User Guide 2.9.pdf"_s, "old guide");
    writeFile(directory + u"/.DS_Store"_s, "kept");

    app.openUserGuide();
    const QString installed = directory + u"/Quillcast User Guide 2.10.1.pdf"_s;
    EXPECT_EQ(app.installedUserGuidePath(), installed);
    EXPECT_EQ(fileContents(installed), "guide of this release");
    EXPECT_EQ(QDir(directory).entryList(QDir::Files | QDir::Hidden),
              (QStringList{u".DS_Store"_s, u"Quillcast User Guide 2.10.1.pdf"_s}));
    EXPECT_EQ(urls.openedFiles, QStringList{installed});

    writeFile(folder.filePath(u"guide.pdf"_s), "changed source");
    app.openUserGuide();
    EXPECT_EQ(fileContents(installed), "guide of this release"); // opened, not copied again
    EXPECT_EQ(urls.openedFiles.size(), 2);
}

TEST_F(AppTest, UserGuideThatCannotBeCopiedLeavesEarlierGuides)
{
    const QString directory = folder.filePath(u"data/Quillcast User Guide 2"_s);
    ASSERT_TRUE(QDir().mkpath(directory));
    writeFile(directory + u"/Quillcast User Guide 2.9.pdf"_s, "old guide");
    app.setUserGuideSource(folder.filePath(u"missing.pdf"_s));

    app.openUserGuide();
    EXPECT_EQ(QDir(directory).entryList(QDir::Files), QStringList{u"Quillcast User Guide 2.9.pdf"_s});
    EXPECT_EQ(urls.openedFiles.size(), 1); // the opening is still tried
}

TEST_F(AppTest, RegisteredDefaultsNeverOverwriteStoredValues)
{
    defaults.setObject(u"StartupActionTag"_s, Value(qint64(2)));
    defaults.registerDefaults(Dict{{u"StartupActionTag"_s, Value(qint64(0))}, {u"notifyUpdate"_s, Value(true)}});
    EXPECT_EQ(defaults.integerForKey(u"StartupActionTag"_s), 2);
    EXPECT_TRUE(defaults.boolForKey(u"notifyUpdate"_s));
    EXPECT_FALSE(store.contains(u"notifyUpdate"_s));
}
