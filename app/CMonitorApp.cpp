// Application object: start-up, shutdown, broadcast, About box, screenshots.
#include "app/CMonitorApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdio>
#include <sys/utsname.h>

#include "app/CAboutDlg.h"
#include "app/CDemoMode.h"
#include "app/CGuiDocument.h"
#include "app/CMainFrame.h"
#include "app/CViewFrame.h"
#include "app/CTraceFile.h"
#include "app/CoreServices.h"
#include "app/GuiServices.h"
#include "config/CAppSettings.h"
#include "config/CFileExistsDlg.h"
#include "config/CInputSettingsDlg.h"
#include "config/CLogFileSettingsDlg.h"
#include "config/CPreferencesDlg.h"
#include "config/CReceiverInitDlg.h"
#include "config/CSkyChartConfigDlg.h"
#include "config/CTrackMapPrefsDlg.h"
#include "views/CViewBase.h"

namespace vrn::gui
{
namespace
{
CMonitorApp* g_app = nullptr;
constexpr int kScriptedAutoAcceptMs = 2000;
}  // namespace

CMonitorApp::CMonitorApp(ProgramOptions options) : m_options(std::move(options))
{
    g_app = this;
    utsname names{};
    m_versionText = VersionTextFromRelease(uname(&names) == 0 ? QString::fromLatin1(names.release) : QString());
}

CMonitorApp::~CMonitorApp()
{
    m_mainFrame.reset();
    m_demo.reset();
    vrn::SetPortLog(nullptr);
    vrn::SetErrorReporter({});
    vrn::SetMessagePresenter({});
    m_logger.SetSettingsDialog({});
    g_app = nullptr;
}

CMonitorApp* CMonitorApp::Instance() { return g_app; }

QString CMonitorApp::ResourcesText()
{
    return QStringLiteral("Resources:\n\nSystem:\t%1%\nGDI:\t%2%\nUser:\t%3%\n").arg(1).arg(2).arg(3);
}

QString CMonitorApp::VersionTextFromRelease(const QString& release)
{
    const QStringList parts = release.split(QLatin1Char('.'));
    auto leadingNumber = [](const QString& text) {
        int value = 0;
        for (QChar c : text)
        {
            if (!c.isDigit() || value > 9999)
                break;
            value = value * 10 + c.digitValue();
        }
        return value;
    };
    const int major = leadingNumber(parts.value(0));
    const int minor = leadingNumber(parts.value(1));
    return QString::asprintf("%d.%02d", major, minor);
}

bool CMonitorApp::InitInstance()
{
    // 1. The first decoder error of the run will be shown.
    vrn::ResetErrorLatch();
    // 2. Dialogs are light grey (set by each dialog from its template).
    // The profile: --profile, or the demo's own, or the default.
    if (!m_options.profile.isEmpty())
        CAppSettings::SetProfilePath(QDir::current().absoluteFilePath(m_options.profile).toStdString());
    if (m_options.demo)
    {
        m_demo = std::make_unique<CDemoMode>();
        QString error;
        if (!m_demo->Prepare(m_options.profile.isEmpty(), error))
        {
            std::fprintf(stderr, "vrnrcvr: demo mode: %s\n", qPrintable(error));
            return false;
        }
    }
    const bool scripted = m_options.exitAfterSeconds.has_value() || !m_options.screenshotDir.isEmpty();
    if (scripted)
    {
        if (m_autoAcceptMs < 0)
            m_autoAcceptMs = kScriptedAutoAcceptMs;
        // Nobody is there to close message boxes: their texts go to standard error.
        SetMessageHandler([](QWidget*, const QString& text) {
            std::fprintf(stderr, "vrnrcvr: %s\n", qPrintable(text));
        });
    }

    // Messages of the core: the first decoder error, and the readers' start failures, shown on the
    // UI thread; the reader never waits for the box.
    vrn::SetErrorReporter([this](const std::string& text) {
        QMetaObject::invokeMethod(
            this,
            [this, text] {
                ShowMessage(m_mainFrame.get(), QString::fromStdString(text));
                vrn::ErrorReportClosed();
            },
            Qt::QueuedConnection);
    });
    vrn::SetMessagePresenter([this](const std::string& text) {
        QMetaObject::invokeMethod(
            this, [this, text] { ShowMessage(m_mainFrame.get(), QString::fromStdString(text)); },
            Qt::QueuedConnection);
    });
    vrn::SetPortLog(&m_logger);
    m_logger.SetSettingsDialog([this](int port) {
        CLogFileSettingsDlg dialog(port, m_mainFrame.get());
        ArmAutoAccept(dialog);
        return dialog.DoModal() == kIdOk;
    });

    // 4. The platform version text was read when the object was made.

    // 5. The view kinds are made by CreateView (views/CViewBase.h).
    // 6. Command-line switches.
    const ClassicSwitches switches = ReadClassicSwitches(m_options.rest);
    vrn::SetDebugSwitch(switches.debug);
    vrn::SetTraceSwitch(switches.trace);

    // 7. Trace.
    CTraceFile trace;
    trace.Initialise();
    trace.Enter("InitInstance");
    // 8. Resources text.
    const QString resources = ResourcesText();
    CTraceFile::Write(resources.toStdString());
    if (switches.debug)
        ShowMessage(nullptr, resources);

    // A scripted run ends on time whatever happens during the start-up: the timer runs from here.
    if (m_options.exitAfterSeconds)
        QTimer::singleShot(*m_options.exitAfterSeconds * 1000, this, [this] { OnExitAfter(); });

    // 9, 10. Main frame.
    m_mainFrame = std::make_unique<CMainFrame>(*this);
    if (!m_mainFrame->Create())
    {
        m_mainFrame.reset();
        return false;
    }
    m_mainFrame->show();
    m_mainFrame->repaint();

    // A profile that is there but cannot be read is named once; the run goes on with the defaults
    // and no save writes over the file.
    const CAppSettings::ProfileReadStatus profile = CAppSettings::CheckProfile();
    if (profile.result == CAppSettings::ProfileRead::Failed)
        ShowMessage(m_mainFrame.get(),
                    QStringLiteral("The settings could not be read from %1 (%2). The program runs on its "
                                   "defaults and leaves the file as it is.")
                        .arg(QString::fromStdString(profile.path), QString::fromStdString(profile.reason)));

    // 11. Input Settings, modal; Cancel disabled on this first showing.
    {
        CInputSettingsDlg dialog(m_mainFrame.get());
        m_startupDialog = &dialog;
        ArmAutoAccept(dialog);
        const int result = dialog.DoModal();
        m_startupDialog = nullptr;
        // Without anyone at the keyboard, settings the dialog refuses stay refused.
        if (m_autoAcceptMs >= 0 && result != kIdOk)
        {
            std::fprintf(stderr, "vrnrcvr: cannot start: the Input Settings refused the profile's data sources "
                                 "(%s)\n",
                         CAppSettings::ProfilePath().c_str());
            return false;
        }
    }

    // 12. The standard views; the radar view ends up in front.
    for (int kind : {kViewMeasure, kViewSignal2, kViewSignal1, kViewRadar})
        m_mainFrame->ToggleView(kind);

    if (m_demo)
        QTimer::singleShot(0, this, [this] { StartDemo(); });
    for (int port = 0; port < 2; ++port)
        if (m_options.logPorts[static_cast<std::size_t>(port)])
            QTimer::singleShot(0, this, [this, port] {
                if (!m_mainFrame)
                    return;
                if (m_mainFrame->IsPortRunning(port) == 0)
                    m_mainFrame->ToggleStartPort(port);
                m_mainFrame->ExecuteCommand(port == 0 ? res::kIdLogging1 : res::kIdLogging2);
            });
    // The time ran out during the start-up: the run ends as soon as it has started.
    if (m_exitDue)
        QTimer::singleShot(0, this, [this] { EndScriptedRun(); });
    if (!m_options.screenshotDir.isEmpty())
        QTimer::singleShot(500, this, [this] { SaveScreenshots(); });
    // 13. Leaving the scope writes "Exiting InitInstance".
    return true;
}

void CMonitorApp::ArmAutoAccept(CTemplateDialog& dialog) const
{
    if (m_autoAcceptMs < 0)
        return;
    QPointer<CTemplateDialog> target(&dialog);
    QTimer::singleShot(m_autoAcceptMs, &dialog, [target] {
        if (target)
            AcceptOrEnd(*target);
    });
}

void CMonitorApp::AcceptOrEnd(CTemplateDialog& dialog)
{
    if (!dialog.isVisible())
        return;
    if (auto* ok = qobject_cast<QAbstractButton*>(dialog.Control(kIdOk)))
        ok->click();
    // Refused (its message went to standard error): nobody can correct the input, so the dialog
    // ends as if cancelled instead of waiting for ever.
    if (dialog.isVisible())
        dialog.EndDialog(kIdCancel);
}

void CMonitorApp::OnExitAfter()
{
    if (m_startupDialog)
    {
        // Still starting: answer the start-up dialog now and end once the start-up is over.
        m_exitDue = true;
        AcceptOrEnd(*m_startupDialog);
        return;
    }
    EndScriptedRun();
}

void CMonitorApp::EndScriptedRun()
{
    // A dialog still waiting for its automatic answer (the Log File Settings) goes first.
    if (auto* modal = qobject_cast<CTemplateDialog*>(QApplication::activeModalWidget()))
    {
        modal->EndDialog(kIdCancel);
        QTimer::singleShot(0, this, [this] { EndScriptedRun(); });
        return;
    }
    if (!m_options.screenshotDir.isEmpty())
        SaveViewScreenshots();
    if (m_mainFrame)
        m_mainFrame->ExecuteCommand(res::kIdAppExit);
}

void CMonitorApp::StartDemo()
{
    if (m_mainFrame && m_demo && m_demo->Running())
        m_mainFrame->ToggleStartPort(0);
}

int CMonitorApp::ExitInstance()
{
    m_mainFrame.reset();
    m_demo.reset();
    return 0;
}

void CMonitorApp::BroadcastToDocuments(unsigned code, unsigned wParam, const CData* object)
{
    if (m_mainFrame && m_mainFrame->Document())
        m_mainFrame->Document()->Feed().RelayNotification(code, wParam, object);
}

void CMonitorApp::OnAppAbout()
{
    CAboutDlg about(m_mainFrame.get());
    // The receivers' own versions, as the u-blox ones reported them (MON-VER).
    if (m_mainFrame && m_mainFrame->Document())
        about.SetText(CAboutDlg::kReceiverLine, CAboutDlg::ReceiverText(m_mainFrame->Document()->Feed()));
    about.DoModal();
}

void CMonitorApp::SaveScreenshots()
{
    const QDir dir(m_options.screenshotDir);
    QDir().mkpath(dir.absolutePath());
    auto save = [&dir](QWidget& widget, const QString& name) {
        widget.grab().save(dir.filePath(name + QStringLiteral(".png")));
    };
    if (m_mainFrame)
        save(*m_mainFrame, QStringLiteral("main-window"));
    auto shoot = [&](CTemplateDialog& dialog, const QString& name) {
        dialog.show();
        QApplication::processEvents();
        save(dialog, name);
        dialog.hide();
    };
    QWidget* owner = m_mainFrame.get();
    {
        CInputSettingsDlg d(owner);
        shoot(d, QStringLiteral("input-settings"));
    }
    {
        CReceiverInitDlg d(0, owner);
        shoot(d, QStringLiteral("receiver-init-1"));
    }
    {
        CReceiverInitDlg d(1, owner);
        shoot(d, QStringLiteral("receiver-init-2"));
    }
    {
        CLogFileSettingsDlg d(0, owner);
        shoot(d, QStringLiteral("log-file-settings"));
    }
    {
        CFileExistsDlg d(owner);
        shoot(d, QStringLiteral("file-exists"));
    }
    {
        CPreferencesDlg d(owner);
        shoot(d, QStringLiteral("preferences"));
    }
    {
        CSkyChartConfigDlg d(owner);
        d.SetValues(4.0, 0);
        shoot(d, QStringLiteral("sky-chart-config"));
    }
    {
        CTrackMapPrefsDlg d(owner);
        d.SetValues(100, 24.7753, 121.00248);
        shoot(d, QStringLiteral("track-map-prefs"));
    }
    {
        CAboutDlg d(owner);
        shoot(d, QStringLiteral("about"));
    }
    std::fprintf(stderr, "vrnrcvr: screenshots saved in %s\n", qPrintable(dir.absolutePath()));
    // With --exit-after the run goes on, and the views are saved when it ends.
    if (m_mainFrame && !m_options.exitAfterSeconds)
        m_mainFrame->ExecuteCommand(res::kIdAppExit);
}

void CMonitorApp::SaveViewScreenshots()
{
    const QDir dir(m_options.screenshotDir);
    QDir().mkpath(dir.absolutePath());
    if (!m_mainFrame)
        return;
    m_mainFrame->grab().save(dir.filePath(QStringLiteral("demo-main-window.png")));
    const std::array<const char*, kViewKindCount> names{"demo-radar-view",   "demo-signal-view-1",
                                                         "demo-signal-view-2", "demo-debug-view",
                                                         "demo-measure-view", "demo-statistics-view"};
    for (int kind = 0; kind < kViewKindCount; ++kind)
        if (CViewFrame* frame = m_mainFrame->ChildFrame(kind))
            if (QWidget* view = frame->widget())
                view->grab().save(dir.filePath(QLatin1String(names[static_cast<std::size_t>(kind)]) +
                                               QStringLiteral(".png")));
    std::fprintf(stderr, "vrnrcvr: view screenshots saved in %s\n", qPrintable(dir.absolutePath()));
}
}  // namespace vrn::gui
