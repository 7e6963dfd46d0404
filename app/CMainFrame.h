// The program's top-level window: an MDI frame with the menu, the 36-slot toolbar, the accuracy
// toolbar and the two-pane status bar. Owns the feed document, the accuracy workbench and the child
// frames of the view kinds, keeps the run state of both ports, turns commands into calls on the
// document and the port logger, and handles the notification codes. UI thread only, except PostCode.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <chrono>
#include <map>
#include <memory>

#include "link/UbxCommands.h"
#include "link/ViewLinks.h"
#include "res/MenuResources.h"

class QAction;
class QLabel;
class QMenu;
class QMdiArea;
class QTimer;
class QToolBar;

namespace vrn::analysis
{
struct CampaignSettings;
}

namespace vrn::gui
{
class CAccuracyHub;
class CGuiDocument;
class CMonitorApp;
class CPlaybackBar;
class CViewFrame;

class CMainFrame : public QMainWindow, public vrn::IMainFrame
{
    Q_OBJECT
public:
    explicit CMainFrame(CMonitorApp& app);
    ~CMainFrame() override;
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Builds menu, toolbar and status bar; false when one of them cannot be made.
    bool Create();

    // ---- commands ----
    void ExecuteCommand(int id);
    // Evaluates every command's enable and check rule and shows the result in menu and toolbar.
    void UpdateCommandUI();
    [[nodiscard]] QAction* MenuAction(int id) const;
    [[nodiscard]] QAction* ToolbarAction(int slot) const;
    [[nodiscard]] bool IsCommandEnabled(int id) const;
    [[nodiscard]] bool IsCommandChecked(int id) const;

    void ToggleView(int kind);
    // Brings a view's frame to the front as the Window menu's list does: maximised when the current
    // frame is maximised, restored when it is minimised.
    void ActivateChildFrame(CViewFrame* frame);
    // The numbered list of open views at the end of the Window menu ("&1 Radar View", ...; the
    // active one checked), made anew whenever the menu opens.
    void RefreshWindowList();
    [[nodiscard]] QList<QAction*> WindowListActions() const;
    void ToggleStartPort(int port);
    void TogglePause(int port);
    // Sends the baud command for rate index 0..3 (4800, 9600, 19200, 38400) twice, stops the port
    // and stores the new rate. A port in a UBX mode gets CFG-PRT or CFG-VALSET instead and stops
    // once the receiver has answered (or 2 s have passed).
    void ChangeBaud(int port, int rateIndex);
    // Plays the raw recording `path` on `port` in protocol `mode` (stopping what the port ran);
    // the playback toolbar appears. True when it plays; otherwise the status bar says why.
    bool OpenRecording(int port, const QString& path, int mode);
    // Starts or ends the raw recording of a running port (asks for the file with a save dialog).
    void ToggleRecording(int port);

    // ---- u-blox receivers ----
    // True while `port` runs in a UBX mode.
    [[nodiscard]] bool IsUbxPort(int port) const;
    // Queues a UBX command for a port running in a UBX mode; false (nothing sent) otherwise, and for
    // a source that passes no commands (gpsd, a recording), which the status bar then names. The
    // answer, or its absence after 2 s, shows in the status bar; nothing here waits for it.
    bool QueueUbxRequest(int port, const vrn::UbxRequest& request);
    // Sends what the port's command queue has due and shows the answers that came.
    void PumpUbx(int port);

    // ---- the accuracy workbench ----
    [[nodiscard]] CAccuracyHub& Accuracy() const { return *m_hub; }
    // Writes the tracks of every source with epochs to `path`: GPX, KML or CSV by its extension
    // (.gpx, .kml, .csv; GPX for anything else). False and a reason when it cannot be written.
    bool ExportTrack(const QString& path, QString& error);
    // Starts a TTFF campaign on a running port (the menu command asks for the settings first).
    void StartTtffCampaign(const vrn::analysis::CampaignSettings& settings);

    // ---- notification codes ----
    void SendCode(unsigned code) override;
    void PostCode(unsigned code) override;

