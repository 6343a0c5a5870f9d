#include "TestPrinters.h"
#include "app/preferences/MyPrefToolbarDelegate.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

// A window whose title bar and toolbar take a fixed strip above the content.
class FakeWindow : public LXPrefWindow
{
public:
    explicit FakeWindow(qreal strip, QRectF frame = QRectF(300, 120, 640, 400)) : m_strip(strip), m_frame(frame) {}

    QRectF frame() const override { return m_frame; }
    void setFrame(const QRectF &frame) override { m_frame = frame; }
    qreal contentHeight() const override { return m_frame.height() - m_strip; }
    void setTitle(const QString &title) override { m_title = title; }
    void selectTabPage(int index) override { m_page = index; }

    QString title() const { return m_title; }
    int page() const { return m_page; }

private:
    qreal m_strip;
    QRectF m_frame;
    QString m_title;
    int m_page = -1;
};

// Everything the panel logic changes, to compare before and after.
struct Shown
{
    QRectF frame;
    QString title;
    int page;
    QString selected;

    friend bool operator==(const Shown &, const Shown &) = default;
};

void PrintTo(const Shown &s, std::ostream *os)
{
    *os << s.title.toStdString() << " page " << s.page << " selected " << s.selected.toStdString() << " frame "
        << s.frame.x() << "," << s.frame.y() << " " << s.frame.width() << "x" << s.frame.height();
}

class Preferences : public ::testing::Test
{
protected:
    explicit Preferences(qreal strip = 78) : m_window(strip)
    {
        m_delegate.setWindow(&m_window);
        m_delegate.awakeFromNib();
    }

    Shown shown() const
    {
        return {m_window.frame(), m_window.title(), m_window.page(), m_delegate.selectedItemIdentifier()};
    }

    FakeWindow m_window;
    MyPrefToolbarDelegate m_delegate;
};

TEST_F(Preferences, OpensOnGeneralPanel)
{
    EXPECT_EQ(shown(), (Shown{QRectF(300, 120, 640, 210 + 78), u"General"_s, 0, u"0"_s}));
}

TEST_F(Preferences, MailServerToUpdateShrinksBy383KeepingTopEdge)
{
    m_delegate.SetPanelTab(MyPrefToolbarDelegate::MailServer);
    const QRectF before = m_window.frame();
    m_delegate.SetPanelTab(MyPrefToolbarDelegate::Update);
    const QRectF after = m_window.frame();
    EXPECT_EQ(before.height() - after.height(), 383);
    EXPECT_EQ(after.top(), before.top());
    EXPECT_EQ(after.left(), before.left());
    EXPECT_EQ(after.width(), before.width());
}

class PanelTabOutside : public Preferences, public ::testing::WithParamInterface<int>
{
};

TEST_P(PanelTabOutside, ChangesNothing)
{
    m_delegate.SetPanelTab(MyPrefToolbarDelegate::MailServer);
    const Shown before = shown();
    m_delegate.SetPanelTab(GetParam());
    EXPECT_EQ(shown(), before);
}

INSTANTIATE_TEST_SUITE_P(Preferences, PanelTabOutside, ::testing::Values(3, 4, 1000, -1),
                         [](const auto &row) {
                             return row.param < 0 ? std::string("minus") + std::to_string(-row.param)
                                                  : std::to_string(row.param);
                         });

TEST_F(Preferences, ToolbarHoldsTheThreePanelsInOrder)
{
    QStringList labels;
    for (const LXPrefToolbarItem &item : m_delegate.toolbarItems())
        labels.append(item.itemIdentifier + u':' + item.label + u':' + item.imageName);
    EXPECT_EQ(labels, (QStringList{u"0:General:generalPref"_s, u"1:Mail Server:servers"_s, u"2:Update:swUpdate"_s}));
}

TEST_F(Preferences, EveryPanelIsDefaultAllowedAndSelectable)
{
    const QStringList all{u"0"_s, u"1"_s, u"2"_s};
    EXPECT_EQ(m_delegate.toolbarDefaultItemIdentifiers(), all);
    EXPECT_EQ(m_delegate.toolbarAllowedItemIdentifiers(), all);
    EXPECT_EQ(m_delegate.toolbarSelectableItemIdentifiers(), all);
}

struct PanelRow
{
    const char *name;
    int index;
    QString title;
    qreal contentHeight;
};

void PrintTo(const PanelRow &row, std::ostream *os)
{
    *os << row.name;
}

class ChoosingItem : public Preferences, public ::testing::WithParamInterface<PanelRow>
{
};

TEST_P(ChoosingItem, ShowsItsPanelAtItsHeight)
{
    const PanelRow &row = GetParam();
    // Start from another panel, so that nothing is left over from the start.
    m_delegate.SetPanelTab((row.index + 1) % 3);
    const LXPrefToolbarItem item = m_delegate.toolbarItems().at(row.index);
    m_delegate.PanelAction(&item);
    EXPECT_EQ(shown(), (Shown{QRectF(300, 120, 640, row.contentHeight + 78), row.title, row.index,
                              QString::number(row.index)}));
}

INSTANTIATE_TEST_SUITE_P(Preferences, ChoosingItem,
                         ::testing::Values(PanelRow{"general", 0, u"General"_s, 210},
                                           PanelRow{"mailServer", 1, u"Mail Server"_s, 534},
                                           PanelRow{"update", 2, u"Update"_s, 151}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(Preferences, NoItemReturnsToFirstPanel)
{
    m_delegate.SetPanelTab(MyPrefToolbarDelegate::Update);
    m_delegate.PanelAction(nullptr);
    EXPECT_EQ(shown(), (Shown{QRectF(300, 120, 640, 210 + 78), u"General"_s, 0, u"0"_s}));
}

TEST_F(Preferences, ItemOfNoPanelChangesNothing)
{
    m_delegate.SetPanelTab(MyPrefToolbarDelegate::MailServer);
    const Shown before = shown();
    const LXPrefToolbarItem stray{u"9"_s, u"Stray"_s, u"Stray"_s, u"Stray"_s, QString(), 9};
    m_delegate.PanelAction(&stray);
    EXPECT_EQ(shown(), before);
}

class FractionalToolbar : public Preferences
{
protected:
    FractionalToolbar() : Preferences(78.75) {}
};

TEST_F(FractionalToolbar, WindowHeightIsWholeWithToolbarTruncated)
{
    m_delegate.SetPanelTab(MyPrefToolbarDelegate::Update);
    EXPECT_EQ(m_window.frame().height(), 151 + 78);
}

TEST(PrefToolbarDelegateWithoutWindow, StillSelectsThePanel)
{
    MyPrefToolbarDelegate delegate;
    delegate.awakeFromNib();
    delegate.SetPanelTab(MyPrefToolbarDelegate::MailServer);
    EXPECT_EQ(delegate.selectedItemIdentifier(), u"1"_s);
}

} // namespace
