#include "DocumentTestData.h"
#include "TestPrinters.h"
#include "database/GeneralCommands.h"
#include "document/CommandEnabling.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

using Control = CommandEnabling::Control;

CommandEnablingState onTab(int tab, qsizetype addresses = 0, qsizetype exceptions = 0, qsizetype send = 0)
{
    CommandEnablingState s;
    s.selectedTab = tab;
    s.addressCount = addresses;
    s.exceptCount = exceptions;
    s.sendCount = send;
    return s;
}

std::optional<bool> menu(Command c, const CommandEnablingState &s)
{
    return CommandEnabling::isEnabled(c, Control::MenuItem, s);
}

std::optional<bool> toolbar(Command c, const CommandEnablingState &s)
{
    return CommandEnabling::isEnabled(c, Control::ToolbarItem, s);
}

} // namespace

TEST(CommandEnabling, PreviewTabOffersTheDatabaseChecksButNotTheGeneralOnes)
{
    const CommandEnablingState preview = onTab(3, 10, 4);
    for (Command c : {Command::checkAllRecords, Command::uncheckAllRecords, Command::checkDuplicateEmails,
                      Command::checkUniqueEmails, Command::checkValidEmails, Command::checkUnvalidEmails})
        EXPECT_EQ(menu(c, preview), true) << int(c);
    EXPECT_EQ(menu(Command::checkAllGeneral, preview), false);
    EXPECT_EQ(toolbar(Command::checkAllGeneral, preview), false);
    EXPECT_EQ(toolbar(Command::checkUniqueEmailGeneral, preview), false);
    EXPECT_EQ(menu(Command::checkAllRecords, onTab(3)), false); // no records
}

TEST(CommandEnabling, MenuAndToolbarDifferWhereTheRulesSaySo)
{
    const auto keySelected = [](int tab, bool userKey) {
        CommandEnablingState s = onTab(tab, 5);
        s.keyListHasSelection = true;
        s.canRemoveKeyListElement = userKey;
        return s;
    };
    const auto sending = [](int tab, bool running) {
        CommandEnablingState s = onTab(tab, 1, 0, 1);
        s.preparingSending = running;
        return s;
    };
    const struct
    {
        const char *name;
        Command command;
        CommandEnablingState state;
        std::optional<bool> menu;
        std::optional<bool> toolbar;
    } rows[] = {
        {"check all on an empty send list", Command::checkAllGeneral, onTab(4), true, false},
        {"check all on a send list with records", Command::checkAllGeneral, onTab(4, 0, 0, 2), true, true},
        {"export from the exception tab", Command::exportToTextFile, onTab(1, 0, 3), true, false},
        {"export from the database tab", Command::exportToTextFile, onTab(0, 3), true, true},
        {"export general", Command::exportToTextFileGeneral, onTab(1, 0, 3), std::nullopt, true},
        {"import general", Command::importFromTextFileGeneral, onTab(1), std::nullopt, true},
        {"uncheck all general", Command::uncheckAllGeneral, onTab(0, 1), std::nullopt, true},
        {"remove row, empty database", Command::removeRow, onTab(0), false, false},
        {"remove row, exceptions", Command::removeRow, onTab(1, 0, 1), true, true},
        {"add record on the exception tab", Command::addAddress, onTab(1), false, false},
        {"add row on the mail tab", Command::addRow, onTab(2), false, false},
        {"send all", Command::sendAllRecords, onTab(4, 0, 0, 1), true, std::nullopt},
        {"remove attachment, none", Command::removeAttachmentPath, onTab(2), false, false},
        {"delete a selected user key", Command::deleteSelectedKey, keySelected(0, true), std::nullopt, true},
        {"delete the selected email key", Command::deleteSelectedKey, keySelected(0, false), std::nullopt, false},
        {"delete a key off the database tab", Command::deleteSelectedKey, keySelected(1, true), std::nullopt, false},
        {"cancel with no run", Command::cancelOperation, sending(4, false), false, std::nullopt},
        {"cancel during a run", Command::cancelOperation, sending(4, true), true, std::nullopt},
        {"cancel off the send tab", Command::cancelOperation, sending(0, true), false, std::nullopt},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(menu(row.command, row.state), row.menu);
        EXPECT_EQ(toolbar(row.command, row.state), row.toolbar);
    }
}

// The commands on the last run's results: on the send tab, never during a
// run except the export, and each only when the results hold what it acts on.
TEST(CommandEnabling, TheResultsCommandsFollowTheLastRun)
{
    const auto results = [](qint64 retryable, qint64 failed, bool running = false, int tab = 4) {
        CommandEnablingState s = onTab(tab, 3, 0, 3);
        s.lastRunHasResults = true;
        s.lastRunRetryable = retryable;
        s.lastRunFailedRecords = failed;
        s.preparingSending = running;
        return s;
    };
    const struct
    {
        const char *name;
        CommandEnablingState state;
        bool retry;
        bool check;
        bool exportResults;
    } rows[] = {
        {"no run yet", onTab(4, 3, 0, 3), false, false, false},
        {"all accepted", results(0, 0), false, false, true},
        {"refused for good only", results(0, 2), false, true, true},
        {"failed and refused for now", results(2, 2), true, true, true},
        {"during a run", results(2, 2, true), false, false, true},
        {"on the database tab", results(2, 2, false, 0), false, false, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        for (Control control : {Control::MenuItem, Control::ToolbarItem}) {
            EXPECT_EQ(CommandEnabling::isEnabled(Command::retryFailedRecords, control, row.state), row.retry);
            EXPECT_EQ(CommandEnabling::isEnabled(Command::checkFailedRecords, control, row.state), row.check);
            EXPECT_EQ(CommandEnabling::isEnabled(Command::exportRunResults, control, row.state), row.exportResults);
        }
    }
}

TEST(CommandEnabling, DeleteCheckedFollowsTheDocumentsChecks)
{
    MyDocument doc{SystemClock::instance()};
    testdata::setUpWithUserKeys(doc);
    doc.setExceptArray(List({Value(testdata::exceptRecord(1, u"a@x.org"_s, u""_s))}));
    doc.appendRecord(testdata::record(1, false, u"a@x.org"_s));
    doc.filterExcepts();
    GeneralCommands general(doc);

    EXPECT_EQ(menu(Command::deleteCheckRecords, general.enablingState(false, false)), false);
    doc.addressArray().at(0).toDict().set(u"2"_s, true);
    EXPECT_EQ(menu(Command::deleteCheckRecords, general.enablingState(false, false)), true);
    EXPECT_EQ(toolbar(Command::deleteCheckRecordsGeneral, general.enablingState(false, false)), true);

    doc.setSelectedTab(MyDocument::ExceptionTab);
    EXPECT_EQ(toolbar(Command::deleteCheckRecordsGeneral, general.enablingState(false, false)), false);
    doc.exceptArray().at(0).toDict().set(u"sel"_s, true);
    EXPECT_EQ(toolbar(Command::deleteCheckRecordsGeneral, general.enablingState(false, false)), true);
    // A checked exception hidden by the search does not count.
    doc.setSearchFieldExceptStr(u"zzz"_s);
    doc.filterExcepts();
    EXPECT_EQ(toolbar(Command::deleteCheckRecordsGeneral, general.enablingState(false, false)), false);
}
