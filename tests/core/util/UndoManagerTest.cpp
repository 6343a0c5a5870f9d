#include "TestPrinters.h"
#include "util/UndoManager.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

// A value with the undo pattern of the document's commands: each change
// registers its inverse, which registers the change again.
struct Counter
{
    UndoManager &undo;
    int value = 0;

    void add(int n)
    {
        value += n;
        undo.registerUndo([this, n] { add(-n); });
        undo.setActionName(n > 0 ? u"Add"_s : u"Take"_s);
    }
};

} // namespace

TEST(UndoManager, UndoAndRedoAlternateAnyNumberOfTimes)
{
    UndoManager undo;
    Counter c{undo};
    c.add(5);
    c.add(2);
    EXPECT_EQ(undo.undoActionName(), u"Add"_s);

    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(c.value, 5);
    EXPECT_EQ(undo.redoActionName(), u"Take"_s); // named by the step the undo registered
    ASSERT_TRUE(undo.redo());
    EXPECT_EQ(c.value, 7);
    ASSERT_TRUE(undo.undo());
    ASSERT_TRUE(undo.undo());
    EXPECT_EQ(c.value, 0);
    EXPECT_FALSE(undo.undo());
    EXPECT_EQ(undo.redoCount(), 2);
    ASSERT_TRUE(undo.redo());
    ASSERT_TRUE(undo.redo());
    EXPECT_EQ(c.value, 7);
    EXPECT_FALSE(undo.redo());

    // A new change forgets what could be redone.
    ASSERT_TRUE(undo.undo());
    ASSERT_TRUE(undo.canRedo());
    c.add(3);
    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(undo.undoCount(), 2);
}

TEST(UndoManager, KeepsOnlyTheNewestStepsWithinItsLevels)
{
    UndoManager undo;
    undo.setLevelsOfUndo(3);
    Counter c{undo};
    for (int n = 1; n <= 5; ++n)
        c.add(n); // 1+2+3+4+5
    EXPECT_EQ(undo.undoCount(), 3);
    while (undo.undo()) {
    }
    EXPECT_EQ(c.value, 3); // only 3, 4 and 5 were taken back
    EXPECT_EQ(undo.redoCount(), 3);
}

TEST(UndoManager, EverythingAnUndoRegistersIsOneRedoStep)
{
    UndoManager undo;
    QStringList log;
    undo.registerUndo([&] {
        log.append(u"undo"_s);
        undo.registerUndo([&] { log.append(u"redo part 1"_s); });
        undo.registerUndo([&] { log.append(u"redo part 2"_s); });
    });
    undo.undo();
    EXPECT_EQ(undo.redoCount(), 1);
    undo.redo();
    // Parts run last registered first, as taking back a sequence must.
    EXPECT_EQ(log, QStringList({u"undo"_s, u"redo part 2"_s, u"redo part 1"_s}));
    EXPECT_FALSE(undo.canUndo()); // the redo registered nothing
}

TEST(UndoManager, ReportsEveryChange)
{
    UndoManager undo;
    int changes = 0;
    QObject::connect(&undo, &UndoManager::changed, [&] { ++changes; });
    Counter c{undo};
    c.add(1); // register + name
    undo.undo();
    undo.removeAllActions();
    EXPECT_EQ(changes, 4);
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(undo.undoActionName(), QString());
}
