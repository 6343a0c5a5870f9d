#include "DocumentTestData.h"
#include "TestPrinters.h"

#include <gtest/gtest.h>

#include <optional>

using namespace quillcast;
using namespace quillcast::testdata;
using namespace Qt::StringLiterals;

namespace {

// --- Search predicates of every list ----------------------------------------------------

// The send list's search is the preview's too.
enum class Searched { Database, Exceptions, SendAndPreview };

TEST(ListSearch, EachListsPredicate)
{
    using enum Searched;
    // search: nullopt when the search field never had a value.
    const struct { const char *name; Searched list; std::optional<QString> search; Dict record; bool shown; } rows[] = {
        {"no search text shows all", Database, std::nullopt, record(1, false, u"ann@example.org"_s), true},
        {"empty search text shows all", Database, u""_s, record(1, false, u"ann@example.org"_s), true},
        {"empty record shown without text", Database, std::nullopt, Dict(), true},
        {"found in address", Database, u"example.org"_s, record(1, false, u"ann@example.org"_s), true},
        {"found in user column", Database, u"Smith"_s, record(1, false, u"a@x.org"_s, u"Ann Smith"_s), true},
        {"found in last column", Database, u"erl"_s, record(1, false, u"a@x.org"_s, u"Ann"_s, u"Berlin"_s), true},
        {"case sensitive", Database, u"smith"_s, record(1, false, u"a@x.org"_s, u"Ann Smith"_s), false},
        {"number column never searched", Database, u"1"_s, record(1, false, u"a@x.org"_s, u"Ann"_s), false},
        {"number stored as text never searched", Database, u"12"_s, Dict{{u"1"_s, u"12"_s}, {u"3"_s, u"a@x.org"_s}},
         false},
        {"checked column never searched", Database, u"YES"_s, Dict{{u"2"_s, u"YES"_s}, {u"3"_s, u"a@x.org"_s}}, false},
        {"missing entries do not match", Database, u"Ann"_s, record(1, false, u"a@x.org"_s), false},
        {"entry of no key not searched", Database, u"Ann"_s, Dict{{u"9"_s, u"Ann"_s}}, false},
        {"dot is literal", Database, u"a.b"_s, record(1, false, u"axb@example.org"_s), false},
        {"dot found literally", Database, u"a.b"_s, record(1, false, u"a.b@example.org"_s), true},
        {"star is literal", Database, u"*"_s, record(1, false, u"ann@example.org"_s), false},
        {"accented text found", Database, u"Müll"_s, record(1, false, u"a@x.org"_s, u"Jo Müller"_s), true},
        {"leading space counts", Database, u" Ann"_s, record(1, false, u"a@x.org"_s, u"Ann"_s), false},

        {"exceptions, no search text", Exceptions, std::nullopt, exceptRecord(1, u"x@spam.com"_s, u""_s), true},
        {"exceptions, empty search text", Exceptions, u""_s, exceptRecord(1, u"x@spam.com"_s, u""_s), true},
        {"found in email", Exceptions, u"spam"_s, exceptRecord(1, u"x@spam.com"_s, u""_s), true},
        {"found in note", Exceptions, u"bounced"_s, exceptRecord(1, u"x@y.com"_s, u"bounced twice"_s), true},
        {"exceptions, case sensitive", Exceptions, u"Spam"_s, exceptRecord(1, u"x@spam.com"_s, u"spam"_s), false},
        {"exception number never searched", Exceptions, u"7"_s, exceptRecord(7, u"x@y.com"_s, u""_s), false},
        {"address column of records not searched", Exceptions, u"ann"_s, record(1, false, u"ann@x.org"_s), false},

        {"send, no search text", SendAndPreview, std::nullopt, record(1, false, u"ann@x.org"_s), true},
        {"send, empty search text", SendAndPreview, u""_s, record(1, false, u"ann@x.org"_s), true},
        {"send, found in address", SendAndPreview, u"ann@"_s, record(1, false, u"ann@x.org"_s), true},
        {"several addresses in one field", SendAndPreview, u"bob"_s, record(1, false, u"ann@x.org,bob@x.org"_s), true},
        {"user columns not searched", SendAndPreview, u"Ann"_s, record(1, false, u"a@x.org"_s, u"Ann"_s), false},
        {"send, case sensitive", SendAndPreview, u"ANN"_s, record(1, false, u"ann@x.org"_s), false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MyDocument doc{SystemClock::instance()};
        setUpWithUserKeys(doc); // "3" email, "4" Name, "5" City are searched in the database
        if (row.search) {
            switch (row.list) {
            case Database: doc.setSearchFieldStr(*row.search); break;
            case Exceptions: doc.setSearchFieldExceptStr(*row.search); break;
            case SendAndPreview:
                doc.setSearchFieldSendStr(*row.search);
                doc.setSearchFieldPreviewStr(*row.search);
                break;
            }
        }
        switch (row.list) {
        case Database: EXPECT_EQ(doc.addresses().search().matches(row.record), row.shown); break;
        case Exceptions: EXPECT_EQ(doc.exceptions().search().matches(row.record), row.shown); break;
        case SendAndPreview:
            EXPECT_EQ(doc.sendList().search().matches(row.record), row.shown);
            EXPECT_EQ(doc.previewSearch().matches(row.record), row.shown);
            break;
        }
    }
}

TEST(DatabaseSearchKeys, FewerThanThreeKeysShowNothingOnceSearched)
{
    MyDocument doc{SystemClock::instance()};
    doc.setKeyArray(List({Value(DocumentKeys::makeDbKey(u"1"_s, u"#"_s)),
                          Value(DocumentKeys::makeDbKey(u"2"_s, u"sel"_s))}));
    const Dict r = record(1, false, u"ann@example.org"_s);

    EXPECT_TRUE(doc.addresses().search().matches(r));
    doc.setSearchFieldStr(u"ann"_s);
    EXPECT_FALSE(doc.addresses().search().matches(r));
}

TEST(CheckedKeys, EachListReadsItsOwnFlagAsABooleanAndMissingAsFalse)
{
    MyDocument doc{SystemClock::instance()};
    struct Row { const char *name; const RecordList &list; Dict record; bool checked; };
    const Row rows[] = {
        {"database, number 1", doc.addresses(), Dict{{u"2"_s, 1}}, true},
        {"send list, true", doc.sendList(), Dict{{u"2"_s, true}}, true},
        {"database, number 0", doc.addresses(), Dict{{u"2"_s, 0}}, false},
        {"database, missing", doc.addresses(), Dict(), false},
        {"database ignores sel", doc.addresses(), Dict{{u"sel"_s, true}}, false},
        {"exception list, sel", doc.exceptions(), Dict{{u"sel"_s, true}}, true},
        {"exception list ignores 2", doc.exceptions(), Dict{{u"2"_s, true}}, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.record.boolValue(row.list.keys().checked), row.checked);
    }
}

class DocumentViews : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setUpWithUserKeys(doc);
        doc.setAddressArray(List({Value(record(1, false, u"ann@bonn.de"_s, u"Ann"_s, u"Bonn"_s)),
                                  Value(record(2, true, u"bob@ulm.de"_s, u"Bob"_s, u"Ulm"_s)),
                                  Value(record(3, false, u"cy@bonn.de"_s, u"Cy"_s, u"Bonn"_s)),
                                  Value(record(4, true, u"dee@köln.de"_s, u"Dee"_s, u"Köln"_s))}));
    }
    MyDocument doc{SystemClock::instance()};
};

