#include "DocumentTestData.h"
#include "document/UserEdits.h"
#include "util/UndoManager.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

struct TextField
{
    const char *name;
    void (UserEdits::*edit)(const QString &);
    void (MyDocument::*load)(const QString &);
    QString (MyDocument::*read)() const;
};

const TextField kTextFields[] = {
    {"from", &UserEdits::editMailFormFrom, &MyDocument::setMailFormFrom, &MyDocument::mailFormFrom},
    {"to", &UserEdits::editMailFormTo, &MyDocument::setMailFormTo, &MyDocument::mailFormTo},
    {"reply-to", &UserEdits::editMailFormReplyTo, &MyDocument::setMailFormReplyTo, &MyDocument::mailFormReplyTo},
    {"subject", &UserEdits::editMailFormSubject, &MyDocument::setMailFormSubject, &MyDocument::mailFormSubject},
    {"body", &UserEdits::editMailFormBody, &MyDocument::setMailFormBody, &MyDocument::mailFormBody},
    {"html body", &UserEdits::editMailFormBodyHtml, &MyDocument::setMailFormBodyHtml, &MyDocument::mailFormBodyHtml},
    {"alt text", &UserEdits::editMailFormBodyHtmlAltText, &MyDocument::setMailFormBodyHtmlAltText,
     &MyDocument::mailFormBodyHtmlAltText},
};

} // namespace

// The file reader's setters leave the document clean; the user's typing marks
// it, or autosave and the close prompt never hear of the change.
TEST(UserEdits, TypingInAMailFormFieldMarksTheDocumentEditedLoadingDoesNot)
{
    for (const TextField &field : kTextFields) {
        SCOPED_TRACE(field.name);
        MyDocument doc{SystemClock::instance()};
        doc.setUpOpenedDocument();
        (doc.*field.load)(u"loaded _Name_"_s);
        EXPECT_FALSE(doc.isDocumentEdited());

        int edits = 0;
        QObject::connect(&doc, &MyDocument::editCounted, [&] { ++edits; });
        UserEdits edit(doc);
        (edit.*field.edit)(u"loaded _Name_"_s); // the same text again
        EXPECT_EQ(edits, 0);
        (edit.*field.edit)(u"typed _Name_"_s);
        EXPECT_EQ((doc.*field.read)(), u"typed _Name_"_s);
        EXPECT_TRUE(doc.isDocumentEdited());
        EXPECT_EQ(edits, 1);
    }
}

TEST(UserEdits, EmptyingANeverUsedReplyToIsNoEdit)
{
    MyDocument doc{SystemClock::instance()};
    doc.setUpOpenedDocument();
    UserEdits(doc).editMailFormReplyTo(u""_s);
    EXPECT_FALSE(doc.isDocumentEdited());
}

// kind, transport before; what the user chooses; kind, transport after.
TEST(UserEdits, KindAndTransportStayTiedAndEveryRealChoiceIsAnEdit)
{
    const struct
    {
        const char *name;
        qint64 kind, transport;
        bool chooseKind;
        qint64 choice;
        qint64 kindAfter, transportAfter;
        bool edited;
    } rows[] = {
        {"html chooses the mail server", 0, 0, true, 1, 1, 1, true},
        {"plain keeps the transport", 1, 1, true, 0, 0, 1, true},
        {"system mail makes it plain", 1, 1, false, 0, 0, 0, true},
        {"mail server keeps plain", 0, 0, false, 1, 0, 1, true},
        {"the kind chosen already", 1, 1, true, 1, 1, 1, false},
        {"the transport chosen already", 0, 0, false, 0, 0, 0, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MyDocument doc{SystemClock::instance()};
        doc.setEmailKind(row.kind);
        doc.setUseMailServerToSend(row.transport);
        doc.setUpOpenedDocument();
        if (row.chooseKind)
            UserEdits(doc).editEmailKind(row.choice);
        else
            UserEdits(doc).editTransport(row.choice);
        EXPECT_EQ(doc.emailKind(), row.kindAfter);
        EXPECT_EQ(doc.useMailServerToSend(), row.transportAfter);
        EXPECT_EQ(doc.isDocumentEdited(), row.edited);
    }
}

TEST(UserEdits, ChoosingAConnectionIsAnEditUnlessItIsTheOneInUse)
{
    const struct { const char *name; std::optional<qint64> stored; qint64 chosen; bool edited; } rows[] = {
        {"another connection", 0, 2, true},
        {"the same connection", 2, 2, false},
        {"the first, none stored", std::nullopt, 0, false},
        {"the second, none stored", std::nullopt, 1, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MyDocument doc{SystemClock::instance()};
        doc.setSelectedIndexConnection(row.stored);
        doc.setUpOpenedDocument();
        UserEdits(doc).editSelectedIndexConnection(row.chosen);
        EXPECT_EQ(doc.selectedIndexConnection().value_or(0), row.chosen);
        EXPECT_EQ(doc.isDocumentEdited(), row.edited);
    }
}

TEST(UserEdits, APauseEditIsAnEditAndNeverGoesBelowOneSecond)
{
    const struct { const char *name; qint64 typed, stored; bool edited; } rows[] = {
        {"longer", 12, 12, true},
        {"zero", 0, 1, true},
        {"unchanged", 5, 5, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MyDocument doc{SystemClock::instance()};
        doc.setUpOpenedDocument();
        ASSERT_EQ(doc.sendPrepTimeInterval(), 5);
        UserEdits(doc).editSendPrepTimeInterval(row.typed);
        EXPECT_EQ(doc.sendPrepTimeInterval(), row.stored);
        EXPECT_EQ(doc.isDocumentEdited(), row.edited);
    }
}

TEST(UserEdits, TheWebTabShowsTheHtmlBodyUnmergedAndMarksNothing)
{
    MyDocument doc{SystemClock::instance()};
    testdata::setUpWithUserKeys(doc);
    doc.setMailFormBodyHtml(u"<p>Dear _Name_ on _yyyy_</p>"_s);
    QStringList loaded;
    UserEdits(doc).updateWebInMail([&](const QString &html) { loaded.append(html); });
    UserEdits(doc).updateWebInMail({}); // no view yet: nothing happens
    EXPECT_EQ(loaded, QStringList{u"<p>Dear _Name_ on _yyyy_</p>"_s});
    EXPECT_FALSE(doc.isDocumentEdited());
}

// Turning the refused-to-exceptions setting on or off is an edit and a step
// to undo; choosing what is chosen is neither.
TEST(UserEdits, TheRefusedAddressSettingIsAnUndoableEdit)
{
    MyDocument doc{SystemClock::instance()};
    doc.setUpOpenedDocument();
    ASSERT_EQ(doc.addRefusedToExceptions(), 0);
    UserEdits(doc).editAddRefusedToExceptions(false);
    EXPECT_FALSE(doc.isDocumentEdited());
    EXPECT_FALSE(doc.undoManager().canUndo());

    UserEdits(doc).editAddRefusedToExceptions(true);
    EXPECT_EQ(doc.addRefusedToExceptions(), 1);
    EXPECT_TRUE(doc.isDocumentEdited());
    EXPECT_EQ(doc.undoManager().undoActionName(), u"Add Refused Addresses to Exceptions"_s);
    ASSERT_TRUE(doc.undoManager().undo());
    EXPECT_EQ(doc.addRefusedToExceptions(), 0);
    ASSERT_TRUE(doc.undoManager().redo());
    EXPECT_EQ(doc.addRefusedToExceptions(), 1);
}
