// Reference Position dialog.
#include "config/CReferencePositionDlg.h"

namespace vrn::gui
{
namespace
{
constexpr int kLatitudeEdit = 1211;
constexpr int kLongitudeEdit = 1212;
constexpr int kHeightEdit = 1213;
}  // namespace

void CReferencePositionDlg::SetPosition(double latitudeDeg, double longitudeDeg, double heightM)
{
    m_latitude = latitudeDeg;
    m_longitude = longitudeDeg;
    m_height = heightM;
}

void CReferencePositionDlg::OnInitDialog()
{
    // Nine decimals of a degree are a tenth of a millimetre.
    SetReal(kLatitudeEdit, m_latitude, 12);
    SetReal(kLongitudeEdit, m_longitude, 12);
    SetReal(kHeightEdit, m_height, 9);
}

void CReferencePositionDlg::OnOK()
{
    double latitude = 0.0, longitude = 0.0, height = 0.0;
    if (!ReadDouble(kLatitudeEdit, latitude) || !CheckRange(kLatitudeEdit, latitude, -90.0, 90.0))
        return;
    if (!ReadDouble(kLongitudeEdit, longitude) || !CheckRange(kLongitudeEdit, longitude, -180.0, 180.0))
        return;
    if (!ReadDouble(kHeightEdit, height) || !CheckRange(kHeightEdit, height, -10000.0, 100000.0))
        return;
    m_latitude = latitude;
    m_longitude = longitude;
    m_height = height;
    EndDialog(kIdOk);
}
}  // namespace vrn::gui
