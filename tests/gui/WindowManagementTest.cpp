// The main frame's windows as a user handles them: views restored after Close All or un-maximised,
// Tile with every view open, the Window menu's list of views, the child frames' icon, and what the
// status bar says while the own fix is drawn in receiver 2's places.
#include <QAction>
#include <QGuiApplication>
#include <QMdiArea>
#include <QScreen>
#include <QScrollBar>
#include <array>

#include "GuiTestSupport.h"
#include "app/CMainFrame.h"
#include "app/CMonitorApp.h"
#include "app/CViewFrame.h"
#include "res/MenuResources.h"
#include "res/ToolbarImages.h"
#include "views/CMeasureView.h"
#include "views/CRadarView.h"
#include "views/CSignalView.h"
#include "views/CViewBase.h"

using namespace vrn::gui;
namespace res = vrn::res;

namespace
{
constexpr std::array kStandardViews{kViewMeasure, kViewSignal2, kViewSignal1, kViewRadar};

void Settle()
{
    ProcessEventsUntil([] { return false; }, 50);
}
}  // namespace

class WindowManagement : public MainFrameTest
{
protected:
    // The main frame at `size`, shown, with the start-up's four views open (radar in front).
    CMainFrame& Frame(QSize size = QSize(1000, 760))
    {
        m_frame = std::make_unique<CMainFrame>(*m_app);
        EXPECT_TRUE(m_frame->Create());
        m_frame->resize(size);
        m_frame->show();
        for (const int kind : kStandardViews)
            m_frame->ToggleView(kind);
        Settle();
        return *m_frame;
    }
    [[nodiscard]] QSize Area() const { return m_frame->MdiArea()->viewport()->size(); }
};

TEST_F(WindowManagement, RestoredViewsGetAUsableNormalSize)
{
    CMainFrame& frame = Frame();
    const QSize area = Area();
    // Each way a user brings a view back to the normal state.
    struct Way
    {
        const char* name;
        void (*restore)(CMainFrame&, CViewFrame&, int kind);
    };
    const std::array<Way, 3> ways{{
        {"restore after Close All",
         [](CMainFrame& f, CViewFrame& child, int) {
             f.ExecuteCommand(res::kIdWindowCloseAll);
             EXPECT_TRUE(child.isMinimized());
             child.showNormal();
         }},
        {"un-maximise after Close All and the view again",
         [](CMainFrame& f, CViewFrame& child, int kind) {
             f.ExecuteCommand(res::kIdWindowCloseAll);
             f.ToggleView(kind);  // minimised counts as visible: hidden
             f.ToggleView(kind);  // shown maximised
             EXPECT_TRUE(child.isMaximized());
             child.showNormal();
         }},
        {"un-maximise at once",
         [](CMainFrame&, CViewFrame& child, int) {
             child.showMaximized();
             child.showNormal();
         }},
    }};
    for (const Way& way : ways)
        for (const int kind : kStandardViews)
        {
            CViewFrame* child = frame.ChildFrame(kind);
            ASSERT_NE(child, nullptr);
            way.restore(frame, *child, kind);
            Settle();
            const std::string what = std::string(way.name) + ", view " + std::to_string(kind);
            EXPECT_FALSE(child->isMinimized() || child->isMaximized()) << what;
            const QSize minimum = child->MinimumTrackingSize();
            EXPECT_GE(child->width(), minimum.width()) << what;
            EXPECT_GE(child->height(), minimum.height()) << what;
            // About two thirds of the area (or the minimum, where that is more).
            EXPECT_GE(child->width(), std::min(area.width() * 2 / 3, minimum.width()) - 1) << what;
            EXPECT_GE(child->height(), area.height() * 2 / 3 - 1) << what;
            // What the views draw into is usable.
            if (auto* radar = qobject_cast<CRadarView*>(child->View()))
            {
                EXPECT_GE(radar->Chart().height(), 120) << what;
            }
            if (auto* signal = qobject_cast<CSignalView*>(child->View()))
            {
                EXPECT_GE(signal->height(), CSignalView::kMinimumHeight) << what;
                EXPECT_GE(signal->Canvas().Strip(0).SampleWidth(), 1) << what;
            }
        }
}

