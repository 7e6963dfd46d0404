// Receiver Initialization dialog.
#include "config/CReceiverInitDlg.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/GuiServices.h"
#include "config/CAppSettings.h"
#include "link/ChunkParser.h"

namespace vrn::gui
{
namespace
{
constexpr int kProtocolNmea = 1125;  // radio group 1125 .. 1129
constexpr int kProtocolTest = 1127;
constexpr int kProtocolUbxTest = 1129;
constexpr int kProtocolLast = 1129;
constexpr int kUbxGroup = 1160;
constexpr int kUbxGeneration = 1161;
constexpr std::array<int, 4> kUbxOutputIds{1162, 1163, 1164, 1165};  // RAWX, SFRBX, NAV-PVT, NAV-SAT
constexpr int kUbxSendStart = 1166;
constexpr int kUbxSendOutput = 1167;
constexpr int kUbxHint = 1168;
const std::array<QString, 3> kGenerationTexts{QStringLiteral("Detect (MON-VER)"), QStringLiteral("M8 and older"),
                                              QStringLiteral("F9 and later")};
constexpr int kHotStart = 1089;  // radio group 1089..1092
constexpr int kNmeaGroup = 1152;
constexpr int kLatitude = 1038;
constexpr int kLongitude = 1044;
constexpr int kAltitude = 1046;
constexpr int kUsePcTime = 1071;
constexpr int kWeekEdit = 1072;
constexpr int kTowEdit = 1073;
constexpr int kLeapEdit = 1081;
constexpr int kMeasurementData = 1095;
constexpr int kDebugData = 1096;
constexpr int kClockOffset = 1049;
constexpr int kChannels = 1079;
// Check boxes of the enables, in the order GGA, GLL, GSA, GSV, RMC, VTG, checksums.
constexpr std::array<int, 7> kEnableIds{1132, 1133, 1134, 1135, 1137, 1136, 1131};
constexpr std::array<int, 5> kTimeControls{1078, 1072, 1077, 1073, 1076};
}  // namespace

CReceiverInitDlg::CReceiverInitDlg(int receiver, QWidget* parent)
    : CTemplateDialog(res::kIddReceiverInit, parent), m_receiver(receiver == 0 ? 0 : 1)
{
}

std::int16_t CReceiverInitDlg::TenthsFromDegrees(float degrees)
{
    const float tenths = std::trunc(static_cast<float>(degrees * 10.0F));
    if (!std::isfinite(tenths))
        return 0;
    // Beyond the 32-bit range the conversion would be undefined; such values keep their low bits
    // of the clamped integer, as any other out-of-range value does.
    const float limit = 2147483520.0F;  // largest float below 2^31
    const auto whole = static_cast<std::int32_t>(std::clamp(tenths, -limit, limit));
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(whole) & 0xFFFFU));
}

float CReceiverInitDlg::DegreesFromTenths(std::int16_t tenths) { return static_cast<float>(tenths) * 0.1F; }

void CReceiverInitDlg::OnInitDialog()
{
    FillControls();
    setWindowTitle(m_receiver == 0 ? QStringLiteral("Receiver 1 Initialization")
                                   : QStringLiteral("Receiver 2 Initialization"));
    Enable(kProtocolTest, m_receiver == 0);
    Enable(kProtocolUbxTest, m_receiver == 0);

    CAppSettings settings;
    settings.LoadReceiverInit(m_receiver);
    m_latitude = DegreesFromTenths(settings.X);
    m_longitude = DegreesFromTenths(settings.Y);
    m_altitude = settings.Z;
    m_usePcTime = settings.UseDOSTime;
    m_weekNumber = static_cast<std::uint32_t>(settings.WeekNo);
    m_timeOfWeek = settings.TOW;
    m_protocol = settings.Protocol;
    m_startMode = settings.ResetMode;
    m_leapSeconds = settings.LeapSec;
    m_clockOffset = settings.Clock;
    const std::array<int, 7> stored{settings.EnableGGA, settings.EnableGLL, settings.EnableGSA, settings.EnableGSV,
                                    settings.EnableRMC, settings.EnableVTG, settings.EnableNMEAChkSum};
    for (std::size_t i = 0; i < stored.size(); ++i)
        m_enables[i] = stored[i] != 0 ? 1 : 0;
    m_ubxGeneration = std::clamp(settings.UbxGeneration, 0, 2);
    const std::array<int, 4> outputs{settings.UbxRawx, settings.UbxSfrbx, settings.UbxNavPvt, settings.UbxNavSat};
    for (std::size_t i = 0; i < outputs.size(); ++i)
        m_ubxOutputs[i] = outputs[i] != 0 ? 1 : 0;

    FillControls();
    ApplyTimeRule();
    ApplyProtocolRule();
}

