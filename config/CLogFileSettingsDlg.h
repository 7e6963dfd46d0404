// The Log File Settings dialog (template 131): log file name and logged messages of one port.
// Creates (or empties, or keeps) the file and saves "Logging 1"/"Logging 2" on OK.
#pragma once

#include <array>
#include <string>

#include "app/CTemplateDialog.h"
#include "config/CAppSettings.h"

namespace vrn::gui
{
class CLogFileSettingsDlg : public CTemplateDialog
{
    Q_OBJECT
public:
    // `port` 0 or 1.
    CLogFileSettingsDlg(int port, QWidget* parent);

protected:
    void OnInitDialog() override;
    void OnOK() override;
    void OnCommand(int id) override;

private:
    void FillControls();
    void ReadControls();

    int m_port;
    QString m_fileName;
    std::array<int, CAppSettings::kLogMessageCount> m_flags{};  // NAV, DOP, SV, MEAS, GGA .. VTG
    CAppSettings m_settings;
};
}  // namespace vrn::gui