    // ---- state ----
    [[nodiscard]] int IsPortRunning(int port) const;
    [[nodiscard]] int IsDisplayPaused(int port) const;
    [[nodiscard]] int ButtonImage(int slot) const;
    [[nodiscard]] CViewFrame* ChildFrame(int kind) const;
    [[nodiscard]] CGuiDocument* Document() const { return m_document.get(); }
    [[nodiscard]] QMdiArea* MdiArea() const { return m_mdi; }
    // Text of the status bar's message pane (when no prompt is shown over it).
    [[nodiscard]] QString MessagePaneText() const;
    // Text of the status bar's source pane: what each running port reads and its connection or
    // playback state.
    [[nodiscard]] QString SourcePaneText() const;
    [[nodiscard]] CPlaybackBar* PlaybackBar() const { return m_playbackBar; }
    // The port that plays a recording, or -1.
    [[nodiscard]] int PlaybackPort() const;
    // What the message pane says while nothing went wrong: "Ready", or while port 1 runs in test
    // mode "Receiver 2's places: own fix" (the program's own fix is drawn in receiver 2's places).
    [[nodiscard]] QString ReadyText() const;
    void SetMessagePaneText(const QString& text);
    // The document, created on demand.
    CGuiDocument& EnsureDocument();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenu();
    bool BuildToolbar();
    void BuildAccuracyToolbar();
    // A toolbar button's command, check state, tooltip and status-bar prompt.
    void BindToolbarAction(QAction* action, int id);
    void ExportTrackDialog();
    void TtffCampaignDialog();
    bool BuildStatusBar();
    void SetButtonImage(int slot, int image);
    void OnActivity(int port);
    void OnDocumentClosing();
    void ForgetChildFrame(int kind);
    void ToggleLogging(int port);
    void ReportPortFailure(int port);
    void OpenRecordingDialog();
    void UpdateSourcePane();
    // "Initialize Receiver" for a UBX port: the start of the settings' start mode, then the output.
    void InitializeUbxReceiver(int port);
    // Queues CFG-RST for start mode byte `startMode` (hot 1, warm 2, cold 3; the test start 4 is a
    // cold start); false when the port takes no UBX commands.
    bool QueueUbxStart(int port, int startMode);
    [[nodiscard]] bool FrameVisible(int kind) const;

    CMonitorApp& m_app;
    QMdiArea* m_mdi = nullptr;
    QToolBar* m_toolbar = nullptr;
    QToolBar* m_accuracyToolbar = nullptr;
    std::unique_ptr<CAccuracyHub> m_hub;  // before the document: it outlives the readers
    QLabel* m_messagePane = nullptr;
    QLabel* m_sourcePane = nullptr;
    CPlaybackBar* m_playbackBar = nullptr;
    QTimer* m_paintTimer = nullptr;  // a repaint held back while a recording plays
    std::chrono::steady_clock::time_point m_lastPaint{};
    QMenu* m_windowMenu = nullptr;
    QAction* m_windowListSeparator = nullptr;
    std::array<QAction*, 5> m_windowList{};  // one per view kind at most
    bool m_ownFixShown = false;  // port 1 was started in test mode
    std::array<int, 2> m_portRunning{};
    std::array<int, 2> m_displayPaused{};
    std::unique_ptr<CGuiDocument> m_document;
    std::unique_ptr<CGuiDocument> m_closedDocument;  // deleted once its close call has returned
    std::array<QPointer<CViewFrame>, 6> m_childFrames{};  // by view kind
    std::map<int, QAction*> m_menuActions;
    std::map<int, QAction*> m_accuracyActions;
    std::array<QAction*, res::kToolbarSlots> m_slotActions{};
    std::array<int, res::kToolbarSlots> m_slotImages{};
    std::array<int, 2> m_activityPhase{};
    std::array<int, 2> m_blinkTest{-1, -1};  // cached version test per port; -1 until first activity
    QTimer* m_ubxTimer = nullptr;            // pumps the UBX command queues while one is busy
    std::array<int, 2> m_pendingBaud{-1, -1};  // UBX baud change waiting for its answer: rate index
    bool m_placementRestored = false;
    bool m_closing = false;
};
}  // namespace vrn::gui
