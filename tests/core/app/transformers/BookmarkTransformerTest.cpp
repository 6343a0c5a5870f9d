#include "TestFiles.h"
#include "TransformerTestSupport.h"
#include "app/transformers/ConversionTransformers.h"
#include "platform/LXBookmark.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <optional>

using namespace quillcast;
using namespace quillcast::testing;
using namespace Qt::StringLiterals;

namespace {

TEST(BookmarkTransformers, ShowTheFileBehindTheBookmark)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Spring letter.quill"_s);
    const QString deleted = dir.filePath(u"Autumn letter.quill"_s);
    ASSERT_TRUE(writeFile(path, "document"));
    ASSERT_TRUE(writeFile(deleted, "document"));
    const QByteArray deletedBookmark = LXBookmark::bookmarkForURL_RW(deleted).value_or(QByteArray());
    ASSERT_TRUE(QFile::remove(deleted));

    const struct
    {
        const char *name;
        Value bookmark;
        Value path; // LXPathFromBookmark
        std::optional<Value> fileName; // LXNameFromBookmark; none: not asked
    } rows[] = {
        {"existingFile", Value(LXBookmark::bookmarkForURL_RO(path).value_or(QByteArray())), Value(path),
         Value(u"Spring letter.quill"_s)},
        {"deletedFile", Value(deletedBookmark), Value(), Value()},
        {"none", Value(), Value(QString()), Value(QString())},
        {"foreignBytes", Value(QByteArray("book\0mark", 9)), Value(), Value()},
        {"pathGivenAsText", Value(path), Value(), std::nullopt},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(describe(LXPathFromBookmark().transformedValue(row.bookmark)), describe(row.path)) << row.name;
        if (row.fileName) {
            EXPECT_EQ(describe(LXNameFromBookmark().transformedValue(row.bookmark)), describe(*row.fileName))
                << row.name;
        }
    }
}

} // namespace
