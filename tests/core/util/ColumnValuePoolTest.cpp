#include "TestPrinters.h"
#include "util/ColumnValuePool.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

TEST(ColumnValuePool, RepeatedValuesShareOneString)
{
    ColumnValuePool pool;
    const QString text = u"Köln,Ulm,Köln"_s;
    const QString first = pool.take(QStringView(text).mid(0, 4));
    const QString other = pool.take(QStringView(text).mid(5, 3));
    const QString again = pool.take(QStringView(text).mid(9, 4));
    EXPECT_EQ(again, u"Köln"_s);
    EXPECT_TRUE(again.isSharedWith(first));
    EXPECT_FALSE(other.isSharedWith(first));
}

TEST(ColumnValuePool, AColumnOfDistinctValuesStopsPoolingButKeepsEveryValue)
{
    ColumnValuePool pool;
    QStringList taken;
    for (int i = 0; i < 1000; ++i)
        taken.append(pool.take(u"member%1@example.org"_s.arg(i)));
    // Once given up, even a repeat is a string of its own.
    const QString repeat = pool.take(u"member999@example.org"_s);
    EXPECT_EQ(repeat, taken.last());
    EXPECT_FALSE(repeat.isSharedWith(taken.last()));
    EXPECT_EQ(taken.at(500), u"member500@example.org"_s);
}

// Values alike in length and in their first, middle and last characters, in
// turn down a column: each comes back as itself, repeats shared.
TEST(ColumnValuePool, LookAlikeValuesInTurnStayApart)
{
    const QString values[] = {u"abcde"_s, u"axcye"_s, u"aZcZe"_s, u"éxcyé"_s, u"a"_s, u"b"_s};
    ColumnValuePool pool;
    std::vector<QString> first;
    for (const QString &v : values)
        first.push_back(pool.take(QString(v)));
    for (int round = 0; round < 3; ++round) {
        for (size_t i = 0; i < std::size(values); ++i) {
            SCOPED_TRACE(values[i].toStdString());
            const QString taken = pool.take(QString(values[i]));
            EXPECT_EQ(taken, values[i]);
            EXPECT_TRUE(taken.isSharedWith(first[i]));
        }
    }
}

} // namespace
