// The Sky Chart Configuration dialog (template 121): the velocity of the outer circle and the
// orientation of the sky chart. The opener sets the values before showing it and saves the result.
#pragma once

#include "app/CTemplateDialog.h"

namespace vrn::gui
{
class CSkyChartConfigDlg : public CTemplateDialog
{
    Q_OBJECT
public:
    explicit CSkyChartConfigDlg(QWidget* parent) : CTemplateDialog(res::kIddSkyChartConfig, parent) {}

    // Outer-circle velocity in m/s; direction 0 fixed (north up), 1 mobile.
    void SetValues(double velocity, int direction);
    [[nodiscard]] double Velocity() const { return m_velocity; }
    [[nodiscard]] int Direction() const { return m_direction; }

protected:
    void OnInitDialog() override;
    void OnOK() override;

private:
    double m_velocity = 4.0;
    int m_direction = -1;
};
}  // namespace vrn::gui