void CReceiverInitDlg::FillControls()
{
    SetRadioIndex(kProtocolNmea, m_protocol);
    SetRadioIndex(kHotStart, m_startMode);
    for (std::size_t i = 0; i < kEnableIds.size(); ++i)
        SetChecked(kEnableIds[i], m_enables[i] != 0);
    SetReal(kLatitude, m_latitude);
    SetReal(kLongitude, m_longitude);
    SetInt(kAltitude, m_altitude);
    SetChecked(kUsePcTime, m_usePcTime != 0);
    SetInt(kWeekEdit, m_weekNumber);
    SetInt(kTowEdit, m_timeOfWeek);
    SetInt(kLeapEdit, m_leapSeconds);
    SetChecked(kMeasurementData, m_measurementData != 0);
    SetChecked(kDebugData, m_debugData != 0);
    SetInt(kClockOffset, m_clockOffset);
    SetInt(kChannels, m_channels);
    SelectListPrefix(kUbxGeneration, kGenerationTexts[static_cast<std::size_t>(std::clamp(m_ubxGeneration, 0, 2))]);
    for (std::size_t i = 0; i < kUbxOutputIds.size(); ++i)
        SetChecked(kUbxOutputIds[i], m_ubxOutputs[i] != 0);
}

bool CReceiverInitDlg::ReadControls()
{
    m_protocol = RadioIndex(kProtocolNmea);
    m_startMode = RadioIndex(kHotStart);
    for (std::size_t i = 0; i < kEnableIds.size(); ++i)
        m_enables[i] = IsChecked(kEnableIds[i]) ? 1 : 0;
    m_usePcTime = IsChecked(kUsePcTime) ? 1 : 0;
    const auto generation = std::find(kGenerationTexts.begin(), kGenerationTexts.end(), ListText(kUbxGeneration));
    m_ubxGeneration = generation != kGenerationTexts.end() ? static_cast<int>(generation - kGenerationTexts.begin()) : 0;
    for (std::size_t i = 0; i < kUbxOutputIds.size(); ++i)
        m_ubxOutputs[i] = IsChecked(kUbxOutputIds[i]) ? 1 : 0;
    m_measurementData = IsChecked(kMeasurementData) ? 1 : 0;
    m_debugData = IsChecked(kDebugData) ? 1 : 0;
    int timeOfWeek = 0;
    int clockOffset = 0;
    if (!ReadFloat(kLatitude, m_latitude) || !ReadFloat(kLongitude, m_longitude) ||
        !ReadInt(kAltitude, m_altitude) || !ReadUnsigned(kWeekEdit, m_weekNumber) ||
        !ReadInt(kTowEdit, timeOfWeek) || !ReadInt(kLeapEdit, m_leapSeconds) ||
        !ReadInt(kClockOffset, clockOffset) || !ReadUnsigned(kChannels, m_channels))
        return false;
    m_timeOfWeek = timeOfWeek;
    m_clockOffset = clockOffset;
    return CheckRange(kChannels, static_cast<int>(std::min<std::uint32_t>(m_channels, 1000)), 1, 12);
}

void CReceiverInitDlg::ApplyTimeRule()
{
    const bool manual = !IsChecked(kUsePcTime);
    for (int id : kTimeControls)
        Enable(id, manual);
}

void CReceiverInitDlg::ApplyProtocolRule()
{
    const int protocol = RadioIndex(kProtocolNmea);
    const bool nmea = protocol == 0;
    Enable(kNmeaGroup, nmea);
    for (int id = 1131; id <= 1137; ++id)
        Enable(id, nmea);
    // The UBX group goes with the UBX protocols; its buttons need the port running in one of them.
    const bool ubx = vrn::IsUbxMode(protocol);
    for (int id : {kUbxGroup, kUbxGeneration, kUbxHint})
        Enable(id, ubx);
    for (int id : kUbxOutputIds)
        Enable(id, ubx);
    const UbxCommandLink& link = GetUbxCommandLink();
    const bool running = ubx && link.running && link.running(m_receiver);
    Enable(kUbxSendStart, running);
    Enable(kUbxSendOutput, running);
}

