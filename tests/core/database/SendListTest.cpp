#include "DatabaseTestData.h"
#include "TestPrinters.h"
#include "database/GeneralCommands.h"
#include "database/SendListCommands.h"
#include "document/SendListRebuilder.h"
#include "document/SendProgress.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace quillcast::dbtest;
using namespace Qt::StringLiterals;

TEST(SendListBuild, LeavesOutExactlyTheAddressesOfTheExceptionList)
{
    const Dict noField{{u"1"_s, qint64(9)}};
    const List addresses({Value(record(1, false, u"ann@x.org"_s)), Value(record(2, false, u"Ann@x.org"_s)),
                          Value(record(3, false, u"ann@x.org "_s)), Value(record(4, false, u"ann@x.org,bob@y.org"_s)),
                          Value(record(5, false, u""_s)), Value(noField), Value(record(6, false, u"bob@y.org"_s))});
    const List exceptions({Value(exceptRecord(1, u"ann@x.org"_s)), Value(exceptRecord(2, u""_s)),
                           Value(Dict{{u"num"_s, qint64(3)}})});

    const List send(SendListRebuilder::buildSendItems(addresses, exceptions));
    EXPECT_EQ(emails(send), QStringList({u"Ann@x.org"_s, u"ann@x.org "_s, u"ann@x.org,bob@y.org"_s, u""_s,
                                         u"bob@y.org"_s}));
    // The record without an address field has no text to be excluded by.
    EXPECT_EQ(send.indexOfObject(noField.identity()), 3);
    // The same record objects as the database.
    EXPECT_TRUE(Dict::sameObject(send.at(0).toDict(), addresses.at(1).toDict()));
}

TEST(SendListRebuild, PutsTheListInPlaceOnTheDocumentsThread)
{
    application();
    MyDocument doc{SystemClock::instance()};
    setUp(doc, {record(1, true, u"a@x.org"_s), record(2, false, u"b@x.org"_s)}, {exceptRecord(1, u"b@x.org"_s)});
    bool done = false;
    ASSERT_TRUE(SendListCommands(doc).updateTheSendArray([&] { done = true; }));
    ASSERT_TRUE(processEventsUntil([&] { return done; }));

    EXPECT_EQ(emails(doc.sendArray()), QStringList({u"a@x.org"_s}));
    EXPECT_EQ(doc.sendArrayShown().size(), 1);
    EXPECT_TRUE(doc.isCheckedRecords4Send());
    EXPECT_FALSE(doc.sendListRebuilder().isPending());
}

// Ticking or unticking one box of the send list decides at once whether
// "send checked" can run; the database, holding the same record, follows.
TEST(SendListFlag, OneTickedBoxRecomputesWhetherAnythingIsChecked)
{
    MyDocument doc{SystemClock::instance()};
    setUp(doc, {record(1, false, u"a@x.org"_s), record(2, false, u"b@x.org"_s)});
    doc.setSendArray(List(doc.addressArray().items()));
    SendListCommands(doc).updateIsCheckedRecords4Send();
    ASSERT_FALSE(doc.isCheckedRecords4Send());
    const Dict second = doc.sendArray().at(1).toDict();

    doc.setRecordValue(second, u"2"_s, Value(true));
    EXPECT_TRUE(doc.isCheckedRecords4Send());
    EXPECT_TRUE(doc.isCheckedRecords());

    doc.setRecordValue(second, u"2"_s, Value(false));
    EXPECT_FALSE(doc.isCheckedRecords4Send());
    EXPECT_FALSE(doc.isCheckedRecords());
}

TEST(SendListRebuild, OnlyTheLatestRequestIsPutInPlace)
{
    application();
    MyDocument doc{SystemClock::instance()};
    setUp(doc, {record(1, false, u"a@x.org"_s)});
    int firstDone = 0;
    int secondDone = 0;
    SendListCommands(doc).updateTheSendArray([&] { ++firstDone; });
    doc.appendRecord(record(2, false, u"b@x.org"_s));
    SendListCommands(doc).updateTheSendArray([&] { ++secondDone; });
    ASSERT_TRUE(processEventsUntil([&] { return secondDone == 1; }));
    // Let any result of the first request arrive too: it must not replace the newer list.
    QElapsedTimer waited;
    waited.start();
    processEventsUntil([&] { return waited.elapsed() > 200; });

    EXPECT_EQ(firstDone, 1);
    EXPECT_EQ(emails(doc.sendArray()), QStringList({u"a@x.org"_s, u"b@x.org"_s}));
}

TEST(SendListRebuild, SelectingTheSendOrPreviewTabRebuildsAndASendRunForbidsIt)
{
    application();
    MyDocument doc{SystemClock::instance()};
    setUp(doc, {record(1, false, u"a@x.org"_s)});
    ASSERT_TRUE(doc.selectTab(MyDocument::SendTab));
    ASSERT_TRUE(processEventsUntil([&] { return doc.sendArray().size() == 1; }));
    ASSERT_TRUE(doc.selectTab(MyDocument::PreviewTab));
    ASSERT_TRUE(processEventsUntil([&] { return doc.previewArrayShown().size() == 1; }));
    ASSERT_TRUE(doc.selectTab(MyDocument::SendTab));

    ASSERT_TRUE(doc.sendProgress().tryStart());
    doc.appendRecord(record(2, false, u"b@x.org"_s));
    EXPECT_FALSE(doc.selectTab(MyDocument::DatabaseTab));
    EXPECT_EQ(doc.selectedTab(), MyDocument::SendTab);
    EXPECT_FALSE(SendListCommands(doc).updateTheSendArray());
    EXPECT_FALSE(doc.sendListRebuilder().rebuildNow());
    EXPECT_EQ(doc.sendArray().size(), 1);
}

// The list rebuilt at once, without an event loop.
TEST(SendListChecks, CheckingInTheSendListChecksTheDatabaseRecord)
{
    MyDocument doc{SystemClock::instance()};
    setUp(doc, {record(1, false, u"a@x.org"_s), record(2, false, u"b@x.org"_s), record(3, false, u"c@x.org"_s)},
          {exceptRecord(1, u"c@x.org"_s)});
    ASSERT_TRUE(doc.sendListRebuilder().rebuildNow());
    EXPECT_EQ(emails(doc.sendArray()), QStringList({u"a@x.org"_s, u"b@x.org"_s}));
    doc.setSearchFieldSendStr(u"a@"_s);
    doc.filterSend();
    doc.setSelectedTab(MyDocument::SendTab);

    GeneralCommands(doc).checkAllGeneral();
    EXPECT_EQ(checkedEmails(doc.addressArray()), QStringList({u"a@x.org"_s}));
    EXPECT_TRUE(doc.isCheckedRecords4Send());
    EXPECT_EQ(SendListCommands(doc).checkedRecordsSendN(), 1);
    EXPECT_TRUE(doc.isDocumentEdited());

    GeneralCommands(doc).uncheckAllGeneral();
    EXPECT_EQ(checkedEmails(doc.addressArray()), QStringList());
    EXPECT_FALSE(doc.isCheckedRecords4Send());
}