TEST_F(WindowManagement, APlacementSmallerThanTheViewIsNotKept)
{
    // A measure view saved as a title bar (placement of a minimised frame).
    WriteProfile("[MeasureView]\nWplLength=44\nWplFlags=0\nWplShowCmd=1\nWplMinX=-1\nWplMinY=-1\nWplMaxX=-1\n"
                 "WplMaxY=-1\nWplNormalL=0\nWplNormalT=0\nWplNormalR=210\nWplNormalB=28\n");
    CMainFrame& frame = Frame();
    CViewFrame* measure = frame.ChildFrame(kViewMeasure);
    ASSERT_NE(measure, nullptr);
    EXPECT_FALSE(measure->isMaximized());
    EXPECT_GE(measure->width(), Area().width() * 2 / 3 - 1);
    EXPECT_GE(measure->height(), Area().height() * 2 / 3 - 1);
    // A usable saved placement is kept as it is.
    frame.ExecuteCommand(res::kIdAppExit);
    m_frame.reset();
    WriteProfile("[MeasureView]\nWplLength=44\nWplFlags=0\nWplShowCmd=1\nWplMinX=-1\nWplMinY=-1\nWplMaxX=-1\n"
                 "WplMaxY=-1\nWplNormalL=30\nWplNormalT=20\nWplNormalR=630\nWplNormalB=420\n");
    CMainFrame& again = Frame();
    EXPECT_EQ(again.ChildFrame(kViewMeasure)->geometry(), QRect(30, 20, 600, 400));
}

TEST_F(WindowManagement, TileKeepsTheMainWindowSizeWithEveryView)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    // Main windows smaller than the views' minimum sizes together, and one filling the screen.
    for (const QSize size : {QSize(700, 520), QSize(900, 680), screen->availableGeometry().size()})
    {
        CMainFrame& frame = Frame(size);
        const QSize before = frame.size();
        for (const int command : {res::kIdWindowTile, res::kIdWindowCascade, res::kIdWindowTile})
        {
            frame.ExecuteCommand(command);
            Settle();
            EXPECT_EQ(frame.size(), before) << size.width() << " after " << command;
        }
        // Cascade gives every frame about two thirds of the area (at least its minimum).
        frame.ExecuteCommand(res::kIdWindowCascade);
        Settle();
        for (const int kind : kStandardViews)
        {
            const CViewFrame* child = frame.ChildFrame(kind);
            // (Scroll bars the cascade brings take some of the area.)
            const QSize expected = child->DefaultNormalGeometry().size();
            EXPECT_NEAR(child->width(), expected.width(), 20) << size.width() << " view " << kind;
            EXPECT_NEAR(child->height(), expected.height(), 20) << size.width() << " view " << kind;
            EXPECT_GE(child->height(), std::min(Area().height() * 2 / 3, child->MinimumTrackingSize().height()));
        }
        frame.ExecuteCommand(res::kIdWindowTile);
        Settle();
        // The tiles are as tall as half the area or the tallest minimum of the drawn views: the
        // measure view's two bars scroll inside it instead of asking for more.
        const QRect area(QPoint(0, 0), Area());
        int tallest = area.height() / 2 + 1;
        for (const int kind : {kViewRadar, kViewSignal1, kViewSignal2})
            tallest = std::max(tallest, frame.ChildFrame(kind)->MinimumTrackingSize().height());
        EXPECT_LE(frame.ChildFrame(kViewMeasure)->height(), tallest) << size.width();
        // Whatever does not fit is scrolled to.
        bool outside = false;
        for (const int kind : kStandardViews)
            outside = outside || !area.contains(frame.ChildFrame(kind)->geometry());
        if (outside)
        {
            EXPECT_TRUE(frame.MdiArea()->horizontalScrollBar()->isVisible() ||
                        frame.MdiArea()->verticalScrollBar()->isVisible())
                << size.width();
        }
        frame.ExecuteCommand(res::kIdAppExit);
        m_frame.reset();
    }
}

