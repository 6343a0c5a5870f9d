#include "platform/HugePageHeap.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <optional>
#include <string>

namespace quillcast {
namespace {

TEST(HugePageHeap, TunablesGainTheSettingUnlessTheyNameIt)
{
    struct Row { const char *name; const char *current; std::optional<std::string> expected; };
    const Row rows[] = {
        {"unset", nullptr, "glibc.malloc.hugetlb=1:glibc.malloc.top_pad=67108864"},
        {"empty", "", "glibc.malloc.hugetlb=1:glibc.malloc.top_pad=67108864"},
        {"others kept", "glibc.malloc.check=3:glibc.malloc.tcache_count=0",
         "glibc.malloc.check=3:glibc.malloc.tcache_count=0:glibc.malloc.hugetlb=1:glibc.malloc.top_pad=67108864"},
        {"the user's step kept", "glibc.malloc.top_pad=0", "glibc.malloc.top_pad=0:glibc.malloc.hugetlb=1"},
        {"already on", "glibc.malloc.hugetlb=1", std::nullopt},
        {"turned off by the user", "glibc.malloc.check=3:glibc.malloc.hugetlb=0", std::nullopt},
        {"a longer name is another setting", "glibc.malloc.hugetlbx=1:glibc.malloc.top_padx=1",
         "glibc.malloc.hugetlbx=1:glibc.malloc.top_padx=1:glibc.malloc.hugetlb=1:glibc.malloc.top_pad=67108864"},
        {"the name as a value is not the setting", "glibc.mem.tagging=glibc.malloc.hugetlb",
         "glibc.mem.tagging=glibc.malloc.hugetlb:glibc.malloc.hugetlb=1:glibc.malloc.top_pad=67108864"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(HugePageHeap::tunablesWith(row.current), row.expected);
    }
}

TEST(HugePageHeap, OnlyALargeRegularFileIsWorthStartingAgain)
{
    QTemporaryDir dir;
    const auto fileOf = [&](const char *name, qint64 size) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(size));
        return QFile::encodeName(path);
    };
    const QByteArray small = fileOf("small.quill", HugePageHeap::worthwhileBytes - 1);
    const QByteArray large = fileOf("large.quill", HugePageHeap::worthwhileBytes);
    const QByteArray folder = QFile::encodeName(dir.path());
    const auto worth = [](std::initializer_list<const char *> args) {
        return HugePageHeap::namesLargeFile(int(args.size()), args.begin());
    };
    // The first argument is the program itself.
    EXPECT_FALSE(worth({large.constData()}));
    EXPECT_FALSE(worth({"quillcast-cli", "show", small.constData()}));
    EXPECT_FALSE(worth({"quillcast-cli", "show", folder.constData(), "/dev/zero", "/no/such/file"}));
    EXPECT_TRUE(worth({"quillcast-cli", "import", small.constData(), large.constData()}));
}

} // namespace
} // namespace quillcast