TEST_F(DocumentViews, ShownViewHoldsTheListsOwnRecordsInOrderAndChangesOnlyWhenReEvaluated)
{
    doc.setSearchFieldStr(u"bonn"_s);
    doc.filterAddresses();
    EXPECT_EQ(numbersOf(doc.addressArrayShown()), QList<qint64>({1, 3}));
    EXPECT_TRUE(Dict::sameObject(*doc.addressArrayShown().at(1), doc.addressArray().at(2).toDict()));

    doc.setSearchFieldStr(u"Ulm"_s);
    doc.appendRecord(record(5, false, u"eve@ulm.de"_s, u"Eve"_s, u"Ulm"_s));
    EXPECT_EQ(numbersOf(doc.addressArrayShown()), QList<qint64>({1, 3}));
    doc.filterAddresses();
    EXPECT_EQ(numbersOf(doc.addressArrayShown()), QList<qint64>({2, 5}));
}

TEST_F(DocumentViews, CheckedViewCoversRecordsTheSearchHides)
{
    doc.setSearchFieldStr(u"Bonn"_s);
    doc.filterAddresses();
    doc.addresses().rearrangeChecked();
    EXPECT_EQ(numbersOf(doc.addresses().checked()), QList<qint64>({2, 4}));

    doc.setRecordValue(doc.addressArray().at(0).toDict(), u"2"_s, true);
    EXPECT_EQ(numbersOf(doc.addresses().checked()), QList<qint64>({2, 4}));
    doc.addresses().rearrangeChecked();
    EXPECT_EQ(numbersOf(doc.addresses().checked()), QList<qint64>({1, 2, 4}));
}

