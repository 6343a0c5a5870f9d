#include "DocumentTestData.h"
#include "TestPrinters.h"
#include "document/MyDocument.h"

#include <gtest/gtest.h>

#include <optional>

using namespace quillcast;
using namespace quillcast::testdata;
using namespace Qt::StringLiterals;

namespace {

// --- Search predicates: one table per list -------------------------------------------------

struct SearchRow
{
    const char *name;
    std::optional<QString> search; // nullopt: the search field never had a value
    Dict record;
    bool shown;
};

std::ostream &operator<<(std::ostream &os, const SearchRow &row)
{
    return os << row.name;
}

std::string rowName(const testing::TestParamInfo<SearchRow> &info)
{
    return info.param.name;
}

class DatabaseSearch : public testing::TestWithParam<SearchRow>
{
};

TEST_P(DatabaseSearch, Predicate)
{
    MyDocument doc;
    setUpWithUserKeys(doc); // "3" email, "4" Name, "5" City are searched
    if (GetParam().search)
        doc.setSearchFieldStr(*GetParam().search);
    EXPECT_EQ(doc.addressArrayControllerPredicate(GetParam().record), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DatabaseSearch,
    testing::Values(
        SearchRow{"NoSearchTextShowsAll", std::nullopt, record(1, false, u"ann@example.org"_s), true},
        SearchRow{"EmptySearchTextShowsAll", u""_s, record(1, false, u"ann@example.org"_s), true},
        SearchRow{"EmptyRecordShownWithoutText", std::nullopt, Dict(), true},
        SearchRow{"FoundInAddress", u"example.org"_s, record(1, false, u"ann@example.org"_s), true},
        SearchRow{"FoundInUserColumn", u"Smith"_s, record(1, false, u"a@x.org"_s, u"Ann Smith"_s), true},
        SearchRow{"FoundInLastColumn", u"erl"_s, record(1, false, u"a@x.org"_s, u"Ann"_s, u"Berlin"_s), true},
        SearchRow{"CaseSensitive", u"smith"_s, record(1, false, u"a@x.org"_s, u"Ann Smith"_s), false},
        SearchRow{"NumberColumnNeverSearched", u"1"_s, record(1, false, u"a@x.org"_s, u"Ann"_s), false},
        SearchRow{"NumberStoredAsTextNeverSearched", u"12"_s,
                  Dict{{u"1"_s, u"12"_s}, {u"3"_s, u"a@x.org"_s}}, false},
        SearchRow{"CheckedColumnNeverSearched", u"YES"_s,
                  Dict{{u"2"_s, u"YES"_s}, {u"3"_s, u"a@x.org"_s}}, false},
        SearchRow{"MissingEntriesDoNotMatch", u"Ann"_s, record(1, false, u"a@x.org"_s), false},
        SearchRow{"EntryOfNoKeyNotSearched", u"Ann"_s, Dict{{u"9"_s, u"Ann"_s}}, false},
        SearchRow{"DotIsLiteral", u"a.b"_s, record(1, false, u"axb@example.org"_s), false},
        SearchRow{"DotFoundLiterally", u"a.b"_s, record(1, false, u"a.b@example.org"_s), true},
        SearchRow{"StarIsLiteral", u"*"_s, record(1, false, u"ann@example.org"_s), false},
        SearchRow{"AccentedTextFound", u"Müll"_s, record(1, false, u"a@x.org"_s, u"Jo Müller"_s), true},
        SearchRow{"LeadingSpaceCounts", u" Ann"_s, record(1, false, u"a@x.org"_s, u"Ann"_s), false}),
    rowName);

class ExceptionSearch : public testing::TestWithParam<SearchRow>
{
};

TEST_P(ExceptionSearch, Predicate)
{
    MyDocument doc;
    doc.windowControllerDidLoadNib();
    if (GetParam().search)
        doc.setSearchFieldExceptStr(*GetParam().search);
    EXPECT_EQ(doc.exceptArrayControllerPredicate(GetParam().record), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ExceptionSearch,
    testing::Values(
        SearchRow{"NoSearchTextShowsAll", std::nullopt, exceptRecord(1, u"x@spam.com"_s, u""_s), true},
        SearchRow{"EmptySearchTextShowsAll", u""_s, exceptRecord(1, u"x@spam.com"_s, u""_s), true},
        SearchRow{"FoundInEmail", u"spam"_s, exceptRecord(1, u"x@spam.com"_s, u""_s), true},
        SearchRow{"FoundInNote", u"bounced"_s, exceptRecord(1, u"x@y.com"_s, u"bounced twice"_s), true},
        SearchRow{"CaseSensitive", u"Spam"_s, exceptRecord(1, u"x@spam.com"_s, u"spam"_s), false},
        SearchRow{"NumberNeverSearched", u"7"_s, exceptRecord(7, u"x@y.com"_s, u""_s), false},
        SearchRow{"AddressColumnOfRecordsNotSearched", u"ann"_s, record(1, false, u"ann@x.org"_s), false}),
    rowName);

class SendSearch : public testing::TestWithParam<SearchRow>
{
};

TEST_P(SendSearch, SendAndPreviewPredicates)
{
    MyDocument doc;
    setUpWithUserKeys(doc);
    if (GetParam().search) {
        doc.setSearchFieldSendStr(*GetParam().search);
        doc.setSearchFieldPreviewStr(*GetParam().search);
    }
    EXPECT_EQ(doc.sendArrayControllerPredicate(GetParam().record), GetParam().shown);
    EXPECT_EQ(doc.previewArrayControllerPredicate(GetParam().record), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SendSearch,
    testing::Values(
        SearchRow{"NoSearchTextShowsAll", std::nullopt, record(1, false, u"ann@x.org"_s), true},
        SearchRow{"EmptySearchTextShowsAll", u""_s, record(1, false, u"ann@x.org"_s), true},
        SearchRow{"FoundInAddress", u"ann@"_s, record(1, false, u"ann@x.org"_s), true},
        SearchRow{"SeveralAddressesInOneField", u"bob"_s, record(1, false, u"ann@x.org,bob@x.org"_s), true},
        SearchRow{"UserColumnsNotSearched", u"Ann"_s, record(1, false, u"a@x.org"_s, u"Ann"_s), false},
        SearchRow{"CaseSensitive", u"ANN"_s, record(1, false, u"ann@x.org"_s), false}),
    rowName);

TEST(DatabaseSearchKeys, FewerThanThreeKeysShowNothingOnceSearched)
{
    MyDocument doc;
    doc.setKeyArray(List({Value(DocumentKeys::makeDbKey(u"1"_s, u"#"_s)),
                          Value(DocumentKeys::makeDbKey(u"2"_s, u"sel"_s))}));
    const Dict r = record(1, false, u"ann@example.org"_s);

    EXPECT_TRUE(doc.addressArrayControllerPredicate(r));
    doc.setSearchFieldStr(u"ann"_s);
    EXPECT_FALSE(doc.addressArrayControllerPredicate(r));
}

TEST(CheckedPredicates, ReadTheFlagAsABooleanAndMissingAsFalse)
{
    EXPECT_TRUE(MyDocument::checkedRecordPredicate(Dict{{u"2"_s, 1}}));
    EXPECT_TRUE(MyDocument::checkedRecordPredicate4Send(Dict{{u"2"_s, true}}));
    EXPECT_FALSE(MyDocument::checkedRecordPredicate(Dict{{u"2"_s, 0}}));
    EXPECT_FALSE(MyDocument::checkedRecordPredicate(Dict()));
    EXPECT_FALSE(MyDocument::checkedRecordPredicate(Dict{{u"sel"_s, true}}));
    EXPECT_TRUE(MyDocument::checkedRecordPredicate4Except(Dict{{u"sel"_s, true}}));
    EXPECT_FALSE(MyDocument::checkedRecordPredicate4Except(Dict{{u"2"_s, true}}));
}

// --- Views ----------------------------------------------------------------------------

QList<qint64> numbersOf(const ArrangedView &view)
{
    QList<qint64> out;
    for (const Dict &r : *view.records())
        out.append(r.intValue(u"1"_s));
    return out;
}

class DocumentViews : public testing::Test
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
    MyDocument doc;
};

TEST_F(DocumentViews, ShownViewKeepsListOrderAndHoldsTheListsOwnRecords)
{
    doc.setSearchFieldStr(u"bonn"_s);
    doc.filterAddresses();

    EXPECT_EQ(numbersOf(doc.addressArrayShown()), QList<qint64>({1, 3}));
    EXPECT_TRUE(Dict::sameObject(*doc.addressArrayShown().at(1), doc.addressArray().at(2).toDict()));
}

TEST_F(DocumentViews, ChangesOnlyWhenReEvaluated)
{
    doc.filterAddresses();
    ASSERT_EQ(doc.addressArrayShown().size(), 4);

    doc.setSearchFieldStr(u"Ulm"_s);
    doc.appendRecord(record(5, false, u"eve@ulm.de"_s, u"Eve"_s, u"Ulm"_s));
    EXPECT_EQ(numbersOf(doc.addressArrayShown()), QList<qint64>({1, 2, 3, 4}));

    doc.filterAddresses();
    EXPECT_EQ(numbersOf(doc.addressArrayShown()), QList<qint64>({2, 5}));
}

TEST_F(DocumentViews, CheckedViewCoversRecordsTheSearchHides)
{
    doc.setSearchFieldStr(u"Bonn"_s);
    doc.filterAddresses();
    doc.rearrangeCheckedAddresses();
    EXPECT_EQ(numbersOf(doc.addressArrayChecked()), QList<qint64>({2, 4}));

    doc.setRecordValue(doc.addressArray().at(0).toDict(), u"2"_s, true);
    EXPECT_EQ(numbersOf(doc.addressArrayChecked()), QList<qint64>({2, 4}));
    doc.rearrangeCheckedAddresses();
    EXPECT_EQ(numbersOf(doc.addressArrayChecked()), QList<qint64>({1, 2, 4}));
}

TEST_F(DocumentViews, ShownAndCheckedTogetherMatchTheViewsReEvaluatedInTurn)
{
    doc.setSearchFieldStr(u"Bonn"_s);
    doc.filterAddressesAndChecked();
    EXPECT_EQ(numbersOf(doc.addressArrayShown()), QList<qint64>({1, 3}));
    EXPECT_EQ(numbersOf(doc.addressArrayChecked()), QList<qint64>({2, 4}));
    EXPECT_TRUE(doc.isCheckedRecords());

    doc.setSendArray(List({doc.addressArray().at(3), Value(u"not a record"_s), doc.addressArray().at(0)}));
    doc.setSearchFieldSendStr(u"köln"_s);
    doc.filterSendAndChecked();
    EXPECT_EQ(numbersOf(doc.sendArrayShown()), QList<qint64>({4}));
    EXPECT_EQ(numbersOf(doc.sendArrayChecked()), QList<qint64>({4}));
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
    doc.rearrangeCheckedExcepts();
    EXPECT_EQ(seen, QList<MyDocument::View>({MyDocument::View::SendShown, MyDocument::View::ExceptChecked}));
}

TEST(ArrangedViewTest, TwoViewsTogetherWithOrWithoutPredicates)
{
    const Dict a{{u"2"_s, true}, {u"3"_s, u"a"_s}};
    const Dict b{{u"2"_s, false}, {u"3"_s, u"b"_s}};
    const List list({Value(a), Value(7), Value(b)});
    const ArrangedView::Predicate checked = [](const Dict::Snapshot &s) { return s.boolValue(u"2"_s); };
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
    view.rearrange(list, [](const Dict::Snapshot &) { return true; });

    EXPECT_EQ(view.size(), 2);
    EXPECT_EQ(view.indexOf(b), 1);
    EXPECT_EQ(view.indexOf(b.deepCopy()), -1);
    EXPECT_EQ(view.at(2), std::nullopt);
}

} // namespace