TEST_F(WindowManagement, WindowMenuListsTheOpenViews)
{
    WriteProfile("[Data Sources]\nMeasSource=2\nMeasSerialPort=COM2\nMeasSerialPort2=A&B\n");
    CMainFrame& frame = Frame();
    frame.RefreshWindowList();
    auto texts = [&frame] {
        QStringList list;
        for (const QAction* a : frame.WindowListActions())
            list << a->text() + (a->isChecked() ? QStringLiteral(" *") : QString());
        return list;
    };
    // In the order the views were opened; the active one (radar, in front) checked; an ampersand
    // in a title is shown, not taken as a mnemonic.
    EXPECT_EQ(texts(), (QStringList{QStringLiteral("&1 Measure View"), QStringLiteral("&2 Signal View ( A&&B )"),
                                    QStringLiteral("&3 Signal View ( COM2 )"), QStringLiteral("&4 Radar View *")}));

    // The radar view is maximised: choosing the measure view brings it to the front maximised.
    ASSERT_TRUE(frame.ChildFrame(kViewRadar)->isMaximized());
    frame.WindowListActions()[0]->trigger();
    Settle();
    EXPECT_EQ(frame.MdiArea()->currentSubWindow(), frame.ChildFrame(kViewMeasure));
    EXPECT_TRUE(frame.ChildFrame(kViewMeasure)->isMaximized());
    frame.RefreshWindowList();
    EXPECT_TRUE(frame.WindowListActions()[0]->isChecked());
    EXPECT_FALSE(frame.WindowListActions()[3]->isChecked());

    // After Close All, a chosen view comes back restored.
    frame.ExecuteCommand(res::kIdWindowCloseAll);
    frame.RefreshWindowList();
    ASSERT_EQ(frame.WindowListActions().size(), 4);
    frame.WindowListActions()[2]->trigger();
    Settle();
    CViewFrame* signal1 = frame.ChildFrame(kViewSignal1);
    EXPECT_FALSE(signal1->isMinimized());
    EXPECT_EQ(frame.MdiArea()->currentSubWindow(), signal1);

    // A hidden view is not listed; the numbers close up.
    frame.ToggleView(kViewSignal2);
    ASSERT_TRUE(frame.ChildFrame(kViewSignal2)->isHidden());
    frame.RefreshWindowList();
    ASSERT_EQ(frame.WindowListActions().size(), 3);
    EXPECT_EQ(frame.WindowListActions()[1]->text(), QStringLiteral("&2 Signal View ( COM2 )"));
}

TEST_F(WindowManagement, ChildFramesShowTheProgramIcon)
{
    CMainFrame& frame = Frame();
    const QImage program = res::ProgramIcon().pixmap(32).toImage();
    ASSERT_FALSE(program.isNull());
    for (const int kind : kStandardViews)
    {
        const QIcon icon = frame.ChildFrame(kind)->windowIcon();
        ASSERT_FALSE(icon.isNull()) << kind;
        EXPECT_EQ(icon.pixmap(32).toImage(), program) << kind;
    }
}

TEST_F(WindowManagement, StatusBarSaysWhileTheOwnFixIsInReceiverTwosPlaces)
{
    TestPty pty1;
    TestPty pty2;
    const std::string ports =
        "[Data Sources]\nMeasSerialPort=" + pty1.Path() + "\nMeasSerialPort2=" + pty2.Path() + "\n";
    const QString ownFix = QStringLiteral("Receiver 2's places: own fix");
    struct Step
    {
        int port;            // toggled
        const char* pane;    // afterwards
    };
    struct Case
    {
        const char* protocol1;
        std::vector<Step> steps;
    };
    const std::array<Case, 2> cases{{
        {"2", {{0, "own"}, {1, "own"}, {1, "own"}, {0, "Ready"}, {1, "Ready"}}},
        {"0", {{0, "Ready"}, {1, "Ready"}, {0, "Ready"}, {1, "Ready"}}},
    }};
    for (const Case& c : cases)
    {
        WriteProfile(ports + "[ReceiverInit1]\nProtocol=" + c.protocol1 + "\n[ReceiverInit2]\nProtocol=0\n");
        CMainFrame& frame = Frame();
        for (std::size_t i = 0; i < c.steps.size(); ++i)
        {
            frame.ToggleStartPort(c.steps[i].port);
            const QString expected =
                std::string(c.steps[i].pane) == "own" ? ownFix : QString::fromLatin1(c.steps[i].pane);
            EXPECT_EQ(frame.MessagePaneText(), expected) << "protocol " << c.protocol1 << ", step " << i;
        }
        frame.ExecuteCommand(res::kIdAppExit);
        m_frame.reset();
    }
}
