// Status panel field texts.
#include "views/StatusPanelText.h"

#include <cmath>
#include <ctime>

#include "nav/Coordinates.h"
#include "views/SatelliteDisplay.h"
#include "views/TextFormat.h"

namespace
{
constexpr std::array<StatusPanelIds, 2> kIds{{
    {1039, 1041, 1040, 1027, 1221, 1056, 1029, 1057, 1030, 1032, 1033, 1031, 1038,
     1094, 1095, 1034, 1028, 1024, 1036, 1037, 1025, 1116, 1117, 1118, 1119},
    {1053, 1055, 1054, 1042, 1222, 1058, 1043, 1059, 1044, 1047, 1046, 1045, 1052,
     1096, 1097, 1048, 1035, 1049, 1050, 1051, 1026, 1120, 1121, 1122, 1123},
}};

constexpr double kRadiansToDegrees = 57.29577951308232;
constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kKmhToMps = 1.0 / 3.6;
constexpr int kSecondsPerDay = 86400;
const std::string kDegreeSign = "\u00B0";
const std::string kBlank = " ";

std::string FormatTime(const std::tm& tm, const char* format)
{
    std::array<char, 64> buffer{};
    const std::size_t n = std::strftime(buffer.data(), buffer.size(), format, &tm);
    return {buffer.data(), n};
}

std::string TwoDigits(int v)
{
    return text::Int(v, 2, false, true);
}

// "hh:mm:ss" of a time of day in seconds, folded into one day.
std::string TimeSpanText(long long seconds)
{
    const long long t = ((seconds % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
    return TwoDigits(static_cast<int>(t / 3600)) + ":" + TwoDigits(static_cast<int>(t / 60 % 60)) + ":" +
           TwoDigits(static_cast<int>(t % 60));
}

// A slot the sentence left empty (the collector may have filled it with blanks).
bool Blank(std::string_view slot)
{
    return slot.find_first_not_of(' ') == std::string_view::npos;
}

// A two-character pair read as a number the way the C conversion would: leading digits only.
int PairNumber(std::string_view pair)
{
    int v = 0;
    for (const char ch : pair)
    {
        if (ch < '0' || ch > '9')
            break;
        v = v * 10 + (ch - '0');
    }
    return v;
}
}  // namespace

const StatusPanelIds& StatusIds(int receiver)
{
    return kIds[receiver == 1 ? 1 : 0];
}

void FixCount::Count()
{
    if (units == 999)
    {
        units = 0;
        ++thousands;
    }
    else
        ++units;
}

std::string FixCount::Text() const
{
    if (thousands == 0)
        return text::Int(units);
    return text::Int(thousands) + text::Int(units, 3, false, true);
}

NavDisplay ComputeNavDisplay(const NavRecord& nav)
{
    NavDisplay d;
    const Triple geodetic = EcefToGeodeticIterative(nav.x, nav.y, nav.z);
    d.latitudeDeg = geodetic[0] * kRadiansToDegrees;
    d.longitudeDeg = geodetic[1] * kRadiansToDegrees;
    d.heightM = geodetic[2];
    const Matrix3 ned = NorthEastDownMatrix(geodetic[0], geodetic[1]);
    const Triple velocity{static_cast<double>(nav.vx), static_cast<double>(nav.vy),
                          static_cast<double>(nav.vz)};
    const double north = ApplyRow(ned, 0, velocity);  // 0.1 m/s
    const double east = ApplyRow(ned, 1, velocity);
    d.courseRad = std::atan2(east, north);
    d.courseDeg = d.courseRad * kRadiansToDegrees;
    if (d.courseDeg < 0)
        d.courseDeg += 360.0;
    d.speedMps = std::sqrt(north * north + east * east) * 0.1;
    d.metresPerDegreeLongitude = MetresPerDegreeLongitude(d.latitudeDeg);
    return d;
}

FieldTexts NavigationFieldTexts(int receiver, const NavDisplay& nav, std::uint8_t infoByte,
                                const SatelliteTable* table)
{
    const StatusPanelIds& ids = StatusIds(receiver);
    // The info byte has four bits per count: a multi-constellation receiver's table counts instead.
    if (table != nullptr && !IsClassicTable(*table))
    {
        ReceiverFix fix;
        fix.satsUsed = infoByte & 0x0F;
        FieldTexts texts = NavigationFieldTexts(receiver, nav, infoByte);
        for (FieldText& f : texts)
            if (f.id == ids.visibleSatellites)
                f.text = VisibleSatellitesText(*table);
            else if (f.id == ids.fixSatellites)
                f.text = FixSatellitesText(*table, fix);
        return texts;
    }
    return {
        {ids.latitudeHemisphere, nav.latitudeDeg >= 0 ? "N " : "S "},
        {ids.latitude, text::Fixed(std::fabs(nav.latitudeDeg), 5, 3)},
        {ids.longitudeHemisphere, nav.longitudeDeg >= 0 ? "E " : "W "},
        {ids.longitude, text::Fixed(std::fabs(nav.longitudeDeg), 5, 3)},
        {ids.altitude, text::Fixed(nav.heightM, 2, 4, true)},
        {ids.course, text::Fixed(nav.courseDeg, 0) + kDegreeSign},
        {ids.speed, text::Fixed(nav.speedMps, 3)},
        {ids.visibleSatellites, text::Int(infoByte >> 4)},
        {ids.fixSatellites, text::Int(infoByte & 0x0F)},
    };
}

std::string ModeText(std::uint8_t mode)
{
    switch (const int m = mode & 0x7F)
    {
        case 0:
            return "None";
        case 1:
            return "1D Nav";
        case 2:
            return "2D Nav";
        case 3:
            return "3D Nav";
        case 4:
            return "3D DGPS Nav ";
        default:
            return text::Int(m) + " SV";
    }
}

FieldTexts DopFieldTexts(int receiver, const DopRecord& dop)
{
    const StatusPanelIds& ids = StatusIds(receiver);
    const auto tenth = [](std::uint8_t v) { return text::Fixed(v * 0.1, 1, 3); };
    return {
        {ids.gdop, tenth(dop.gdop)}, {ids.pdop, tenth(dop.pdop)}, {ids.hdop, tenth(dop.hdop)},
        {ids.vdop, tenth(dop.vdop)}, {ids.tdop, tenth(dop.tdop)}, {ids.mode, ModeText(dop.mode)},
    };
}

FieldTexts SatelliteTimeFieldTexts(int receiver, const SvRecord& sv, int leapSeconds, const FixCount& fixes)
{
    const StatusPanelIds& ids = StatusIds(receiver);
    FieldTexts texts{
        {ids.week, text::Int(sv.week)},
        {ids.timeOfWeek, text::Fixed(sv.timeOfWeek * 0.01 - leapSeconds, 2)},
        {ids.fixCount, fixes.Text()},
    };
    const std::int64_t seconds = CalendarSecondsFromGps(sv.week, sv.timeOfWeek, leapSeconds);
    if (const auto utc = CalendarTimeUtc(seconds))
    {
        texts.push_back({ids.date, FormatTime(*utc, "%m/%d/%y")});
        texts.push_back({ids.utcTime, FormatTime(*utc, "%H:%M:%S")});
    }
    if (const auto local = CalendarTimeLocal(seconds))
        texts.push_back({ids.localTime, FormatTime(*local, "%H:%M:%S")});
    return texts;
}

double NmeaDegrees(double value)
{
    const double whole = std::trunc(value);
    return whole + (value - whole) * 1.6666666;
}

bool IsClassicNmea(const NmeaRecords& nmea)
{
    const auto& source = nmea.fix.source;
    const bool fromGp = source[0] == '\0' || (source[0] == 'G' && source[1] == 'P');
    return fromGp && IsClassicTable(nmea.satellites);
}

std::string VisibleSatellitesText(const SatelliteTable& table)
{
    return text::Int(static_cast<long long>(table.CountInView()));
}

std::string FixSatellitesText(const SatelliteTable& table, const ReceiverFix& fix)
{
    if (const std::size_t used = table.CountUsed(); used > 0)
        return text::Int(static_cast<long long>(used));
    if (fix.satsUsed >= 0)
        return text::Int(fix.satsUsed);
    return table.Size() > 0 ? "0" : kBlank;
}

NmeaPanel NmeaFieldTexts(int receiver, const NmeaRecords& nmea, const FixCount& fixes, int localHour)
{
    using text::SlotText;
    const StatusPanelIds& ids = StatusIds(receiver);
    const bool classic = IsClassicNmea(nmea);
    const ReceiverFix& fix = nmea.fix;
    // A slot as received; for a modern receiver that left it empty, the fix's value in `format`.
    const auto slotOrFix = [&](std::string_view slot, double value, auto format) -> std::string
    {
        if (!Blank(slot) || classic || !std::isfinite(value))
            return std::string(slot);
        return format(value);
    };
    NmeaPanel panel;
    FieldTexts& t = panel.texts;
    for (const int id : {ids.gdop, ids.tdop, ids.fixSatellites, ids.week, ids.timeOfWeek})
        t.push_back(
            {id, id == ids.fixSatellites && !classic ? FixSatellitesText(nmea.satellites, fix) : kBlank});

    double latitude = NmeaDegrees(static_cast<double>(nmea.gga.latitude));
    double longitude = NmeaDegrees(static_cast<double>(nmea.gga.longitude));
    std::string northSouth(SlotText(nmea.gga.fields[nmea::kGgaNorthSouth]));
    std::string eastWest(SlotText(nmea.gga.fields[nmea::kGgaEastWest]));
    // The fix keeps the position at full precision, also from GNS, RMC or GLL when there is no GGA.
    if (!classic && std::isfinite(fix.latitudeDeg) && std::isfinite(fix.longitudeDeg))
    {
        latitude = std::fabs(fix.latitudeDeg);
        longitude = std::fabs(fix.longitudeDeg);
        northSouth = fix.latitudeDeg < 0 ? "S" : "N";
        eastWest = fix.longitudeDeg < 0 ? "W" : "E";
    }
    t.push_back({ids.latitude, text::Fixed(latitude, 5, 3, true)});
    t.push_back({ids.latitudeHemisphere, northSouth});
    t.push_back({ids.longitude, text::Fixed(longitude, 5, 3)});
    t.push_back({ids.longitudeHemisphere, eastWest});
    t.push_back({ids.altitude, slotOrFix(SlotText(nmea.gga.fields[nmea::kGgaAltitude]), fix.altitudeMslM,
                                         [](double v) { return text::Fixed(v, 1); })});
    t.push_back({ids.visibleSatellites,
                 classic ? text::Int(nmea.gsv[0].satellitesInView) : VisibleSatellitesText(nmea.satellites)});
    const auto dop = [](double v) { return text::Fixed(v, 2); };
    t.push_back({ids.pdop, slotOrFix(SlotText(nmea.gsa.fields[nmea::kGsaPdop]), fix.pdop, dop)});
    t.push_back({ids.hdop, slotOrFix(SlotText(nmea.gsa.fields[nmea::kGsaHdop]), fix.hdop, dop)});
    t.push_back({ids.vdop, slotOrFix(SlotText(nmea.gsa.fields[nmea::kGsaVdop]), fix.vdop, dop)});
    t.push_back({ids.fixCount, fixes.Text()});
    const std::string speed = slotOrFix(SlotText(nmea.vtg.fields[nmea::kVtgSpeedKmh]), fix.speedMps * 3.6,
                                        [](double v) { return text::Fixed(v, 3); });
    const std::string course = slotOrFix(SlotText(nmea.vtg.fields[nmea::kVtgTrueCourse]), fix.courseDeg,
                                         [](double v) { return text::Fixed(v, 1); });
    t.push_back({ids.speed, speed});
    t.push_back({ids.course, course});
    // The sentence gives km/h; the outer ring stands for a velocity in m/s.
    panel.speedMps = text::LeadingNumber(speed) * kKmhToMps;
    panel.courseRad = text::LeadingNumber(course) * kDegreesToRadians;

    double fixMode = text::LeadingNumber(SlotText(nmea.gsa.fields[nmea::kGsaFixMode]));
    if (!classic && Blank(SlotText(nmea.gsa.fields[nmea::kGsaFixMode])))
        fixMode = fix.fixMode;
    t.push_back({ids.mode, fixMode == 2.0 ? "2D" : fixMode == 3.0 ? "3D" : "None"});

    std::string_view date = SlotText(nmea.rmc.fields[nmea::kRmcDate]);
    if (!classic && Blank(date))
        date = SlotText(fix.date);  // ZDA
    if (date.size() >= 6)
        t.push_back({ids.date, {date[2], date[3], '/', date[0], date[1], '/', date[4], date[5]}});
    else
        t.push_back({ids.date, kBlank});

    std::string_view utc = SlotText(nmea.gga.fields[nmea::kGgaUtc]);
    if (!classic && Blank(utc))
        utc = SlotText(fix.utcText);
    if (utc.size() >= 6)
    {
        const int hh = PairNumber(utc.substr(0, 2));
        const int mm = PairNumber(utc.substr(2, 2));
        const int ss = PairNumber(utc.substr(4, 2));
        // GGA's time is UTC already: the leap seconds separate GPS time from UTC and do not apply.
        t.push_back({ids.utcTime, TimeSpanText(hh * 3600LL + mm * 60 + ss)});
        t.push_back({ids.localTime, TimeSpanText(localHour * 3600LL + mm * 60 + ss)});
    }
    else
    {
        t.push_back({ids.utcTime, kBlank});
        t.push_back({ids.localTime, kBlank});
    }

    panel.latitudeDeg = !northSouth.empty() && northSouth[0] == 'S' ? -latitude : latitude;
    panel.longitudeDeg = !eastWest.empty() && eastWest[0] == 'W' ? -longitude : longitude;
    return panel;
}

std::string PortCaption(const std::string& portName)
{
    return " < " + portName + " >";
}
