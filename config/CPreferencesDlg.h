// The Preferences dialog (template 109): signal graph type, tracking orientation, map scale and the
// timer settings. "Save" writes them and makes the views reload their preferences.
#pragma once

#include "app/CTemplateDialog.h"
#include "config/CAppSettings.h"

namespace vrn::gui
{
class CPreferencesDlg : public CTemplateDialog
{
    Q_OBJECT
public:
    explicit CPreferencesDlg(QWidget* parent) : CTemplateDialog(res::kIddPreferences, parent) {}

    [[nodiscard]] const CAppSettings& Settings() const { return m_settings; }

protected:
    void OnInitDialog() override;
    void OnOK() override;

private:
    CAppSettings m_settings;
};
}  // namespace vrn::gui