void CReceiverInitDlg::SendUbx(bool start)
{
    const UbxCommandLink& link = GetUbxCommandLink();
    vrn::UbxRequest request;
    if (start)
    {
        request.kind = vrn::UbxRequest::Kind::Start;
        const int mode = RadioIndex(kHotStart);
        request.start = mode == 0 ? vrn::UbxStart::Hot : mode == 1 ? vrn::UbxStart::Warm : vrn::UbxStart::Cold;
    }
    else
    {
        request.kind = vrn::UbxRequest::Kind::Outputs;
        for (std::size_t i = 0; i < kUbxOutputIds.size(); ++i)
            request.outputs[i] = IsChecked(kUbxOutputIds[i]);
    }
    // The generation chosen here counts for this command, saved or not.
    const auto generation = std::find(kGenerationTexts.begin(), kGenerationTexts.end(), ListText(kUbxGeneration));
    request.generationSetting =
        generation != kGenerationTexts.end() ? static_cast<int>(generation - kGenerationTexts.begin()) : 0;
    if (!link.send || !link.send(m_receiver, request))
        ShowMessage(this, QStringLiteral("Receiver %1 does not run in a UBX mode.").arg(m_receiver + 1));
}

void CReceiverInitDlg::OnCommand(int id)
{
    if (id == kUsePcTime)
        ApplyTimeRule();
    else if (id == kUbxSendStart || id == kUbxSendOutput)
        SendUbx(id == kUbxSendStart);
    else if (id >= kProtocolNmea && id <= kProtocolLast)
    {
        m_protocol = RadioIndex(kProtocolNmea);
        ApplyProtocolRule();
    }
    else if (id == kMeasurementData || id == kDebugData)
    {
        m_measurementData = IsChecked(kMeasurementData) ? 1 : 0;
        m_debugData = IsChecked(kDebugData) ? 1 : 0;
    }
}

void CReceiverInitDlg::OnOK()
{
    if (!ReadControls())
        return;
    if (m_leapSeconds >= 60 || m_leapSeconds < -59)
    {
        ShowMessage(this, QStringLiteral("Range of [Leap Seconds] shall be -59 ~ 59."));
        return;
    }
    CAppSettings settings;
    settings.X = TenthsFromDegrees(m_latitude);
    settings.Y = TenthsFromDegrees(m_longitude);
    settings.Z = static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(m_altitude) & 0xFFFFU));
    settings.UseDOSTime = m_usePcTime;
    settings.WeekNo = static_cast<int>(m_weekNumber);
    settings.TOW = m_timeOfWeek;
    settings.Protocol = m_protocol;
    settings.ResetMode = m_startMode;
    settings.LeapSec = m_leapSeconds;
    settings.EnableGGA = m_enables[0];
    settings.EnableGLL = m_enables[1];
    settings.EnableGSA = m_enables[2];
    settings.EnableGSV = m_enables[3];
    settings.EnableRMC = m_enables[4];
    settings.EnableVTG = m_enables[5];
    settings.EnableNMEAChkSum = m_enables[6];
    // The hidden clock offset and channel count are what the profile's Clock and Channels keep.
    settings.Clock = m_clockOffset;
    settings.Channels = static_cast<int>(m_channels);
    settings.UbxGeneration = m_ubxGeneration;
    settings.UbxRawx = m_ubxOutputs[0];
    settings.UbxSfrbx = m_ubxOutputs[1];
    settings.UbxNavPvt = m_ubxOutputs[2];
    settings.UbxNavSat = m_ubxOutputs[3];
    if (!settings.SaveReceiverInit(m_receiver))
        ShowMessage(this, QStringLiteral("The settings could not be written to %1.")
                              .arg(QString::fromStdString(CAppSettings::ProfilePath())));
    EndDialog(kIdOk);
}
}  // namespace vrn::gui
