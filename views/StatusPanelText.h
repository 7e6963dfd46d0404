// The texts of the radar view's status panel, by control id: what each update writes into the
// panel's fields for receiver 1 or 2. Free of Qt, so the formats can be checked on their own.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/CData.h"
#include "protocol/Records.h"

// One field of a dialog bar and the text written to it.
struct FieldText
{
    int id = 0;
    std::string text;
    bool operator==(const FieldText&) const = default;
};
using FieldTexts = std::vector<FieldText>;

// Control ids of one receiver's fields and buttons on the status panel (template 112).
struct StatusPanelIds
{
    int date, utcTime, localTime, clearButton, groupBox;
    int latitudeHemisphere, latitude, longitudeHemisphere, longitude;
    int speed, course, altitude, rateOfClimb, visibleSatellites, fixSatellites;
    int gdop, pdop, hdop, vdop, tdop, mode;
    int week, timeOfWeek, fixCount, resetButton;
};
// receiver 0 or 1
const StatusPanelIds& StatusIds(int receiver);

// Fixes counted since the last reset, held as units (0..999) and thousands.
struct FixCount
{
    unsigned units = 0;
    unsigned thousands = 0;
    void Count();
    void Reset() { units = thousands = 0; }
    // "%u", or the thousands followed by the units in three digits ("1005").
    [[nodiscard]] std::string Text() const;
};

// Position and velocity of a navigation record as the radar view shows them.
struct NavDisplay
{
    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
    double heightM = 0.0;
    double courseRad = 0.0;  // clockwise from north
    double courseDeg = 0.0;  // 0..360
    double speedMps = 0.0;   // horizontal
    double metresPerDegreeLongitude = 0.0;
};

// Position, course and speed of a navigation record (earth-centred metres and 0.1 m/s).
NavDisplay ComputeNavDisplay(const NavRecord& nav);

// The NMEA sentence records a view reads from a receiver's record set, with the satellite table and
// the fix that the same sentences filled (every talker).
struct NmeaRecords
{
    GgaRecord gga{};
    GsaRecord gsa{};
    std::array<GsvRecord, 3> gsv{};
    RmcRecord rmc{};
    VtgRecord vtg{};
    SatelliteTable satellites{};
    ReceiverFix fix{};
};
inline NmeaRecords NmeaRecordsOf(const CData& set)
{
    return {set.gga, set.gsa, set.gsv, set.rmc, set.vtg, set.satellites, set.fix};
}

// True when an NMEA receiver is shown as the classic program showed it: only $GP sentences so far
// (the fix came from a GP sentence or from none) and a classic satellite table (IsClassicTable).
bool IsClassicNmea(const NmeaRecords& nmea);

// Fields of a navigation message (id 2). With a `table` that the classic records cannot show
// (IsClassicTable), the satellite counts come from the table instead of the info byte.
FieldTexts NavigationFieldTexts(int receiver, const NavDisplay& nav, std::uint8_t infoByte,
                                const SatelliteTable* table = nullptr);
// "Vis SVs" and "Fix SVs" of a multi-constellation receiver: every satellite in the table, and those
// used in the fix (the GSA lists; the fix's own count when no satellite is flagged, since GGA often
// stops at twelve).
std::string VisibleSatellitesText(const SatelliteTable& table);
std::string FixSatellitesText(const SatelliteTable& table, const ReceiverFix& fix);
// Fields of a DOP message (ids 3, 4).
FieldTexts DopFieldTexts(int receiver, const DopRecord& dop);
// The mode text of a DOP record's mode byte (bit 7 ignored).
std::string ModeText(std::uint8_t mode);
// Time fields of a satellite-data message (ids 5, 6) and the fix count.
FieldTexts SatelliteTimeFieldTexts(int receiver, const SvRecord& sv, int leapSeconds, const FixCount& fixes);

// Fields of an NMEA update, with the signed position for the sky chart and the track map and the
// course and speed of the velocity arrow.
struct NmeaPanel
{
    FieldTexts texts;
    double latitudeDeg = 0.0;   // negative in the south
    double longitudeDeg = 0.0;  // negative in the west
    double courseRad = 0.0;     // VTG's true course
    double speedMps = 0.0;      // VTG's speed over ground
};
// `localHour` is the hour of the PC's local time, shown in place of the sentence's hour. The times are
// GGA's UTC time as received (folded into one day), without any leap-second correction.
// A classic receiver (IsClassicNmea) shows the sentences' slots as they are. For any other, the
// satellite counts cover every constellation, and a slot its sentences left empty (a receiver
// without VTG, GGA or GSA) is filled from the fix: position, altitude, speed (km/h), course, DOPs,
// fix mode and date.
NmeaPanel NmeaFieldTexts(int receiver, const NmeaRecords& nmea, const FixCount& fixes, int localHour);
// Degrees from an NMEA coordinate held as whole degrees with the minutes / 100 as fraction.
double NmeaDegrees(double value);

// Caption of a receiver's group box: " < port >".
std::string PortCaption(const std::string& portName);
