// Main frame: menus, toolbar, status bar, commands and notification codes.
#include "app/CMainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <chrono>
#include <vector>

#include "analysis/TimeToFirstFix.h"
#include "analysis/TrackExport.h"
#include "app/CAccuracyHub.h"
#include "app/CGuiDocument.h"
#include "app/CMonitorApp.h"
#include "app/COpenRecordingDlg.h"
#include "app/CPlaybackBar.h"
#include "app/CViewFrame.h"
#include "app/GuiServices.h"
#include "app/WindowPlacement.h"
#include "config/CAppSettings.h"
#include "config/CInputSettingsDlg.h"
#include "config/CTtffCampaignDlg.h"
#include "link/ChunkParser.h"
#include "link/Notifications.h"
#include "link/ReceiverCommand.h"
#include "res/AccuracyImages.h"
#include "res/ToolbarImages.h"
#include "views/CStatisticsView.h"
#include "views/CViewBase.h"

namespace vrn::gui
{
namespace
{
using namespace vrn::res;

static_assert(kViewKindCount == 6, "one child frame slot per view kind");

constexpr std::array<const char*, 4> kBaudTexts{"4800", "9600", "19200", "38400"};
constexpr int kIdleUpdateMs = 250;  // how often the enable and check rules are refreshed
constexpr int kUbxPumpMs = 100;     // how often a busy UBX command queue looks at the clock
constexpr int kGapWidth = 20 * 8;   // the 20 separator slots between the two ports' groups

int StartSlot(int port) { return port == 0 ? kSlotStart1 : kSlotStart2; }
int PauseSlot(int port) { return port == 0 ? kSlotPause1 : kSlotPause2; }
int PortIndex(int port) { return port == 0 ? 0 : 1; }

// The activity blink of the classic program only ran on platform versions from 3.95 on; every
// Linux kernel release qualifies. Compared as numbers, not as text.
bool BlinkSupported(const QString& version)
{
    const QStringList parts = version.split(QLatin1Char('.'));
    const int major = parts.value(0).toInt();
    const int minor = parts.value(1).toInt();
    return major > 3 || (major == 3 && minor >= 95);
}

bool IsCheckable(int id)
{
    switch (id)
    {
    case kIdViewRadar:
    case kIdViewSignal1:
    case kIdViewSignal2:
    case kIdViewMeasure:
    case kIdViewStatistics:
    case kIdTtffCampaign:
    case kIdStartPort1:
    case kIdStartPort2:
    case kIdPause1:
    case kIdPause2:
    case kIdLogging1:
    case kIdLogging2:
    case kIdRecordRaw1:
    case kIdRecordRaw2: return true;
    default: return false;
    }
}
}  // namespace

CMainFrame::CMainFrame(CMonitorApp& app) : m_app(app), m_hub(std::make_unique<CAccuracyHub>())
{
    m_slotImages.fill(-1);
    setObjectName(QStringLiteral("mainFrame"));
}

CMainFrame::~CMainFrame()
{
    SetUbxCommandLink({});
    // The MDI area reports its windows' state while the base class tears the children down, when
    // the members are gone already.
    if (m_mdi)
        QObject::disconnect(m_mdi, nullptr, this, nullptr);
    // The readers post to this frame and the workbench: stop and join them while both exist.
    m_document.reset();
    m_closedDocument.reset();
}

bool CMainFrame::Create()
{
    setWindowTitle(QString::fromLatin1(kAppTitle));
    setWindowIcon(ProgramIcon());
    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("mdiArea"));
    m_mdi->setBackground(QColor(128, 128, 128));
    // Otherwise activating a frame while another is maximised maximises it, and a close request
    // to a frame in the background could not minimise it.
    m_mdi->setOption(QMdiArea::DontMaximizeSubWindowOnActivation);
    // Frames larger than the area (a view's minimum size after Tile, a placement from a bigger
    // screen) are scrolled to. Without scroll bars the area would take the frames' minimum sizes as
    // its own and grow the main window past the screen.
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    BuildMenu();
    if (!BuildToolbar() || !BuildStatusBar())
        return false;
    BuildAccuracyToolbar();
    m_hub->LoadSettings();
    // The playback controls sit in a toolbar of their own under the classic one, whose 36 slots
    // stay as they are.
    addToolBarBreak();
    m_playbackBar = new CPlaybackBar(
        [this]() -> vrn::CRecordingPlayer* {
            const int port = PlaybackPort();
            return port >= 0 ? m_document->Feed().Player(port) : nullptr;
        },
        [this] {
            const int port = PlaybackPort();
            if (port >= 0)
                ToggleStartPort(port);
        },
        this);
    addToolBar(m_playbackBar);
    m_paintTimer = new QTimer(this);
    m_paintTimer->setSingleShot(true);
    connect(m_paintTimer, &QTimer::timeout, this, [this] {
        QEvent request(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(this, &request);
    });
    resize(900, 680);

    auto* idle = new QTimer(this);
    connect(idle, &QTimer::timeout, this, &CMainFrame::UpdateCommandUI);
    idle->start(kIdleUpdateMs);
    m_ubxTimer = new QTimer(this);
    m_ubxTimer->setInterval(kUbxPumpMs);
    connect(m_ubxTimer, &QTimer::timeout, this, [this] {
        PumpUbx(0);
        PumpUbx(1);
    });
    SetUbxCommandLink({[this](int port)
                       { return IsUbxPort(port) && m_document->Feed().CommandRefusal(port).empty(); },
                       [this](int port, const vrn::UbxRequest& request) { return QueueUbxRequest(port, request); }});
    connect(m_mdi, &QMdiArea::subWindowActivated, this, &CMainFrame::UpdateCommandUI);
    UpdateCommandUI();
    return true;
}

void CMainFrame::BuildMenu()
{
    QMenu* top = nullptr;
    QMenu* sub = nullptr;
    for (const MenuEntry& entry : MainMenu())
    {
        const QString text = QString::fromUtf8(entry.text.data(), static_cast<qsizetype>(entry.text.size()));
        if (entry.level == 0)
        {
            top = menuBar()->addMenu(text);
            connect(top, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
            sub = nullptr;
            continue;
        }
        QMenu* menu = entry.level == 2 && sub ? sub : top;
        if (!menu)
            continue;
        if (entry.id == 0 && text.isEmpty())
        {
            menu->addSeparator();
            continue;
        }
        if (entry.id == 0)
        {
            sub = menu->addMenu(text);
            connect(sub, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
            continue;
        }
        if (entry.level == 1)
            sub = nullptr;
        QAction* action = menu->addAction(text);
        const int id = entry.id;
        action->setData(id);
        action->setObjectName(QStringLiteral("cmd%1").arg(id));
        action->setCheckable(IsCheckable(id));
        if (!entry.shortcut.empty())
            action->setShortcut(QKeySequence(QString::fromLatin1(entry.shortcut.data(),
                                                                 static_cast<qsizetype>(entry.shortcut.size()))));
        const std::string_view prompt = CommandPrompt(id);
        action->setStatusTip(QString::fromUtf8(prompt.data(), static_cast<qsizetype>(prompt.size())));
        connect(action, &QAction::triggered, this, [this, id] { ExecuteCommand(id); });
        m_menuActions[id] = action;
        if (id == kIdWindowCascade)
            m_windowMenu = menu;
    }
    if (m_windowMenu)
    {
        m_windowListSeparator = m_windowMenu->addSeparator();
        for (std::size_t i = 0; i < m_windowList.size(); ++i)
        {
            QAction* action = m_windowMenu->addAction(QString());
            action->setObjectName(QStringLiteral("windowList%1").arg(i + 1));
            action->setCheckable(true);
            connect(action, &QAction::triggered, this, [this, action] {
                ActivateChildFrame(qobject_cast<CViewFrame*>(action->data().value<QObject*>()));
            });
            m_windowList[i] = action;
        }
        connect(m_windowMenu, &QMenu::aboutToShow, this, &CMainFrame::RefreshWindowList);
        RefreshWindowList();
    }
}

void CMainFrame::RefreshWindowList()
{
    if (!m_windowMenu)
        return;
    std::vector<QMdiSubWindow*> open;
    if (m_mdi)
        for (QMdiSubWindow* sub : m_mdi->subWindowList(QMdiArea::CreationOrder))
            if (!sub->isHidden() && qobject_cast<CViewFrame*>(sub))
                open.push_back(sub);
    QMdiSubWindow* current = m_mdi ? m_mdi->currentSubWindow() : nullptr;
    for (std::size_t i = 0; i < m_windowList.size(); ++i)
    {
        QAction* action = m_windowList[i];
        if (i >= open.size())
        {
            action->setVisible(false);
            action->setData(QVariant());
            continue;
        }
        QString title = open[i]->windowTitle().trimmed();
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(title));
        action->setData(QVariant::fromValue<QObject*>(open[i]));
        action->setChecked(open[i] == current);
        action->setVisible(true);
    }
    m_windowListSeparator->setVisible(!open.empty());
}

QList<QAction*> CMainFrame::WindowListActions() const
{
    QList<QAction*> shown;
    for (QAction* action : m_windowList)
        if (action && action->isVisible())
            shown << action;
    return shown;
}

void CMainFrame::ActivateChildFrame(CViewFrame* frame)
{
    if (!frame || !m_mdi)
        return;
    const QMdiSubWindow* current = m_mdi->currentSubWindow();
    if (frame->isHidden() || (current && current != frame && current->isMaximized()))
        frame->showMaximized();
    else if (frame->isMinimized())
        frame->showNormal();
    m_mdi->setActiveSubWindow(frame);
    RefreshWindowList();
}

bool CMainFrame::BuildToolbar()
{
    m_toolbar = addToolBar(QStringLiteral("Toolbar"));
    if (!m_toolbar)
        return false;
    m_toolbar->setObjectName(QStringLiteral("toolbar"));
    m_toolbar->setIconSize(QSize(kToolbarImageWidth, kToolbarImageHeight));
    m_toolbar->setMovable(false);
    int image = 0;
    const auto& slots = ToolbarSlots();
    for (std::size_t slot = 0; slot < slots.size(); ++slot)
    {
        const int id = slots[slot];
        if (id == 0)
        {
            const bool gap = slot > 0 && slots[slot - 1] != 0 && slot + 1 < slots.size() && slots[slot + 1] == 0;
            if (gap)
            {
                auto* spacer = new QWidget(m_toolbar);
                spacer->setFixedWidth(kGapWidth);
                m_toolbar->addWidget(spacer);
            }
            else if (slot == 0 || slots[slot - 1] != 0)
                m_toolbar->addSeparator();
            continue;
        }
        QAction* action = m_toolbar->addAction(QString());
        action->setObjectName(QStringLiteral("slot%1").arg(slot));
        BindToolbarAction(action, id);
        m_slotActions[slot] = action;
        SetButtonImage(static_cast<int>(slot), image++);
    }
    return true;
}

void CMainFrame::BindToolbarAction(QAction* action, int id)
{
    action->setData(id);
    action->setCheckable(IsCheckable(id));
    const std::string_view tip = CommandToolTip(id);
    action->setToolTip(QString::fromUtf8(tip.data(), static_cast<qsizetype>(tip.size())));
    const std::string_view prompt = CommandPrompt(id);
    action->setStatusTip(QString::fromUtf8(prompt.data(), static_cast<qsizetype>(prompt.size())));
    connect(action, &QAction::triggered, this, [this, id] { ExecuteCommand(id); });
}

void CMainFrame::BuildAccuracyToolbar()
{
    // A toolbar of its own, so the classic one keeps its 36 slots.
    m_accuracyToolbar = addToolBar(QStringLiteral("Accuracy"));
    m_accuracyToolbar->setObjectName(QStringLiteral("accuracyToolbar"));
    m_accuracyToolbar->setIconSize(QSize(kToolbarImageWidth, kToolbarImageHeight));
    m_accuracyToolbar->setMovable(false);
    for (const int id : AccuracyToolbarCommands())
    {
        QAction* action = m_accuracyToolbar->addAction(QIcon(AccuracyCommandImage(id)), QString());
        action->setObjectName(QStringLiteral("accuracy%1").arg(id));
        BindToolbarAction(action, id);
        m_accuracyActions[id] = action;
    }
}

bool CMainFrame::BuildStatusBar()
{
    QStatusBar* bar = statusBar();
    if (!bar)
        return false;
    m_messagePane = new QLabel(QStringLiteral("Ready"), bar);
    m_messagePane->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(m_messagePane, 1);
    m_sourcePane = new QLabel(bar);
    m_sourcePane->setObjectName(QStringLiteral("sourcePane"));
    bar->addPermanentWidget(m_sourcePane);
    auto* scroll = new QLabel(QStringLiteral("SCRL"), bar);
    scroll->setObjectName(QStringLiteral("scrollPane"));
    scroll->setEnabled(false);
    scroll->setFrameShape(QFrame::Panel);
    scroll->setFrameShadow(QFrame::Sunken);
    bar->addPermanentWidget(scroll);
    return true;
}

QAction* CMainFrame::MenuAction(int id) const
{
    const auto it = m_menuActions.find(id);
    return it == m_menuActions.end() ? nullptr : it->second;
}

QAction* CMainFrame::ToolbarAction(int slot) const
{
    if (slot < 0 || slot >= static_cast<int>(m_slotActions.size()))
        return nullptr;
    return m_slotActions[static_cast<std::size_t>(slot)];
}

int CMainFrame::ButtonImage(int slot) const
{
    if (slot < 0 || slot >= static_cast<int>(m_slotImages.size()))
        return -1;
    return m_slotImages[static_cast<std::size_t>(slot)];
}

void CMainFrame::SetButtonImage(int slot, int image)
{
    QAction* action = ToolbarAction(slot);
    if (!action || m_slotImages[static_cast<std::size_t>(slot)] == image)
        return;
    m_slotImages[static_cast<std::size_t>(slot)] = image;
    action->setIcon(QIcon(ToolbarImage(image)));
}

int CMainFrame::IsPortRunning(int port) const { return m_portRunning[static_cast<std::size_t>(PortIndex(port))]; }
int CMainFrame::IsDisplayPaused(int port) const
{
    return m_displayPaused[static_cast<std::size_t>(PortIndex(port))];
}

CViewFrame* CMainFrame::ChildFrame(int kind) const
{
    if (kind < 0 || kind >= kViewKindCount)
        return nullptr;
    return m_childFrames[static_cast<std::size_t>(kind)];
}

bool CMainFrame::FrameVisible(int kind) const
{
    const CViewFrame* frame = ChildFrame(kind);
    return frame && !frame->isHidden();
}

QString CMainFrame::ReadyText() const
{
    if (m_ownFixShown && IsPortRunning(0))
        return QStringLiteral("Receiver 2's places: own fix");
    return QStringLiteral("Ready");
}

QString CMainFrame::MessagePaneText() const { return m_messagePane ? m_messagePane->text() : QString(); }

QString CMainFrame::SourcePaneText() const { return m_sourcePane ? m_sourcePane->text() : QString(); }

int CMainFrame::PlaybackPort() const
{
    if (!m_document)
        return -1;
    for (int port = 0; port < 2; ++port)
        if (m_portRunning[static_cast<std::size_t>(port)] && m_document->Feed().Player(port) != nullptr)
            return port;
    return -1;
}

void CMainFrame::UpdateSourcePane()
{
    QStringList parts;
    if (m_document)
        for (int port = 0; port < 2; ++port)
            if (m_portRunning[static_cast<std::size_t>(port)])
            {
                const std::string text = m_document->Feed().PortSourceText(port);
                if (!text.empty())
                    parts << QStringLiteral("Port %1: %2").arg(port + 1).arg(QString::fromStdString(text));
            }
    const QString text = parts.join(QStringLiteral("   "));
    if (m_sourcePane && m_sourcePane->text() != text)
        m_sourcePane->setText(text);
}

void CMainFrame::SetMessagePaneText(const QString& text)
{
    if (m_messagePane)
        m_messagePane->setText(text);
}

CGuiDocument& CMainFrame::EnsureDocument()
{
    if (!m_document)
    {
        m_document = std::make_unique<CGuiDocument>(this);
        m_document->SetFixHandle(m_hub->Handle());
    }
    return *m_document;
}

// ---- enable and check rules ----

bool CMainFrame::IsCommandEnabled(int id) const
{
    switch (id)
    {
    case kIdViewDebug1:
    case kIdViewDebug2: return false;
    case kIdPause1:
    case kIdInitReceiver1: return IsPortRunning(0) != 0;
    case kIdPause2:
    case kIdInitReceiver2: return IsPortRunning(1) != 0;
    case kIdTtffCampaign: return m_hub->Campaign().Running() || IsPortRunning(0) != 0 || IsPortRunning(1) != 0;
    case kIdRecordRaw1: return IsPortRunning(0) != 0 || (m_document && m_document->Feed().IsRecording(0));
    case kIdRecordRaw2: return IsPortRunning(1) != 0 || (m_document && m_document->Feed().IsRecording(1));
    default: break;
    }
    if (id >= kIdBaud1First && id < kIdBaud1First + 4)
        return IsPortRunning(0) != 0;
    if (id >= kIdBaud2First && id < kIdBaud2First + 4)
        return IsPortRunning(1) != 0;
    return true;
}

bool CMainFrame::IsCommandChecked(int id) const
{
    switch (id)
    {
    case kIdViewRadar: return FrameVisible(kViewRadar);
    case kIdViewSignal1: return FrameVisible(kViewSignal1);
    case kIdViewSignal2: return FrameVisible(kViewSignal2);
    case kIdViewMeasure: return FrameVisible(kViewMeasure);
    case kIdViewStatistics: return FrameVisible(kViewStatistics);
    case kIdTtffCampaign: return m_hub->Campaign().Running();
    case kIdStartPort1: return IsPortRunning(0) != 0;
    case kIdStartPort2: return IsPortRunning(1) != 0;
    case kIdPause1: return IsDisplayPaused(0) != 0;
    case kIdPause2: return IsDisplayPaused(1) != 0;
    case kIdLogging1: return m_app.Logger().IsLogging(0) != 0;
    case kIdLogging2: return m_app.Logger().IsLogging(1) != 0;
    case kIdRecordRaw1: return m_document && m_document->Feed().IsRecording(0);
    case kIdRecordRaw2: return m_document && m_document->Feed().IsRecording(1);
    default: return false;
    }
}

void CMainFrame::UpdateCommandUI()
{
    auto apply = [this](QAction* action) {
        if (!action)
            return;
        const int id = action->data().toInt();
        action->setEnabled(IsCommandEnabled(id));
        if (action->isCheckable())
            action->setChecked(IsCommandChecked(id));
    };
    for (const auto& [id, action] : m_menuActions)
        apply(action);
    for (QAction* action : m_slotActions)
        apply(action);
    for (const auto& [id, action] : m_accuracyActions)
        apply(action);
    UpdateSourcePane();
    if (m_playbackBar)
        m_playbackBar->Refresh();
}

// ---- commands ----

void CMainFrame::ExecuteCommand(int id)
{
    if (!IsCommandEnabled(id))
        return;
    switch (id)
    {
    case kIdFileOpen:
    {
        CInputSettingsDlg dialog(this);
        if (dialog.DoModal() == kIdOk)
            for (int port = 0; port < 2; ++port)
                if (IsPortRunning(port))
                    ToggleStartPort(port);
        break;
    }
    case kIdFileOpenRecording: OpenRecordingDialog(); break;
    case kIdRecordRaw1: ToggleRecording(0); break;
    case kIdRecordRaw2: ToggleRecording(1); break;
    case kIdAppExit: close(); break;
    case kIdAppAbout: m_app.OnAppAbout(); break;
    case kIdWindowCascade: m_mdi->cascadeSubWindows(); break;
    case kIdWindowTile: m_mdi->tileSubWindows(); break;
    case kIdWindowArrange:
        for (QMdiSubWindow* sub : m_mdi->subWindowList())
            if (sub->isMinimized())
                sub->showMinimized();
        break;
    case kIdWindowCloseAll:
        if (m_document)
            for (CViewBase* view : m_document->Views())
                if (QWidget* frame = view->parentWidget())
                    frame->close();
        break;
    case kIdViewRadar: ToggleView(kViewRadar); break;
    case kIdViewSignal1: ToggleView(kViewSignal1); break;
    case kIdViewSignal2: ToggleView(kViewSignal2); break;
    case kIdViewMeasure: ToggleView(kViewMeasure); break;
    case kIdViewStatistics: ToggleView(kViewStatistics); break;
    case kIdFileExportTrack: ExportTrackDialog(); break;
    case kIdTtffCampaign: TtffCampaignDialog(); break;
    case kIdStartPort1: ToggleStartPort(0); break;
    case kIdStartPort2: ToggleStartPort(1); break;
    case kIdPause1: TogglePause(0); break;
    case kIdPause2: TogglePause(1); break;
    case kIdLogging1: ToggleLogging(0); break;
    case kIdLogging2: ToggleLogging(1); break;
    case kIdInitReceiver1:
    case kIdInitReceiver2:
        if (IsUbxPort(id == kIdInitReceiver1 ? 0 : 1))
            InitializeUbxReceiver(id == kIdInitReceiver1 ? 0 : 1);
        else if (m_document)
        {
            const int port = id == kIdInitReceiver1 ? 0 : 1;
            const int startMode = m_document->Feed().SendReceiverCommand(port, vrn::kCommandConfiguredBaud);
            m_hub->CommandSent(port, startMode);  // the time to first fix runs from here
        }
        break;
    default:
        if (id >= kIdBaud1First && id < kIdBaud1First + 4)
            ChangeBaud(0, id - kIdBaud1First);
        else if (id >= kIdBaud2First && id < kIdBaud2First + 4)
            ChangeBaud(1, id - kIdBaud2First);
        break;
    }
    UpdateCommandUI();
}

void CMainFrame::ToggleView(int kind)
{
    if (kind < 0 || kind >= kViewKindCount)
        return;
    if (CViewFrame* existing = ChildFrame(kind))
    {
        if (existing->isHidden())
            existing->showMaximized();
        else
            existing->hide();
        UpdateCommandUI();
        return;
    }
    CGuiDocument& document = EnsureDocument();
    std::unique_ptr<CViewBase> view = CreateView(kind);
    if (!view)
        return;
    if (auto* statistics = qobject_cast<CStatisticsView*>(view.get()))
        statistics->AttachHub(*m_hub);
    auto owned = std::make_unique<CViewFrame>();
    CViewFrame* frame = owned.get();
    frame->setWidget(view.release());
    m_mdi->addSubWindow(frame);
    owned.release();  // the MDI area owns it now
    m_childFrames[static_cast<std::size_t>(kind)] = frame;
    document.AddView(frame->View());
    frame->View()->OnInitialUpdate();
    // What the frame returns to when it is un-maximised or restored.
    frame->setGeometry(frame->DefaultNormalGeometry());
    frame->showMaximized();
    UpdateCommandUI();
}

void CMainFrame::ToggleStartPort(int port)
{
    port = PortIndex(port);
    const auto p = static_cast<std::size_t>(port);
    if (!m_portRunning[p])
    {
        bool anyFrame = false;
        for (const auto& frame : m_childFrames)
            anyFrame = anyFrame || frame;
        if (!anyFrame)
            ToggleView(kViewRadar);
        CGuiDocument& document = EnsureDocument();
        m_portRunning[p] = document.Feed().StartPort(port) != 0 ? 1 : 0;
        SetButtonImage(StartSlot(port), m_portRunning[p] ? kImagePortReceiving : kImagePortIdle);
        if (port == 0 && m_portRunning[p])
        {
            // The feed document loaded the same settings when it opened the port.
            CAppSettings settings;
            settings.LoadReceiverInit(0);
            m_ownFixShown = vrn::RunsOwnFix(settings.Protocol);
        }
        if (m_portRunning[p])
            SetMessagePaneText(ReadyText());
        else
            ReportPortFailure(port);
    }
    else
    {
        if (m_app.Logger().IsLogging(port))
            m_app.Logger().StopLogging(port);
        m_portRunning[p] = 0;
        if (m_displayPaused[p])
            TogglePause(port);
        if (m_document)
            m_document->Feed().StopPort(port);
        m_hub->PortStopped(port);
        setWindowTitle(QStringLiteral("Talvoren Receiver"));
        SetButtonImage(StartSlot(port), kImagePortIdle);
        if (port == 0)
            m_ownFixShown = false;
        SetMessagePaneText(ReadyText());
    }
    UpdateCommandUI();
}

void CMainFrame::ReportPortFailure(int port)
{
    QString reason;
    if (m_document)
    {
        const vrn::CFeedDoc& feed = m_document->Feed();
        reason = QString::fromStdString(feed.LastPortError(port));
        if (feed.LastPortFailure(port) == vrn::PortOpenFailure::PermissionDenied &&
            !reason.contains(QLatin1String("dialout")))
            reason += QStringLiteral(" (add your user to the group that owns the device, dialout on Debian, "
                                     "then log in again)");
    }
    if (reason.isEmpty())
        reason = QStringLiteral("the port could not be opened");
    SetMessagePaneText(QStringLiteral("Port %1 did not start: %2").arg(port + 1).arg(reason));
}

void CMainFrame::TogglePause(int port)
{
    const auto p = static_cast<std::size_t>(PortIndex(port));
    m_displayPaused[p] = m_displayPaused[p] ? 0 : 1;
    if (m_document)
        m_document->Feed().SetPaused(PortIndex(port), m_displayPaused[p]);
    if (!m_displayPaused[p])
        SetButtonImage(PauseSlot(port), kImagePause);
    UpdateCommandUI();
}

void CMainFrame::ChangeBaud(int port, int rateIndex)
{
    port = PortIndex(port);
    if (rateIndex < 0 || rateIndex > 3)
        return;
    if (IsUbxPort(port))
    {
        vrn::UbxRequest request;
        request.kind = vrn::UbxRequest::Kind::Baud;
        request.baud = static_cast<std::uint32_t>(QString::fromLatin1(kBaudTexts[static_cast<std::size_t>(rateIndex)]).toUInt());
        // Refused (gpsd, a recording): the port runs on at its rate.
        if (QueueUbxRequest(port, request))
            m_pendingBaud[static_cast<std::size_t>(port)] = rateIndex;
        return;
    }
    if (m_document)
    {
        m_document->Feed().SendReceiverCommand(port, rateIndex);
        m_document->Feed().SendReceiverCommand(port, rateIndex);
    }
    ToggleStartPort(port);
    (void)CAppSettings::WriteProfileText("Data Sources", port == 0 ? "MeasSerialBaud" : "MeasSerialBaud2",
                                         kBaudTexts[static_cast<std::size_t>(rateIndex)]);
}

bool CMainFrame::IsUbxPort(int port) const
{
    port = PortIndex(port);
    return m_portRunning[static_cast<std::size_t>(port)] != 0 && m_document &&
           vrn::IsUbxMode(m_document->Feed().PortMode(port));
}

bool CMainFrame::QueueUbxRequest(int port, const vrn::UbxRequest& request)
{
    port = PortIndex(port);
    if (!IsUbxPort(port))
        return false;
    const std::string refusal = m_document->Feed().CommandRefusal(port);
    if (!refusal.empty())
    {
        SetMessagePaneText(
            QStringLiteral("Receiver %1: %2").arg(port + 1).arg(QString::fromStdString(refusal)));
        return false;
    }
    m_document->Feed().QueueUbxRequest(port, request);
    PumpUbx(port);
    return true;
}

void CMainFrame::PumpUbx(int port)
{
    port = PortIndex(port);
    if (!m_document)
    {
        m_ubxTimer->stop();
        return;
    }
    vrn::CFeedDoc& feed = m_document->Feed();
    const auto nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
    const std::vector<std::string> texts = feed.PumpUbxCommands(port, nowMs);
    // A baud change ends as the classic one does, once its answer is in: the port stops and the new
    // rate is stored, ready for the next start. The answer stays in the status bar.
    auto& pending = m_pendingBaud[static_cast<std::size_t>(port)];
    if (pending >= 0 && !feed.UbxCommandsBusy(port))
    {
        const int rateIndex = pending;
        pending = -1;
        if (IsPortRunning(port))
            ToggleStartPort(port);
        (void)CAppSettings::WriteProfileText("Data Sources", port == 0 ? "MeasSerialBaud" : "MeasSerialBaud2",
                                             kBaudTexts[static_cast<std::size_t>(rateIndex)]);
    }
    if (!texts.empty())
        SetMessagePaneText(QString::fromStdString(texts.back()));
    if (feed.UbxCommandsBusy(0) || feed.UbxCommandsBusy(1))
    {
        if (!m_ubxTimer->isActive())
            m_ubxTimer->start();
    }
    else
        m_ubxTimer->stop();
}

void CMainFrame::InitializeUbxReceiver(int port)
{
    CAppSettings settings;
    settings.LoadReceiverInit(port);
    // The settings' reset modes 0..3 are the start mode bytes 1..4.
    const int startMode = std::clamp(settings.ResetMode, 0, 3) + 1;
    vrn::UbxRequest output;
    output.kind = vrn::UbxRequest::Kind::Outputs;
    output.outputs = {settings.UbxRawx != 0, settings.UbxSfrbx != 0, settings.UbxNavPvt != 0, settings.UbxNavSat != 0};
    if (QueueUbxStart(port, startMode))
        m_hub->CommandSent(port, startMode);  // the time to first fix runs from here
    (void)QueueUbxRequest(port, output);
}

bool CMainFrame::QueueUbxStart(int port, int startMode)
{
    vrn::UbxRequest start;
    start.kind = vrn::UbxRequest::Kind::Start;
    start.start = startMode == vrn::analysis::kStartHot    ? vrn::UbxStart::Hot
                  : startMode == vrn::analysis::kStartWarm ? vrn::UbxStart::Warm
                                                           : vrn::UbxStart::Cold;  // cold, and the test start
    return QueueUbxRequest(port, start);
}

void CMainFrame::OpenRecordingDialog()
{
    const int port = PlaybackPort() >= 0 ? PlaybackPort() : 0;
    const int mode = CAppSettings::ReadProfileInt(port == 0 ? "ReceiverInit1" : "ReceiverInit2", "Protocol", 0);
    COpenRecordingDlg dialog(port, mode, this);
    if (dialog.exec() == QDialog::Accepted)
        OpenRecording(dialog.Port(), dialog.FileName(), dialog.Mode());
}

bool CMainFrame::OpenRecording(int port, const QString& path, int mode)
{
    port = PortIndex(port);
    const auto p = static_cast<std::size_t>(port);
    if (m_portRunning[p])
        ToggleStartPort(port);
    bool anyFrame = false;
    for (const auto& frame : m_childFrames)
        anyFrame = anyFrame || frame;
    if (!anyFrame)
        ToggleView(kViewRadar);
    CGuiDocument& document = EnsureDocument();
    m_portRunning[p] = document.Feed().StartPlayback(port, path.toStdString(), mode) != 0 ? 1 : 0;
    SetButtonImage(StartSlot(port), m_portRunning[p] ? kImagePortReceiving : kImagePortIdle);
    if (port == 0)
        m_ownFixShown = m_portRunning[p] != 0 && vrn::RunsOwnFix(mode);
    if (m_portRunning[p])
        SetMessagePaneText(ReadyText());
    else
        ReportPortFailure(port);
    UpdateCommandUI();
    return m_portRunning[p] != 0;
}

void CMainFrame::ToggleRecording(int port)
{
    port = PortIndex(port);
    if (!m_document)
        return;
    vrn::CFeedDoc& feed = m_document->Feed();
    if (feed.IsRecording(port))
    {
        std::string error;
        if (!feed.StopRecording(port, &error))
            ShowMessage(this, QStringLiteral("Raw recording of port %1 stopped: %2").arg(port + 1).arg(QString::fromStdString(error)));
        UpdateCommandUI();
        return;
    }
    if (!IsPortRunning(port))
        return;
    FileDialogRequest request;
    request.save = true;
    request.title = QStringLiteral("Record Raw Data of Port %1").arg(port + 1);
    request.initialName = QStringLiteral("port%1.raw").arg(port + 1);
    request.filter = QStringLiteral("Raw recordings (*.raw);;All Files (*)");
    request.defaultSuffix = QStringLiteral("raw");
    const auto path = AskFileName(this, request);
    if (!path)
        return;
    std::string error;
    if (!feed.StartRecording(port, path->toStdString(), error))
        ShowMessage(this, QStringLiteral("Raw recording of port %1 did not start: %2").arg(port + 1).arg(QString::fromStdString(error)));
    UpdateCommandUI();
}

void CMainFrame::ToggleLogging(int port)
{
    CPortLogger& logger = m_app.Logger();
    if (logger.IsLogging(port))
        logger.StopLogging(port);
    else if (logger.ConfigureLogging(port))
        (void)logger.StartLogging(port);
    UpdateCommandUI();
}

// ---- the accuracy workbench ----

bool CMainFrame::ExportTrack(const QString& path, QString& error)
{
    using namespace vrn::analysis;
    const auto& bench = m_hub->Workbench();
    std::vector<SourceId> sources;
    for (const SourceId s : kAllSources)
        if (!bench.Series(s).Empty())
            sources.push_back(s);
    const QString suffix = QFileInfo(path).suffix().toLower();
    std::string reason;
    const bool ok = WriteFileSafely(
        path.toStdString(),
        [&](std::ostream& out) {
            if (suffix == QLatin1String("kml"))
                WriteKml(out, bench, sources);
            else if (suffix == QLatin1String("csv"))
                WriteCsv(out, bench, sources);
            else
                WriteGpx(out, bench, sources);
        },
        reason);
    if (!ok)
        error = QString::fromStdString(reason);
    return ok;
}

void CMainFrame::ExportTrackDialog()
{
    FileDialogRequest request;
    request.save = true;
    request.title = QStringLiteral("Export Track");
    request.initialName = QStringLiteral("track.gpx");
    request.filter = QStringLiteral("GPX 1.1 (*.gpx);;KML (*.kml);;CSV with errors (*.csv)");
    request.defaultSuffix = QStringLiteral("gpx");
    const std::optional<QString> path = AskFileName(this, request);
    if (!path || path->isEmpty())
        return;
    QString error;
    if (!ExportTrack(*path, error))
        ShowMessage(this, error);
    else
        SetMessagePaneText(QStringLiteral("Track exported to %1").arg(*path));
}

void CMainFrame::StartTtffCampaign(const vrn::analysis::CampaignSettings& settings)
{
    m_hub->StartCampaign(settings, [this](int port, int startMode) {
        if (!m_document || !IsPortRunning(port))
            return false;
        if (IsUbxPort(port))
            return QueueUbxStart(port, startMode);
        // The settings' reset modes run 0..3 for the start mode bytes 1..4.
        (void)m_document->Feed().SendReceiverCommand(port, vrn::kCommandConfiguredBaud, startMode - 1);
        return true;
    });
    UpdateCommandUI();
}

void CMainFrame::TtffCampaignDialog()
{
    if (m_hub->Campaign().Running())
    {
        m_hub->StopCampaign();
        return;
    }
    CTtffCampaignDlg dialog(this);
    vrn::analysis::CampaignSettings settings = m_hub->Campaign().Settings();
    settings.port = IsPortRunning(settings.port) ? settings.port : (IsPortRunning(0) ? 0 : 1);
    dialog.SetSettings(settings);
    dialog.SetPortRunning(0, IsPortRunning(0) != 0);
    dialog.SetPortRunning(1, IsPortRunning(1) != 0);
    if (dialog.DoModal() != kIdOk)
        return;
    StartTtffCampaign(dialog.Settings());
    if (!FrameVisible(kViewStatistics))
        ToggleView(kViewStatistics);
}

// ---- notification codes ----

void CMainFrame::SendCode(unsigned code)
{
    switch (code)
    {
    case kMsgDocumentClosing: OnDocumentClosing(); break;
    case kMsgSignal1Gone: ForgetChildFrame(kViewSignal1); break;
    case kMsgSignal2Gone: ForgetChildFrame(kViewSignal2); break;
    case kMsgRadarGone: ForgetChildFrame(kViewRadar); break;
    case kMsgDebugGone: ForgetChildFrame(kViewDebug); break;
    case kMsgMeasureGone: ForgetChildFrame(kViewMeasure); break;
    case kMsgStatisticsGone: ForgetChildFrame(kViewStatistics); break;
    case kMsgActivity1: OnActivity(0); break;
    case kMsgActivity2: OnActivity(1); break;
    case kMsgUbxAnswer1: PumpUbx(0); break;
    case kMsgUbxAnswer2: PumpUbx(1); break;
    case kMsgSettingsChanged:
    case kMsgSettingsChanged2: m_app.BroadcastToDocuments(code); break;
    case kMsgStopPort1:
        if (IsPortRunning(0))
            ToggleStartPort(0);
        break;
    case kMsgStopPort2:
        if (IsPortRunning(1))
            ToggleStartPort(1);
        break;
    case kMsgPlaybackRestart1:
    case kMsgPlaybackRestart2:
        m_hub->PlaybackRestarted(code == kMsgPlaybackRestart1 ? 0 : 1);
        if (m_document)
            m_document->Feed().RelayNotification(code, 0, nullptr);
        break;
    default: break;  // 104 and 105 have no handler
    }
}

void CMainFrame::PostCode(unsigned code)
{
    QMetaObject::invokeMethod(this, [this, code] { SendCode(code); }, Qt::QueuedConnection);
}

void CMainFrame::OnActivity(int port)
{
    const auto p = static_cast<std::size_t>(port);
    // A chunk read just before a stop may be reported after it: the buttons then stay as they are.
    if (!m_portRunning[p])
        return;
    if (m_displayPaused[p])
        SetButtonImage(PauseSlot(port), ButtonImage(PauseSlot(port)) == kImagePause ? kImagePauseLit : kImagePause);
    if (m_blinkTest[p] < 0)
        m_blinkTest[p] = BlinkSupported(m_app.VersionText()) ? 1 : 0;
    if (m_blinkTest[p])
    {
        m_activityPhase[p] = m_activityPhase[p] ? 0 : 1;
        SetButtonImage(StartSlot(port), m_activityPhase[p] ? kImagePortReceiving : kImagePortIdle);
    }
}

void CMainFrame::ForgetChildFrame(int kind)
{
    m_childFrames[static_cast<std::size_t>(kind)] = nullptr;
    UpdateCommandUI();
}

void CMainFrame::OnDocumentClosing()
{
    for (auto& frame : m_childFrames)
        frame = nullptr;
    for (int port = 0; port < 2; ++port)
        if (IsPortRunning(port))
            ToggleStartPort(port);
    // The document is in the middle of its own close call: delete it only after that has returned.
    m_closedDocument = std::move(m_document);
    QMetaObject::invokeMethod(this, [this] { m_closedDocument.reset(); }, Qt::QueuedConnection);
}

// ---- window events ----

bool CMainFrame::event(QEvent* event)
{
    // A recording played fast updates the views thousands of times a second. Their state follows
    // every record, but the window is drawn at most every kPlaybackPaintMs: a repaint asked for
    // sooner waits on a timer (the pending request stays marked, so no more are posted meanwhile).
    constexpr auto kPlaybackPaintMs = std::chrono::milliseconds(40);
    if (event->type() == QEvent::UpdateRequest && m_paintTimer && PlaybackPort() >= 0)
    {
        const auto now = std::chrono::steady_clock::now();
        const auto since = now - m_lastPaint;
        if (since < kPlaybackPaintMs)
        {
            if (!m_paintTimer->isActive())
                m_paintTimer->start(static_cast<int>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(kPlaybackPaintMs - since).count() + 1));
            return true;
        }
        m_lastPaint = now;
    }
    return QMainWindow::event(event);
}

void CMainFrame::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_placementRestored)
    {
        m_placementRestored = true;
        RestoreWindowPlacement(*this, "Main");
    }
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!m_closing)
    {
        m_closing = true;
        // Everything already queued (activity, record updates, codes) is handled before closing.
        QCoreApplication::sendPostedEvents();
        if (m_document)
            m_document->Feed().OnCloseDocument();
        for (int port = 0; port < 2; ++port)
            m_app.Logger().StopLogging(port);
        SaveWindowPlacement(*this, "Main");
        for (QMdiSubWindow* sub : m_mdi->subWindowList())
            if (auto* frame = qobject_cast<CViewFrame*>(sub))
                frame->Destroy();
        m_closedDocument.reset();
    }
    event->accept();
}
}  // namespace vrn::gui
