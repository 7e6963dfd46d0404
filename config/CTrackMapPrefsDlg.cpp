// Track Map Preferences dialog.
#include "config/CTrackMapPrefsDlg.h"

#include <charconv>
#include <cmath>
#include <string>

namespace vrn::gui
{
namespace
{
constexpr int kScaleEdit = 1103;
constexpr int kCenterAverage = 1114;  // radio group 1114, 1115
constexpr int kLatitudeEdit = 1104;
constexpr int kLongitudeEdit = 1105;
}  // namespace

void CTrackMapPrefsDlg::SetValues(int scale, double latitude, double longitude)
{
    m_scale = scale;
    m_centerMode = 1;
    m_latitudeText = QString::asprintf("%9.5f", latitude);
    m_longitudeText = QString::asprintf("%9.5f", longitude);
}

double CTrackMapPrefsDlg::ParseCoordinate(const QString& text)
{
    const std::string bytes = text.toStdString();
    std::size_t start = bytes.find_first_not_of(" \t\n\r\f\v");
    if (start == std::string::npos)
        return 0.0;
    if (bytes[start] == '+')
        ++start;
    double value = 0.0;
    const auto result = std::from_chars(bytes.data() + start, bytes.data() + bytes.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value))
        return 0.0;
    return value;
}

void CTrackMapPrefsDlg::OnInitDialog()
{
    SetInt(kScaleEdit, m_scale);
    SetRadioIndex(kCenterAverage, m_centerMode);
    SetText(kLatitudeEdit, m_latitudeText);
    SetText(kLongitudeEdit, m_longitudeText);
}

void CTrackMapPrefsDlg::OnOK()
{
    int scale = 0;
    if (!ReadInt(kScaleEdit, scale))
        return;
    m_scale = scale;
    m_centerMode = RadioIndex(kCenterAverage);
    m_latitudeText = Text(kLatitudeEdit);
    m_longitudeText = Text(kLongitudeEdit);
    EndDialog(kIdOk);
}
}  // namespace vrn::gui
