// Sky Chart Configuration dialog.
#include "config/CSkyChartConfigDlg.h"

namespace vrn::gui
{
namespace
{
constexpr int kVelocityEdit = 1067;
constexpr int kFixed = 1004;  // radio group 1004, 1005
constexpr int kRealDigits = 15;
}  // namespace

void CSkyChartConfigDlg::SetValues(double velocity, int direction)
{
    m_velocity = velocity;
    m_direction = direction;
}

void CSkyChartConfigDlg::OnInitDialog()
{
    SetReal(kVelocityEdit, m_velocity, kRealDigits);
    SetRadioIndex(kFixed, m_direction);
}

void CSkyChartConfigDlg::OnOK()
{
    double velocity = 0.0;
    if (!ReadDouble(kVelocityEdit, velocity) || !CheckRange(kVelocityEdit, velocity, 0.01, 2000.0))
        return;
    m_velocity = velocity;
    m_direction = RadioIndex(kFixed);
    EndDialog(kIdOk);
}
}  // namespace vrn::gui
