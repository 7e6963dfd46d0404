// TTFF Campaign dialog.
#include "config/CTtffCampaignDlg.h"

#include <algorithm>

namespace vrn::gui
{
namespace
{
constexpr int kReceiver1 = 1201;  // radio group 1201, 1202
constexpr int kReceiver2 = 1202;
constexpr int kHotStart = 1203;  // radio group 1203 .. 1206
constexpr int kStartsEdit = 1207;
constexpr int kWaitEdit = 1208;
}  // namespace

void CTtffCampaignDlg::SetPortRunning(int port, bool running)
{
    m_running[port == 0 ? 0 : 1] = running;
}

void CTtffCampaignDlg::OnInitDialog()
{
    Enable(kReceiver1, m_running[0]);
    Enable(kReceiver2, m_running[1]);
    int port = m_settings.port == 0 ? 0 : 1;
    if (!m_running[static_cast<std::size_t>(port)] && m_running[static_cast<std::size_t>(1 - port)])
        port = 1 - port;
    SetRadioIndex(kReceiver1, port);
    SetRadioIndex(kHotStart, std::clamp(m_settings.startMode, 1, 4) - 1);
    SetInt(kStartsEdit, m_settings.runs);
    SetInt(kWaitEdit, static_cast<long long>(m_settings.waitS));
}

void CTtffCampaignDlg::OnOK()
{
    int runs = 0, wait = 0;
    if (!ReadInt(kStartsEdit, runs) || !CheckRange(kStartsEdit, runs, 1, kMaxRuns))
        return;
    if (!ReadInt(kWaitEdit, wait) || !CheckRange(kWaitEdit, wait, 0, kMaxWaitS))
        return;
    const int port = RadioIndex(kReceiver1) == 1 ? 1 : 0;
    if (!m_running[static_cast<std::size_t>(port)])
    {
        GotoControl(port == 0 ? kReceiver1 : kReceiver2);
        return;
    }
    m_settings.port = port;
    m_settings.startMode = std::max(0, RadioIndex(kHotStart)) + 1;
    m_settings.runs = runs;
    m_settings.waitS = wait;
    EndDialog(kIdOk);
}
}  // namespace vrn::gui
