// The TTFF Campaign dialog (template 140): which receiver to restart, how (hot, warm, cold or test
// start), how many times, and the wait between starts. The opener sets the values before showing it
// and reads them after OK.
#pragma once

#include "app/CTemplateDialog.h"
#include "analysis/TimeToFirstFix.h"

namespace vrn::gui
{
class CTtffCampaignDlg : public CTemplateDialog
{
    Q_OBJECT
public:
    explicit CTtffCampaignDlg(QWidget* parent) : CTemplateDialog(res::kIddTtffCampaign, parent) {}

    // Port 0 or 1; start mode as the command's byte (1 hot .. 4 test); runs 1..100; wait 0..3600 s.
    void SetSettings(const vrn::analysis::CampaignSettings& settings) { m_settings = settings; }
    [[nodiscard]] const vrn::analysis::CampaignSettings& Settings() const { return m_settings; }
    // Refuses ports that are not running: the radio of a stopped port is disabled.
    void SetPortRunning(int port, bool running);

    static constexpr int kMaxRuns = 100;
    static constexpr int kMaxWaitS = 3600;

protected:
    void OnInitDialog() override;
    void OnOK() override;

private:
    vrn::analysis::CampaignSettings m_settings;
    std::array<bool, 2> m_running{true, true};
};
}  // namespace vrn::gui
