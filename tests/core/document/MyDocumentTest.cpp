#include "DocumentTestData.h"
#include "TestPrinters.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace quillcast::testdata;
using namespace Qt::StringLiterals;

namespace {

// One entry ("innerKey" or "publicKey") of every key.
QStringList keyNames(const List &keys, const QString &entry = u"innerKey"_s)
{
    QStringList names;
    for (const Value &k : keys.items())
        names.append(k.toDict().stringValue(entry));
    return names;
}

} // namespace

// --- Window set-up -------------------------------------------------------------------

// The saved defaults of a new mailing are checked through the command line's
// "new"; here, what the window shows and which texts have no value at all.
TEST(MyDocumentSetUp, NewDocumentGetsExactlyTheFixedKeysAndNoValueWhereNoneIsSaved)
{
    MyDocument doc{SystemClock::instance()};
    doc.setUpOpenedDocument();

    EXPECT_EQ(keyNames(doc.keyArray()), QStringList({u"1"_s, u"2"_s, u"3"_s}));
    EXPECT_EQ(doc.columnHeaders(), QStringList({u"#"_s, u"sel"_s, u"email"_s}));
    EXPECT_TRUE(doc.mailFormReplyTo().isNull());
    EXPECT_FALSE(doc.mailFormSubject().isNull()); // "" merges to "", not to "no text"
    EXPECT_TRUE(doc.searchFieldStr().isNull());
    EXPECT_FALSE(doc.isDocumentEdited());
}

TEST(MyDocumentSetUp, KeepsTheKeysLogAndCheckedStateOfAnOpenedDocument)
{
    MyDocument doc{SystemClock::instance()};
    doc.setKeyArray(List({Value(DocumentKeys::makeDbKey(u"1"_s, u"#"_s)),
                          Value(DocumentKeys::makeDbKey(u"2"_s, u"sel"_s)),
                          Value(DocumentKeys::makeDbKey(u"3"_s, u"email"_s)),
                          Value(DocumentKeys::makeDbKey(u"7"_s, u"Town"_s))}));
    doc.setMyLog(u"01/02/26 10:00 Done.\n"_s);
    doc.setAddressArray(List({Value(record(1, false, u"ann@example.org"_s)),
                              Value(record(2, true, u"bob@example.org"_s))}));
    doc.setSearchFieldStr(u"ann"_s);
    doc.filterAddresses();
    doc.setUpOpenedDocument();

    EXPECT_EQ(keyNames(doc.keyArray()), QStringList({u"1"_s, u"2"_s, u"3"_s, u"7"_s}));
    EXPECT_EQ(doc.columnHeaders(), QStringList({u"#"_s, u"sel"_s, u"email"_s, u"Town"_s}));
    EXPECT_EQ(doc.logViewText(), u"01/02/26 10:00 Done.\n"_s);
    EXPECT_TRUE(doc.isCheckedRecords()); // the checked record is hidden by the search
    EXPECT_FALSE(doc.isDocumentEdited());
}

// When a document is opened; an edited pause is checked with the user's edits.
TEST(MyDocumentSetUp, RaisesAPauseBelowOneSecondToOne)
{
    const struct { const char *name; qint64 saved; qint64 shown; } rows[] = {
        {"zero", 0, 1},
        {"negative", -3, 1},
        {"one", 1, 1},
        {"seven", 7, 7},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MyDocument doc{SystemClock::instance()};
        doc.setSendPrepTimeInterval(row.saved);
        doc.setUpOpenedDocument();
        EXPECT_EQ(doc.sendPrepTimeInterval(), row.shown);
        EXPECT_FALSE(doc.isDocumentEdited());
    }
}

// --- Unique inner-name rule ---------------------------------------------------------------

TEST(MyDocumentInnerNames, FirstFreeNumberAfterTheFixedKeys)
{
    MyDocument fresh{SystemClock::instance()};
    fresh.setUpOpenedDocument();
    EXPECT_EQ(fresh.getUniqueNewInnerColName(), u"4"_s);

    MyDocument doc{SystemClock::instance()};
    setUpWithUserKeys(doc); // user keys "4" and "5"
    // A key whose inner name was stored as a number still occupies that name.
    doc.keyArray().append(Value(Dict{{u"innerKey"_s, 6}, {u"publicKey"_s, u"Zip"_s}}));
    EXPECT_EQ(doc.getUniqueNewInnerColName(), u"7"_s);
    doc.keyArray().removeAt(3); // the gap a deleted key leaves is used again
    EXPECT_EQ(doc.getUniqueNewInnerColName(), u"4"_s);
}

// --- Key-name rule --------------------------------------------------------------------

TEST(MyDocumentKeyNames, EditsOfAUserKeyName)
{
    const struct { const char *name; QString typed; bool taken; QString resultingName; } rows[] = {
        {"plain name", u"Surname"_s, true, u"Surname"_s},
        {"leading space kept", u" Ann"_s, true, u" Ann"_s},
        {"three spaces keep the old name", u"   "_s, false, u"Name"_s},
        {"empty keeps the old name", u""_s, false, u"Name"_s},
        {"tabs keep the old name", u"\t\t"_s, false, u"Name"_s},
        {"line break keeps the old name", u" \n"_s, false, u"Name"_s},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MyDocument doc{SystemClock::instance()};
        setUpWithUserKeys(doc);

        EXPECT_EQ(doc.setPublicKey(3, row.typed), row.taken);
        EXPECT_EQ(doc.keyArray().at(3).toDict().stringValue(u"publicKey"_s), row.resultingName);
        EXPECT_EQ(doc.columnHeaders().at(3), row.resultingName);
        EXPECT_EQ(doc.isDocumentEdited(), row.taken);
    }
}

