#include "RowFuzzCheck.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

namespace {

// Every seed and every input the fuzzer kept must still pass its checks.
TEST(RowCorpus, EveryInputKeepsTheSplitterProperties)
{
    const QDir corpus(QStringLiteral(QUILLCAST_ROWS_CORPUS));
    const QStringList files = corpus.entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(files.isEmpty());
    for (const QString &name : files) {
        QFile file(corpus.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray bytes = file.readAll();
        std::string why;
        EXPECT_TRUE(quillcast::fuzz::checkRowsInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                                                    size_t(bytes.size()), &why))
            << name.toStdString() << ": " << why;
    }
}

} // namespace
