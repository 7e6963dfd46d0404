// The Receiver Initialization dialog (template 122): protocol, start mode, NMEA output, approximate
// position, time and leap seconds of one receiver, and for a u-blox receiver its generation and the
// output its commands switch; reads and writes "ReceiverInit1"/"ReceiverInit2". With the port
// running in a UBX mode its two UBX buttons send the start and the output commands at once.
#pragma once

#include <array>
#include <cstdint>

#include "app/CTemplateDialog.h"

namespace vrn::gui
{
class CReceiverInitDlg : public CTemplateDialog
{
    Q_OBJECT
public:
    // `receiver` 0 = receiver 1, 1 = receiver 2.
    CReceiverInitDlg(int receiver, QWidget* parent);

    // Profile value in 0.1 degree from a latitude or longitude in degrees: truncated toward zero in
    // 32-bit float arithmetic (so every stored value survives a round trip), kept as 16 bits.
    static std::int16_t TenthsFromDegrees(float degrees);
    static float DegreesFromTenths(std::int16_t tenths);

protected:
    void OnInitDialog() override;
    void OnOK() override;
    void OnCommand(int id) override;

private:
    void FillControls();
    // False after the framework's message when an edit holds no valid number.
    bool ReadControls();
    void ApplyTimeRule();
    void ApplyProtocolRule();
    // Queues the start (the Start Mode radio) or the output commands for the running port.
    void SendUbx(bool start);

    int m_receiver;
    float m_latitude = 0.0F;   // degrees
    float m_longitude = 0.0F;  // degrees
    int m_altitude = 0;        // m
    int m_usePcTime = 0;
    int m_leapSeconds = 0;
    int m_startMode = 0;
    std::array<int, 7> m_enables{};  // GGA, GLL, GSA, GSV, RMC, VTG, checksums
    std::int32_t m_clockOffset = 0;
    std::int32_t m_timeOfWeek = 0;   // s
    std::uint32_t m_weekNumber = 0;
    std::uint32_t m_channels = 12;
    int m_measurementData = 0;
    int m_debugData = 0;
    int m_protocol = -1;
    int m_ubxGeneration = 0;         // 0 detect, 1 M8 and older, 2 F9 and later
    std::array<int, 4> m_ubxOutputs{};  // RXM-RAWX, RXM-SFRBX, NAV-PVT, NAV-SAT
};
}  // namespace vrn::gui