TEST(MyDocumentKeyNames, FixedKeysAndMissingKeysCannotBeRenamed)
{
    MyDocument doc{SystemClock::instance()};
    setUpWithUserKeys(doc);

    EXPECT_FALSE(doc.setPublicKey(2, u"mail"_s));
    EXPECT_FALSE(doc.setPublicKey(5, u"Zip"_s));
    EXPECT_FALSE(doc.setPublicKey(-1, u"Zip"_s));
    EXPECT_EQ(keyNames(doc.keyArray(), u"publicKey"_s),
              QStringList({u"#"_s, u"sel"_s, u"email"_s, u"Name"_s, u"City"_s}));
    EXPECT_FALSE(doc.isDocumentEdited());
}

// --- Edited rule ------------------------------------------------------------------------

TEST(MyDocumentEditedRule, WhichRecordValuesMarkTheDocumentEdited)
{
    const struct { const char *name; QString innerKey; Value value; bool edited; } rows[] = {
        {"number alone", u"1"_s, Value(9), false},
        {"checked flag", u"2"_s, Value(true), true},
        {"address", u"3"_s, Value(u"zoe@example.org"_s), true},
        {"user key", u"5"_s, Value(u"Ulm"_s), true},
        {"entry of no key", u"42"_s, Value(u"x"_s), false},
        {"same value again", u"3"_s, Value(u"ann@example.org"_s), false},
        {"user entry removed", u"4"_s, Value(), true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MyDocument doc{SystemClock::instance()};
        setUpWithUserKeys(doc);
        const Dict r = record(1, false, u"ann@example.org"_s, u"Ann"_s, u"Bonn"_s);
        doc.appendRecord(r);
        doc.updateChangeCount(MyDocument::ChangeKind::Cleared);

        doc.setRecordValue(r, row.innerKey, row.value);
        EXPECT_EQ(r.value(row.innerKey), row.value);
        EXPECT_EQ(doc.isDocumentEdited(), row.edited);
    }
}

TEST(MyDocumentEditedRule, ChangesOfTheListOfRecordsMarkEdited)
{
    MyDocument doc{SystemClock::instance()};
    setUpWithUserKeys(doc);
    const Dict r = record(1, false, u"ann@example.org"_s);

    doc.appendRecord(r);
    EXPECT_TRUE(doc.isDocumentEdited());

    doc.updateChangeCount(MyDocument::ChangeKind::Cleared);
    EXPECT_FALSE(doc.removeRecord(record(1, false, u"ann@example.org"_s))); // equal, but another record
    EXPECT_FALSE(doc.isDocumentEdited());

    EXPECT_TRUE(doc.removeRecord(r));
    EXPECT_TRUE(doc.isDocumentEdited());
    EXPECT_EQ(doc.addressArray().size(), 0);
}

TEST(MyDocumentEditedRule, ReadingADocumentBeforeSetUpIsNoEdit)
{
    MyDocument doc{SystemClock::instance()};
    const Dict r = record(1, false, u"ann@example.org"_s);
    doc.setAddressArray(List({Value(r)}));
    doc.setRecordValue(r, u"2"_s, true);
    doc.setUpOpenedDocument();
    EXPECT_FALSE(doc.isDocumentEdited());
}

// --- Change count ----------------------------------------------------------------------

TEST(MyDocumentCommands, ChangeCountNotifiesOnlyWhenTheStateFlips)
{
    MyDocument doc{SystemClock::instance()};
    QList<bool> seen;
    QObject::connect(&doc, &MyDocument::documentEditedChanged, [&](bool edited) { seen.append(edited); });

    doc.updateChangeCount(MyDocument::ChangeKind::Done);
    doc.updateChangeCount(MyDocument::ChangeKind::Done);
    doc.updateChangeCount(MyDocument::ChangeKind::Cleared);
    EXPECT_EQ(seen, QList<bool>({true, false}));
}

TEST(MyDocumentProperties, NoValueAndEmptyTextAreDistinctChanges)
{
    MyDocument doc{SystemClock::instance()};
    int notified = 0;
    QObject::connect(&doc, &MyDocument::searchFieldStrChanged, [&](const QString &) { ++notified; });

    doc.setSearchFieldStr(QString());    // still no value
    doc.setSearchFieldStr(u""_s);       // now ""
    doc.setSearchFieldStr(u""_s);       // unchanged
    doc.setSearchFieldStr(u"ann"_s);
    EXPECT_EQ(notified, 2);
}

// --- Merge tags -----------------------------------------------------------------------

TEST(MyDocumentMerge, PositionalFormUsesTheSendListAndToleratesABadPosition)
{
    MyDocument doc{SystemClock::instance()};
    setUpWithUserKeys(doc);
    doc.setSendArray(List({Value(record(7, true, u"ann@example.org"_s, u"Ann"_s, u"Bonn"_s))}));
    const QString text = u"_Name_ <_email_> #_#_ in _City_"_s;

    EXPECT_EQ(doc.performTextSubstitution(text, qsizetype(0)), u"Ann <ann@example.org> #7 in Bonn"_s);
    EXPECT_EQ(doc.performTextSubstitution(text, qsizetype(1)), text);
    EXPECT_EQ(doc.performTextSubstitution(text, qsizetype(-1)), text);
    EXPECT_TRUE(doc.performTextSubstitution(QString(), qsizetype(0)).isNull());
    EXPECT_TRUE(doc.performTextSubstitution(QString(), qsizetype(5)).isNull());
}