TEST_F(DocumentViews, ShownAndCheckedTogetherMatchTheViewsReEvaluatedInTurn)
{
    doc.setSearchFieldStr(u"Bonn"_s);
    doc.addresses().filterShownAndChecked();
    doc.updateAnyChecked(doc.addresses());
    EXPECT_EQ(numbersOf(doc.addressArrayShown()), QList<qint64>({1, 3}));
    EXPECT_EQ(numbersOf(doc.addresses().checked()), QList<qint64>({2, 4}));
    EXPECT_TRUE(doc.isCheckedRecords());

    doc.setSendArray(List({doc.addressArray().at(3), Value(u"not a record"_s), doc.addressArray().at(0)}));
    doc.setSearchFieldSendStr(u"köln"_s);
    doc.sendList().filterShownAndChecked();
    EXPECT_EQ(numbersOf(doc.sendArrayShown()), QList<qint64>({4}));
    EXPECT_EQ(numbersOf(doc.sendList().checked()), QList<qint64>({4}));
}

TEST_F(DocumentViews, PreviewListIsTheSendList)
{
    doc.setSendArray(List({doc.addressArray().at(3), doc.addressArray().at(1)}));
    doc.setSearchFieldPreviewStr(u"köln"_s);
    doc.filterPreview();
    doc.filterSend();

    EXPECT_EQ(numbersOf(doc.previewArrayShown()), QList<qint64>({4}));
    EXPECT_EQ(numbersOf(doc.sendArrayShown()), QList<qint64>({4, 2}));
}

TEST_F(DocumentViews, EachListHasItsOwnSearchText)
{
    doc.setExceptArray(List({Value(exceptRecord(1, u"ann@bonn.de"_s, u"asked"_s)),
                             Value(exceptRecord(2, u"zed@x.org"_s, u"Bonn office"_s))}));
    doc.setSearchFieldExceptStr(u"Bonn"_s);
    doc.filterAddresses();
    doc.filterExcepts();

    EXPECT_EQ(doc.addressArrayShown().size(), 4);
    ASSERT_EQ(doc.exceptArrayShown().size(), 1);
    EXPECT_EQ(doc.exceptArrayShown().at(0)->intValue(u"num"_s), 2);
}

TEST_F(DocumentViews, ReEvaluationIsAnnounced)
{
    QList<MyDocument::View> seen;
    QObject::connect(&doc, &MyDocument::viewRearranged, [&](MyDocument::View v) { seen.append(v); });
    doc.filterSend();
    doc.exceptions().rearrangeChecked();
    EXPECT_EQ(seen, QList<MyDocument::View>({MyDocument::View::SendShown, MyDocument::View::ExceptChecked}));
}

TEST(ArrangedViewTest, TwoViewsTogetherWithOrWithoutPredicates)
{
    const Dict a{{u"2"_s, true}, {u"3"_s, u"a"_s}};
    const Dict b{{u"2"_s, false}, {u"3"_s, u"b"_s}};
    const List list({Value(a), Value(7), Value(b)});
    const ArrangedView::Predicate checked = [](const Dict &d) { return d.boolValue(u"2"_s); };
    ArrangedView all;
    ArrangedView onlyChecked;
    ArrangedView::rearrangeTogether(list, all, {}, onlyChecked, checked);
    EXPECT_EQ(all.size(), 2);
    EXPECT_EQ(onlyChecked.indexOf(a), 0);
    EXPECT_EQ(onlyChecked.size(), 1);

    ArrangedView::rearrangeTogether(list, onlyChecked, checked, all, {});
    EXPECT_EQ(onlyChecked.size(), 1);
    EXPECT_EQ(all.indexOf(b), 1);
}

TEST(ArrangedViewTest, SkipsElementsThatAreNoRecordsAndFindsRecordsByIdentity)
{
    const Dict a{{u"3"_s, u"a"_s}};
    const Dict b{{u"3"_s, u"b"_s}};
    const List list({Value(a), Value(u"not a record"_s), Value(), Value(b)});
    ArrangedView view;
    view.rearrange(list, [](const Dict &) { return true; });

    EXPECT_EQ(view.size(), 2);
    EXPECT_EQ(view.indexOf(b), 1);
    EXPECT_EQ(view.indexOf(b.deepCopy()), -1);
    EXPECT_EQ(view.at(2), std::nullopt);
}

} // namespace
