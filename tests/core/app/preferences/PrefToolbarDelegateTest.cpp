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
        m_delegate.setUpToolbar();
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

// Each panel is shown at its own height under the same top edge, whichever
// panel was shown before.
TEST_F(Preferences, ChosenItemShowsItsPanelAtItsHeight)
{
    const struct
    {
        const char *name;
        int from;
        int item; // -1: no item
        int page;
        QString title;
        qreal contentHeight;
    } rows[] = {
        {"general", MyPrefToolbarDelegate::MailServer, 0, 0, u"General"_s, 210},
        {"mailServer", MyPrefToolbarDelegate::Update, 1, 1, u"Mail Server"_s, 534},
        {"update_shrinks_mail_server_by_383", MyPrefToolbarDelegate::MailServer, 2, 2, u"Update"_s, 534 - 383},
        {"no_item_returns_to_general", MyPrefToolbarDelegate::Update, -1, 0, u"General"_s, 210},
    };
    for (const auto &row : rows) {
        m_delegate.selectPanel(row.from);
        const LXPrefToolbarItem item = m_delegate.toolbarItems().value(row.item);
        m_delegate.PanelAction(row.item < 0 ? nullptr : &item);
        EXPECT_EQ(shown(), (Shown{QRectF(300, 120, 640, row.contentHeight + 78), row.title, row.page,
                                  QString::number(row.page)}))
            << row.name;
    }
}

TEST_F(Preferences, PanelOutsideTheToolbarChangesNothing)
{
    m_delegate.selectPanel(MyPrefToolbarDelegate::MailServer);
    const Shown before = shown();
    for (const int tab : {3, 4, 1000, -1}) {
        m_delegate.selectPanel(tab);
        EXPECT_EQ(shown(), before) << tab;
    }
    const LXPrefToolbarItem stray{u"9"_s, u"Stray"_s, u"Stray"_s, u"Stray"_s, QString(), 9};
    m_delegate.PanelAction(&stray);
    EXPECT_EQ(shown(), before);
}

TEST_F(Preferences, ToolbarHoldsTheThreePanelsInOrder)
{
    QStringList labels;
    for (const LXPrefToolbarItem &item : m_delegate.toolbarItems())
        labels.append(item.itemIdentifier + u':' + item.label + u':' + item.imageName);
    EXPECT_EQ(labels, (QStringList{u"0:General:generalPref"_s, u"1:Mail Server:servers"_s, u"2:Update:swUpdate"_s}));
    const QStringList all{u"0"_s, u"1"_s, u"2"_s};
    EXPECT_EQ(m_delegate.toolbarDefaultItemIdentifiers(), all);
    EXPECT_EQ(m_delegate.toolbarAllowedItemIdentifiers(), all);
    EXPECT_EQ(m_delegate.toolbarSelectableItemIdentifiers(), all);
}

class FractionalToolbar : public Preferences
{
protected:
    FractionalToolbar() : Preferences(78.75) {}
};

TEST_F(FractionalToolbar, WindowHeightIsWholeWithToolbarTruncated)
{
    m_delegate.selectPanel(MyPrefToolbarDelegate::Update);
    EXPECT_EQ(m_window.frame().height(), 151 + 78);
}

TEST(PrefToolbarDelegateWithoutWindow, StillSelectsThePanel)
{
    MyPrefToolbarDelegate delegate;
    delegate.setUpToolbar();
    delegate.selectPanel(MyPrefToolbarDelegate::MailServer);
    EXPECT_EQ(delegate.selectedItemIdentifier(), u"1"_s);
}

} // namespace
