// The application object: what exists once per run (the port logger, the command-line switches,
// the platform version text, the view kinds), the start-up sequence and the shutdown, the
// broadcast of notification codes to the document, and the About box. One instance, created in
// main() after the QApplication; UI thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

#include "app/ProgramOptions.h"
#include "log/CPortLogger.h"

class CData;

namespace vrn::gui
{
class CMainFrame;
class CDemoMode;
class CTemplateDialog;

class CMonitorApp : public QObject
{
    Q_OBJECT
public:
    explicit CMonitorApp(ProgramOptions options);
    ~CMonitorApp() override;
    CMonitorApp(const CMonitorApp&) = delete;
    CMonitorApp& operator=(const CMonitorApp&) = delete;

    // The one application object; null before it is made and after it is gone.
    static CMonitorApp* Instance();

    // The start-up sequence; false ends the program at once.
    bool InitInstance();
    // Deletes the main frame if one is still held; the exit code 0.
    int ExitInstance();

    // Hands a notification code to the feed document's relay (when a document exists).
    void BroadcastToDocuments(unsigned code, unsigned wParam = 0, const CData* object = nullptr);
    // The About box, modal.
    void OnAppAbout();

    [[nodiscard]] CPortLogger& Logger() { return m_logger; }
    [[nodiscard]] CMainFrame* MainFrame() const { return m_mainFrame.get(); }
    // The kernel release as "%d.%02d" (major, minor).
    [[nodiscard]] const QString& VersionText() const { return m_versionText; }
    [[nodiscard]] const ProgramOptions& Options() const { return m_options; }

    // Milliseconds after which the start-up Input Settings dialog (and the Log File Settings
    // dialog) accepts itself as if OK were pressed; negative: never (the default outside scripted
    // runs).
    void SetStartupAutoAccept(int milliseconds) { m_autoAcceptMs = milliseconds; }

    // Resources text of the start-up trace (and message box with the debug switch).
    static QString ResourcesText();
    // "%d.%02d" of a kernel release text such as "6.1.0-18-amd64"; "0.00" when it has no number.
    static QString VersionTextFromRelease(const QString& release);

private:
    void StartDemo();
    void ArmAutoAccept(CTemplateDialog& dialog) const;
    // Clicks OK of a dialog shown in a scripted run; a refused dialog ends as cancelled.
    static void AcceptOrEnd(CTemplateDialog& dialog);
    // --exit-after: the run ends (screenshots of the views first); during the start-up, as soon as
    // the start-up is over.
    void OnExitAfter();
    void EndScriptedRun();
    void SaveScreenshots();
    // The main window and every open view, as the run ends (--screenshots with --exit-after).
    void SaveViewScreenshots();

    ProgramOptions m_options;
    QString m_versionText;
    CPortLogger m_logger;
    std::unique_ptr<CMainFrame> m_mainFrame;
    std::unique_ptr<CDemoMode> m_demo;
    int m_autoAcceptMs = -1;
    QPointer<CTemplateDialog> m_startupDialog;  // the start-up Input Settings while they are shown
    bool m_exitDue = false;                     // --exit-after ran out during the start-up
};
}  // namespace vrn::gui
