#include "TestFiles.h"
#include "TestPrinters.h"
#include "TransformerTestSupport.h"
#include "app/transformers/LXNameFromBookmark.h"
#include "app/transformers/LXPathFromBookmark.h"
#include "platform/LXBookmark.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

using namespace quillcast;
using namespace quillcast::testing;
using namespace Qt::StringLiterals;

namespace {

enum class Input { ExistingFile, DeletedFile, None, ForeignBytes, PathAsText };
enum class Expected { FullPath, FileName, EmptyText, None };

struct BookmarkRow
{
    const char *name;
    bool wantsName; // LXNameFromBookmark, else LXPathFromBookmark
    Input input;
    Expected expected;
};

void PrintTo(const BookmarkRow &row, std::ostream *os)
{
    *os << row.name;
}

class BookmarkTransformers : public ::testing::TestWithParam<BookmarkRow>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = QDir(m_dir.path()).filePath(u"Spring letter.quill"_s);
        ASSERT_TRUE(writeFile(m_path, "document"));
    }

    Value input(Input kind) const
    {
        switch (kind) {
        case Input::ExistingFile:
            return Value(LXBookmark::bookmarkForURL_RO(m_path).value_or(QByteArray()));
        case Input::DeletedFile: {
            const QByteArray bookmark = LXBookmark::bookmarkForURL_RW(m_path).value_or(QByteArray());
            QFile::remove(m_path);
            return Value(bookmark);
        }
        case Input::None:
            return Value();
        case Input::ForeignBytes:
            return Value(QByteArray("book\0mark", 9));
        case Input::PathAsText:
            return Value(m_path);
        }
        return Value();
    }

    Value expected(Expected kind) const
    {
        switch (kind) {
        case Expected::FullPath:
            return Value(m_path);
        case Expected::FileName:
            return Value(u"Spring letter.quill"_s);
        case Expected::EmptyText:
            return Value(QString());
        case Expected::None:
            return Value();
        }
        return Value();
    }

    QTemporaryDir m_dir;
    QString m_path;
};

TEST_P(BookmarkTransformers, ShowTheFileBehindTheBookmark)
{
    const BookmarkRow &row = GetParam();
    std::unique_ptr<ValueTransformer> transformer;
    if (row.wantsName)
        transformer = std::make_unique<LXNameFromBookmark>();
    else
        transformer = std::make_unique<LXPathFromBookmark>();
    const Value bookmark = input(row.input);
    EXPECT_EQ(describe(transformer->transformedValue(bookmark)), describe(expected(row.expected)));
}

INSTANTIATE_TEST_SUITE_P(
    Transformers, BookmarkTransformers,
    ::testing::Values(BookmarkRow{"pathOfExistingFile", false, Input::ExistingFile, Expected::FullPath},
                      BookmarkRow{"nameOfExistingFile", true, Input::ExistingFile, Expected::FileName},
                      BookmarkRow{"pathOfDeletedFile", false, Input::DeletedFile, Expected::None},
                      BookmarkRow{"nameOfDeletedFile", true, Input::DeletedFile, Expected::None},
                      BookmarkRow{"pathOfNone", false, Input::None, Expected::EmptyText},
                      BookmarkRow{"nameOfNone", true, Input::None, Expected::EmptyText},
                      BookmarkRow{"pathOfForeignBytes", false, Input::ForeignBytes, Expected::None},
                      BookmarkRow{"nameOfForeignBytes", true, Input::ForeignBytes, Expected::None},
                      BookmarkRow{"pathGivenAsText", false, Input::PathAsText, Expected::None}),
    [](const auto &row) { return std::string(row.param.name); });

} // namespace
