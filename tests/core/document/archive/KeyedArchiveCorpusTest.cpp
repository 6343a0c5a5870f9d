#include "TestPrinters.h"
#include "document/archive/KeyedArchiver.h"
#include "document/archive/KeyedUnarchiver.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

// Every input the fuzzer was seeded with or found trouble in: none may crash
// the reader, and what reads is saved again to the very same bytes. Seeds
// named good-* must read and bad-* must be refused.
TEST(KeyedArchiveCorpus, EveryFileReadsOrIsRefused)
{
    const QDir corpus(QStringLiteral(QUILLCAST_KEYED_ARCHIVE_CORPUS));
    const QStringList files = corpus.entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(files.isEmpty()) << "no corpus in " << corpus.path().toStdString();
    int readable = 0;
    for (const QString &name : files) {
        SCOPED_TRACE(name.toStdString());
        QFile file(corpus.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const Result<Value> read = KeyedUnarchiver::unarchive(file.readAll());
        if (name.startsWith(u"good-")) {
            EXPECT_TRUE(read.ok()) << read.error().toStdString();
        } else if (name.startsWith(u"bad-")) {
            EXPECT_FALSE(read.ok());
        }
        if (!read) {
            EXPECT_FALSE(read.error().isEmpty());
            continue;
        }
        ++readable;
        const Result<QByteArray> saved = KeyedArchiver::archive(read.value());
        ASSERT_TRUE(saved.ok()) << saved.error().toStdString();
        const Result<Value> reread = KeyedUnarchiver::unarchive(saved.value());
        ASSERT_TRUE(reread.ok()) << reread.error().toStdString();
        EXPECT_EQ(KeyedArchiver::archive(reread.value()).value(), saved.value());
    }
    EXPECT_GT(readable, 0);
}

} // namespace
