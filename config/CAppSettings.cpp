// Settings store: the groups of profile keys, their defaults and write formats, over the INI store.
#include "config/CAppSettings.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <limits>
#include <mutex>

#include "config/IniFile.h"

namespace
{
using vrn::ini::FormatFixed;
using vrn::ini::FormatInteger;
using vrn::ini::IniDocument;
using vrn::ini::ParseIntegerPrefix;
using vrn::ini::ParseRealPrefix;

constexpr std::string_view kDataSources = "Data Sources";
constexpr std::string_view kMapView = "Map View";
constexpr std::string_view kRadarView = "Radar View";
constexpr std::string_view kSignalView = "Signal View";
constexpr std::string_view kGeneral = "General";
constexpr std::string_view kRandomData = "Random Data";
constexpr std::string_view kFileData = "File Data";

// Guards the profile path, every read-modify-write of the file and the outcome of the last read.
std::mutex g_profileMutex;
std::string g_profilePath;
CAppSettings::ProfileReadStatus g_lastRead;

std::string_view ReceiverSection(int receiver)
{
    return receiver == 0 ? "ReceiverInit1" : "ReceiverInit2";
}
std::string_view LoggingSection(int port)
{
    return port == 0 ? "Logging 1" : "Logging 2";
}
std::size_t PortColumn(int port)
{
    return port == 0 ? 0 : 1;
}

std::string PathLocked()
{
    return g_profilePath.empty() ? CAppSettings::DefaultProfilePath() : g_profilePath;
}

// Reads the profile and keeps what the read found for LastProfileRead.
vrn::ini::IniRead ReadProfileLocked(const std::string& path)
{
    vrn::ini::IniRead read = vrn::ini::ReadIniFile(path);
    g_lastRead.path = path;
    g_lastRead.reason = read.reason;
    switch (read.result)
    {
        case vrn::ini::IniReadResult::Read:
            g_lastRead.result = CAppSettings::ProfileRead::Whole;
            break;
        case vrn::ini::IniReadResult::Missing:
            g_lastRead.result = CAppSettings::ProfileRead::Missing;
            break;
        case vrn::ini::IniReadResult::Failed:
            g_lastRead.result = CAppSettings::ProfileRead::Failed;
            break;
    }
    return read;
}

IniDocument ReadProfile()
{
    std::lock_guard lock(g_profileMutex);
    return ReadProfileLocked(PathLocked()).document;
}

int ClampToInt(std::int64_t value)
{
    if (value < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    if (value > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

// The typed reads of one load, all from one reading of the file.
class ProfileReader
{
public:
    ProfileReader() : m_document(ReadProfile()) {}

    // Missing or empty: the default; else the numeric prefix (0 when none), clamped to int.
    int Int(std::string_view section, std::string_view key, int defaultValue) const
    {
        const auto value = m_document.Get(section, key);
        if (!value || value->empty())
            return defaultValue;
        return ClampToInt(ParseIntegerPrefix(*value));
    }
    std::string Text(std::string_view section, std::string_view key, std::string_view defaultValue) const
    {
        return m_document.Get(section, key).value_or(std::string(defaultValue));
    }
    // The numeric prefix of the text (or of the default text), kept to its low 16 bits.
    std::int16_t Short(std::string_view section, std::string_view key, std::string_view defaultText) const
    {
        const auto bits = static_cast<std::uint64_t>(ParseIntegerPrefix(Text(section, key, defaultText)));
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(bits));
    }
    // As `Short`, low 32 bits.
    std::int32_t Long(std::string_view section, std::string_view key, std::string_view defaultText) const
    {
        const auto bits = static_cast<std::uint64_t>(ParseIntegerPrefix(Text(section, key, defaultText)));
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
    }
    double Real(std::string_view section, std::string_view key, std::string_view defaultText) const
    {
        return ParseRealPrefix(Text(section, key, defaultText));
    }

private:
    IniDocument m_document;
};

// The keys of one save, in order, written by one rewrite of the file.
class ProfileWriter
{
public:
    void Text(std::string_view section, std::string_view key, std::string_view value)
    {
        m_entries.push_back({std::string(section), std::string(key), std::string(value)});
    }
    void Int(std::string_view section, std::string_view key, std::int64_t value)
    {
        Text(section, key, FormatInteger(value));
    }
    // A key newer than the classic profile: written when it differs from its default or is in the
    // file already, so that a classic profile is saved unchanged.
    void IntUnlessDefault(std::string_view section, std::string_view key, std::int64_t value,
                          std::int64_t defaultValue)
    {
        m_entries.push_back(
            {std::string(section), std::string(key), FormatInteger(value), value == defaultValue});
    }
    [[nodiscard]] bool Commit() const
    {
        std::lock_guard lock(g_profileMutex);
        const std::string path = PathLocked();
        vrn::ini::IniRead read = ReadProfileLocked(path);
        // A profile that is there but was not read whole is never written over: its sections,
        // comments and keys would be replaced by these few keys.
        if (read.result == vrn::ini::IniReadResult::Failed)
            return false;
        for (const auto& entry : m_entries)
            if (!entry.onlyIfPresent || read.document.Get(entry.section, entry.key))
                read.document.Set(entry.section, entry.key, entry.value);
        return vrn::ini::SaveIniFile(path, read.document);
    }

private:
    struct Entry
    {
        std::string section;
        std::string key;
        std::string value;
        bool onlyIfPresent = false;
    };
    std::vector<Entry> m_entries;
};
}  // namespace

// ---- the profile file ----

void CAppSettings::SetProfilePath(std::string path)
{
    std::lock_guard lock(g_profileMutex);
    g_profilePath = std::move(path);
}

std::string CAppSettings::ProfilePath()
{
    std::lock_guard lock(g_profileMutex);
    return PathLocked();
}

CAppSettings::ProfileReadStatus CAppSettings::LastProfileRead()
{
    std::lock_guard lock(g_profileMutex);
    return g_lastRead;
}

CAppSettings::ProfileReadStatus CAppSettings::CheckProfile()
{
    std::lock_guard lock(g_profileMutex);
    ReadProfileLocked(PathLocked());
    return g_lastRead;
}

std::string CAppSettings::DefaultProfilePath()
{
    std::string base;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
    {
        base = config;
    }
    else
    {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/')
        {
            const passwd* entry = ::getpwuid(::getuid());
            home = entry ? entry->pw_dir : "/tmp";
        }
        base = std::string(home) + "/.config";
    }
    return base + "/vrnrcvr/vrnrcvr.ini";
}

// ---- groups ----

void CAppSettings::LoadDataSources()
{
    {
        const ProfileReader in;
        DataSource = in.Int(kDataSources, "DataSource", 1);
        UseTrue = in.Int(kDataSources, "UseTrue", 0);
        TrueSource = in.Int(kDataSources, "TrueSource", 0);
        TrueFileName = in.Text(kDataSources, "TrueFileName", "");
        TrueSerialPort = in.Text(kDataSources, "TrueSerialPort", "");
        TrueSerialBaud = in.Text(kDataSources, "TrueSerialBaud", "");
        TrueWeekNo = in.Text(kDataSources, "TrueWeekNo", "");
        TrueTOW = in.Text(kDataSources, "TrueTOW", "");
        UseMeas = in.Int(kDataSources, "UseMeas", 0);
        MeasSource = in.Int(kDataSources, "MeasSource", 2);
        MeasBFileName = in.Text(kDataSources, "MeasBFileName", "");
        MeasBFileType = in.Text(kDataSources, "MeasBFileType", "Hex");
        MeasSerialPort = in.Text(kDataSources, "MeasSerialPort", "COM1");
        MeasSerialBaud = in.Text(kDataSources, "MeasSerialBaud", "4800");
        MeasSerialPort2 = in.Text(kDataSources, "MeasSerialPort2", "COM2");
        MeasSerialBaud2 = in.Text(kDataSources, "MeasSerialBaud2", "4800");
        MeasNBO = in.Int(kDataSources, "MeasNBO", 0);
        MeasRI = in.Int(kDataSources, "MeasRI", 1);
        MeasGpsTalkerOnly = in.Int(kDataSources, "MeasGpsTalkerOnly", 0);
        MeasGpsTalkerOnly2 = in.Int(kDataSources, "MeasGpsTalkerOnly2", 0);
    }
    LoadLogging(0);
    LoadLogging(1);
    LoadReceiverInit(MeasRI);
}

bool CAppSettings::SaveDataSources() const
{
    ProfileWriter out;
    out.Int(kDataSources, "DataSource", DataSource);
    out.Int(kDataSources, "UseTrue", UseTrue);
    out.Int(kDataSources, "TrueSource", TrueSource);
    out.Text(kDataSources, "TrueFileName", TrueFileName);
    out.Text(kDataSources, "TrueSerialPort", TrueSerialPort);
    out.Text(kDataSources, "TrueSerialBaud", TrueSerialBaud);
    out.Text(kDataSources, "TrueWeekNo", TrueWeekNo);
    out.Text(kDataSources, "TrueTOW", TrueTOW);
    out.Int(kDataSources, "UseMeas", UseMeas);
    out.Int(kDataSources, "MeasSource", MeasSource);
    out.Text(kDataSources, "MeasBFileName", MeasBFileName);
    out.Text(kDataSources, "MeasBFileType", MeasBFileType);
    out.Text(kDataSources, "MeasSerialPort", MeasSerialPort);
    out.Text(kDataSources, "MeasSerialBaud", MeasSerialBaud);
    out.Text(kDataSources, "MeasSerialPort2", MeasSerialPort2);
    out.Text(kDataSources, "MeasSerialBaud2", MeasSerialBaud2);
    out.Int(kDataSources, "MeasNBO", MeasNBO);
    out.Int(kDataSources, "MeasRI", MeasRI);
    out.IntUnlessDefault(kDataSources, "MeasGpsTalkerOnly", MeasGpsTalkerOnly, 0);
    out.IntUnlessDefault(kDataSources, "MeasGpsTalkerOnly2", MeasGpsTalkerOnly2, 0);
    return out.Commit();
}

void CAppSettings::LoadReceiverInit(int receiver)
{
    const std::string_view section = ReceiverSection(receiver);
    const ProfileReader in;
    X = in.Short(section, "X", "250");
    Y = in.Short(section, "Y", "1215");
    Z = in.Short(section, "Z", "0");
    UseDOSTime = in.Int(section, "UseDOSTime", 1);
    WeekNo = in.Int(section, "WeekNo", 0);
    TOW = in.Long(section, "TOW", "");
    LeapSec = in.Int(section, "LeapSec", 12);
    Protocol = in.Int(section, "Protocol", 0);
    ResetMode = in.Int(section, "ResetMode", 1);
    EnableGGA = in.Int(section, "EnableGGA", 1);
    EnableGLL = in.Int(section, "EnableGLL", 1);
    EnableGSA = in.Int(section, "EnableGSA", 1);
    EnableGSV = in.Int(section, "EnableGSV", 1);
    EnableRMC = in.Int(section, "EnableRMC", 1);
    EnableVTG = in.Int(section, "EnableVTG", 1);
    EnableNMEAChkSum = in.Int(section, "EnableNMEAChkSum", 1);
    Clock = in.Long(section, "Clock", "0");
    UbxGeneration = in.Int(section, "UbxGeneration", 0);
    UbxRawx = in.Int(section, "UbxRawx", 0);
    UbxSfrbx = in.Int(section, "UbxSfrbx", 0);
    UbxNavPvt = in.Int(section, "UbxNavPvt", 1);
    UbxNavSat = in.Int(section, "UbxNavSat", 1);
}

bool CAppSettings::SaveReceiverInit(int receiver) const
{
    const std::string_view section = ReceiverSection(receiver);
    ProfileWriter out;
    out.Int(kDataSources, "MeasRI", receiver);
    out.Int(section, "X", X);
    out.Int(section, "Y", Y);
    out.Int(section, "Z", Z);
    out.Int(section, "UseDOSTime", UseDOSTime);
    out.Int(section, "WeekNo", WeekNo);
    out.Int(section, "TOW", TOW);
    out.Int(section, "LeapSec", LeapSec);
    out.Int(section, "Clock", Clock);
    out.Int(section, "Protocol", Protocol);
    out.Int(section, "ResetMode", ResetMode);
    out.Int(section, "EnableGGA", EnableGGA);
    out.Int(section, "EnableGLL", EnableGLL);
    out.Int(section, "EnableGSA", EnableGSA);
    out.Int(section, "EnableGSV", EnableGSV);
    out.Int(section, "EnableRMC", EnableRMC);
    out.Int(section, "EnableVTG", EnableVTG);
    out.Int(section, "EnableNMEAChkSum", EnableNMEAChkSum);
    out.Int(section, "Channels", Channels);
    out.IntUnlessDefault(section, "UbxGeneration", UbxGeneration, 0);
    out.IntUnlessDefault(section, "UbxRawx", UbxRawx, 0);
    out.IntUnlessDefault(section, "UbxSfrbx", UbxSfrbx, 0);
    out.IntUnlessDefault(section, "UbxNavPvt", UbxNavPvt, 1);
    out.IntUnlessDefault(section, "UbxNavSat", UbxNavSat, 1);
    return out.Commit();
}

void CAppSettings::LoadLogging(int port)
{
    const std::string_view section = LoggingSection(port);
    const std::size_t column = PortColumn(port);
    const ProfileReader in;
    LogFileName[column] = in.Text(section, "FileName", column == 0 ? "G_Port1.log" : "G_Port2.log");
    for (std::size_t message = 0; message < kLogMessageCount; ++message)
        LogEnable[message][column] = in.Int(section, kLogMessageKeys[message], 1);
}

bool CAppSettings::SaveLogging(int port) const
{
    const std::string_view section = LoggingSection(port);
    const std::size_t column = PortColumn(port);
    ProfileWriter out;
    out.Text(section, "FileName", LogFileName[column]);
    for (std::size_t message = 0; message < kLogMessageCount; ++message)
        out.Int(section, kLogMessageKeys[message], LogEnable[message][column]);
    return out.Commit();
}

void CAppSettings::LoadMapView()
{
    const ProfileReader in;
    Scale1 = in.Int(kMapView, "Scale1", 100);
    CenterFixed1 = in.Int(kMapView, "Center Fixed1", 0);
    Latitude1 = in.Real(kMapView, "Latitude1", "24.775300");
    Longitude1 = in.Real(kMapView, "Longitude1", "121.002480");
}

bool CAppSettings::SaveMapView() const
{
    ProfileWriter out;
    out.Int(kMapView, "Scale1", Scale1);
    out.Int(kMapView, "Center Fixed1", CenterFixed1);
    out.Text(kMapView, "Latitude1", FormatFixed(Latitude1, 6));
    out.Text(kMapView, "Longitude1", FormatFixed(Longitude1, 6));
    return out.Commit();
}

void CAppSettings::LoadRadarView()
{
    const ProfileReader in;
    Orientation1 = in.Int(kRadarView, "Orientation1", 0);
    OuterRadiusVelocity1 = in.Real(kRadarView, "Outer Radius Velocity1", "4.0");
}

bool CAppSettings::SaveRadarView() const
{
    ProfileWriter out;
    out.Int(kRadarView, "Orientation1", Orientation1);
    out.Text(kRadarView, "Outer Radius Velocity1", FormatFixed(OuterRadiusVelocity1, 2));
    return out.Commit();
}

void CAppSettings::LoadSignalView()
{
    GraphType = ProfileReader().Int(kSignalView, "Graph Type", 0);
}

bool CAppSettings::SaveSignalView() const
{
    ProfileWriter out;
    out.Int(kSignalView, "Graph Type", GraphType);
    return out.Commit();
}

void CAppSettings::LoadGeneral()
{
    Debug = ProfileReader().Int(kGeneral, "Debug", 0);
}

void CAppSettings::LoadTimerDelay()
{
    TimerDelay = ProfileReader().Int(kRandomData, "Timer Delay", 1000);
}

bool CAppSettings::SaveTimerDelay() const
{
    ProfileWriter out;
    out.Int(kRandomData, "Timer Delay", TimerDelay);
    return out.Commit();
}

void CAppSettings::LoadExternalTimer()
{
    ExternalTimer = ProfileReader().Int(kFileData, "External Timer", 0);
}

bool CAppSettings::SaveExternalTimer() const
{
    ProfileWriter out;
    out.Int(kFileData, "External Timer", ExternalTimer);
    return out.Commit();
}

// ---- single keys and sections ----

int CAppSettings::ReadProfileInt(std::string_view section, std::string_view key, int defaultValue)
{
    return ProfileReader().Int(section, key, defaultValue);
}

std::string CAppSettings::ReadProfileText(std::string_view section, std::string_view key,
                                          std::string_view defaultValue)
{
    return ProfileReader().Text(section, key, defaultValue);
}

bool CAppSettings::WriteProfileText(std::string_view section, std::string_view key, std::string_view value)
{
    ProfileWriter out;
    out.Text(section, key, value);
    return out.Commit();
}

bool CAppSettings::WriteProfileInt(std::string_view section, std::string_view key, int value)
{
    ProfileWriter out;
    out.Int(section, key, value);
    return out.Commit();
}

bool CAppSettings::WriteProfileValues(std::string_view section,
                                      const std::vector<std::pair<std::string, std::string>>& values)
{
    ProfileWriter out;
    for (const auto& [key, value] : values)
        out.Text(section, key, value);
    return out.Commit();
}

std::vector<std::pair<std::string, std::string>> CAppSettings::ReadProfileSection(std::string_view section)
{
    return ReadProfile().Section(section);
}
