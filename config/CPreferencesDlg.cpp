// Preferences dialog. Every range is checked before anything is written.
#include "config/CPreferencesDlg.h"

#include "app/CMonitorApp.h"
#include "app/GuiServices.h"
#include "link/Notifications.h"

namespace vrn::gui
{
namespace
{
constexpr int kGraphBar = 1001;  // radio group 1001, 1002
constexpr int kNorthUp = 1004;   // radio group 1004, 1005
constexpr int kScaleEdit = 1006;
constexpr int kCentered = 1007;
constexpr int kTimerEdit = 1008;
constexpr int kExternalTimer = 1009;
}  // namespace

void CPreferencesDlg::OnInitDialog()
{
    m_settings.LoadSignalView();
    m_settings.LoadRadarView();
    m_settings.LoadMapView();
    m_settings.LoadTimerDelay();
    m_settings.LoadExternalTimer();
    SetRadioIndex(kGraphBar, m_settings.GraphType);
    SetRadioIndex(kNorthUp, m_settings.Orientation1);
    SetInt(kScaleEdit, m_settings.Scale1);
    SetChecked(kCentered, m_settings.CenterFixed1 != 0);
    SetInt(kTimerEdit, m_settings.TimerDelay);
    SetChecked(kExternalTimer, m_settings.ExternalTimer != 0);
}

void CPreferencesDlg::OnOK()
{
    int scale = 0;
    int timer = 0;
    if (!ReadInt(kScaleEdit, scale) || !CheckRange(kScaleEdit, scale, 1, 10000) || !ReadInt(kTimerEdit, timer) ||
        !CheckRange(kTimerEdit, timer, 200, 30000))
        return;
    m_settings.GraphType = RadioIndex(kGraphBar);
    m_settings.Orientation1 = RadioIndex(kNorthUp);
    m_settings.Scale1 = scale;
    m_settings.CenterFixed1 = IsChecked(kCentered) ? 1 : 0;
    m_settings.TimerDelay = timer;
    m_settings.ExternalTimer = IsChecked(kExternalTimer) ? 1 : 0;
    const bool saved = m_settings.SaveSignalView() && m_settings.SaveRadarView() && m_settings.SaveMapView() &&
                       m_settings.SaveTimerDelay() && m_settings.SaveExternalTimer();
    if (!saved)
        ShowMessage(this, QStringLiteral("The settings could not be written to %1.")
                              .arg(QString::fromStdString(CAppSettings::ProfilePath())));
    if (CMonitorApp* app = CMonitorApp::Instance())
    {
        // Hint 4 reloads every view's preferences; hint 5 the second signal view's graph type.
        app->BroadcastToDocuments(kMsgSettingsChanged);
        app->BroadcastToDocuments(kMsgSettingsChanged2);
    }
    EndDialog(kIdOk);
}
}  // namespace vrn::gui
