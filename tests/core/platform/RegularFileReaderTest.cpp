#include "TestFiles.h"
#include "platform/MappedFile.h"
#include "platform/RegularFileReader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

using namespace quillcast;
using namespace quillcast::testing;
using namespace Qt::StringLiterals;
using ::testing::HasSubstr;

namespace {

struct ReadCase
{
    const char *name;
    // Makes the thing to read inside the folder and gives its path.
    std::function<QString(const QTemporaryDir &)> make;
    qint64 limit;
    const char *refusal; // empty: read whole
};

const std::vector<ReadCase> &readCases()
{
    static const std::vector<ReadCase> table{
        {"regular file", [](const QTemporaryDir &d) { writeFile(d.filePath(u"a"_s), "abc"); return d.filePath(u"a"_s); },
         3, ""},
        {"empty file", [](const QTemporaryDir &d) { writeFile(d.filePath(u"e"_s), ""); return d.filePath(u"e"_s); }, 3, ""},
        {"one byte over the limit",
         [](const QTemporaryDir &d) { writeFile(d.filePath(u"a"_s), "abcd"); return d.filePath(u"a"_s); }, 3,
         "too large"},
        {"sparse giant",
         [](const QTemporaryDir &d) {
             QFile f(d.filePath(u"g"_s));
             f.open(QIODevice::WriteOnly);
             f.resize(qint64(8) * 1024 * 1024 * 1024);
             return d.filePath(u"g"_s);
         },
         1024, "too large"},
        {"missing", [](const QTemporaryDir &d) { return d.filePath(u"none"_s); }, 3, "No such file"},
        {"folder", [](const QTemporaryDir &d) { return d.path(); }, 3, "a folder, not a regular file"},
        {"pipe without a writer",
         [](const QTemporaryDir &d) {
             ::mkfifo(QFile::encodeName(d.filePath(u"fifo"_s)).constData(), 0600);
             return d.filePath(u"fifo"_s);
         },
         3, "a pipe, not a regular file"},
        {"endless device", [](const QTemporaryDir &) { return u"/dev/zero"_s; }, 3, "a device, not a regular file"},
    };
    return table;
}

// Nothing the user names can make a read hang or grow without bound; each
// answer comes at once.
TEST(RegularFileReader, ReadsRegularFilesWithinTheLimitAndRefusesTheRestAtOnce)
{
    for (const ReadCase &c : readCases()) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = c.make(dir);
        QElapsedTimer timer;
        timer.start();
        const Result<QByteArray> read = RegularFileReader::read(path, c.limit);
        EXPECT_LT(timer.elapsed(), 5000);
        if (*c.refusal == '\0') {
            ASSERT_TRUE(read.ok()) << read.error().toStdString();
            EXPECT_EQ(read.value(), fileContents(path));
        } else {
            ASSERT_FALSE(read.ok());
            EXPECT_THAT(read.error().toStdString(), HasSubstr(c.refusal));
        }
    }
}

} // namespace

// A mapped file is refused for the same reasons, and shows the same bytes,
// also once its pages have been given back.
TEST(MappedFile, MapsWhatReadWouldReadAndRefusesTheSame)
{
    for (const ReadCase &c : readCases()) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = c.make(dir);
        const Result<MappedFile> mapped = MappedFile::map(path, c.limit);
        if (*c.refusal == '\0') {
            ASSERT_TRUE(mapped.ok()) << mapped.error().toStdString();
            EXPECT_EQ(mapped->rawBytes(), fileContents(path));
            mapped->releasePages();
            EXPECT_EQ(mapped->bytes(), fileContents(path));
        } else {
            ASSERT_FALSE(mapped.ok());
            EXPECT_THAT(mapped.error().toStdString(), HasSubstr(c.refusal));
        }
    }
}
