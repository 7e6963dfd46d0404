// The settings store: `CAppSettings`, the in-memory copy of the profile keys, loaded and saved by
// groups, and the single-key access that a few places use to read or write one key directly.
//
// The profile is one INI file, by default `$XDG_CONFIG_HOME/vrnrcvr/vrnrcvr.ini` (or
// `~/.config/vrnrcvr/vrnrcvr.ini`); `SetProfilePath` replaces it for the whole process (`--profile`,
// tools, tests). Every load reads the file and every save rewrites it at once; there is no cache.
// The file format and its lookup rules are those of `config/IniFile.h`.
//
// Field names are the profile keys with their blanks removed (`Outer Radius Velocity1` becomes
// `OuterRadiusVelocity1`, `Center Fixed1` `CenterFixed1`, `Graph Type` `GraphType`, `Timer Delay`
// `TimerDelay`, `External Timer` `ExternalTimer`). Two fields have no key of their own name:
// `LogFileName[port]` is `FileName` of "Logging 1"/"Logging 2", and `LogEnable[message][port]` holds
// the ten message keys of those sections.
//
// Not a singleton: every owner holds its own object and loads the groups it needs. Only the UI
// thread uses the store; the file operations are serialised process-wide all the same.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CAppSettings
{
public:
    // Logged message kinds, the row index of `LogEnable`.
    enum LogMessage : std::size_t
    {
        kLogNav = 0,
        kLogDop,
        kLogSv,
        kLogMeas,
        kLogGga,
        kLogGll,
        kLogGsa,
        kLogGsv,
        kLogRmc,
        kLogVtg,
        kLogMessageCount
    };
    static constexpr std::size_t kPortCount = 2;

    // Key names of the log message kinds, in `LogMessage` order.
    static constexpr std::array<std::string_view, kLogMessageCount> kLogMessageKeys{
        "NAV", "DOP", "SV", "MEAS", "GGA", "GLL", "GSA", "GSV", "RMC", "VTG"};

    // ---- the profile file (process-wide) ----

    // Uses `path` as the profile from now on; an empty path returns to the default.
    static void SetProfilePath(std::string path);
    // The profile in use: the one set above, else the default.
    static std::string ProfilePath();
    // `$XDG_CONFIG_HOME/vrnrcvr/vrnrcvr.ini`, or `$HOME/.config/vrnrcvr/vrnrcvr.ini` when the
    // variable is unset or not absolute.
    static std::string DefaultProfilePath();

    // What a read of the profile found. A profile that is there but cannot be read whole (no read
    // permission, not a regular file, an I/O error part-way) loads as defaults, and every save
    // refuses to write over it (returns false), so the file stays exactly as it is.
    enum class ProfileRead : std::uint8_t
    {
        Whole,    // read whole (also before the first read)
        Missing,  // no such file yet: defaults, and a save creates it
        Failed    // there but not read whole: defaults, and no save
    };
    struct ProfileReadStatus
    {
        ProfileRead result = ProfileRead::Whole;
        std::string path;    // the profile that was read
        std::string reason;  // why the read failed, e.g. "Permission denied"
    };
    // The outcome of the latest read of the profile by any load or save, on any thread.
    static ProfileReadStatus LastProfileRead();
    // Reads the profile now and returns what that found (start-up asks this once).
    static ProfileReadStatus CheckProfile();

    // ---- groups ----
    // Loads read the profile and fill the group's fields (missing keys give the defaults); saves
    // write the group's keys at once and return false when the file could not be written.

    // "Data Sources", then `LoadLogging(0)`, `LoadLogging(1)` and `LoadReceiverInit(MeasRI)`.
    void LoadDataSources();
    // "Data Sources" only.
    bool SaveDataSources() const;
    // "ReceiverInit1" for receiver 0, "ReceiverInit2" for any other value. Reads `Clock` too
    // (default 0); `Channels` is written by the save but never read, so it keeps its value.
    void LoadReceiverInit(int receiver);
    // Writes "Data Sources" `MeasRI` = receiver first (the `MeasRI` field is left alone), then
    // the receiver's section.
    bool SaveReceiverInit(int receiver) const;
    // "Logging 1" and column 0 of `LogEnable` for port 0, "Logging 2" and column 1 otherwise.
    void LoadLogging(int port);
    bool SaveLogging(int port) const;
    // "Map View"; the reals are saved with six decimals ("24.775300").
    void LoadMapView();
    bool SaveMapView() const;
    // "Radar View"; the velocity is saved with two decimals ("4.00").
    void LoadRadarView();
    bool SaveRadarView() const;
    // "Signal View".
    void LoadSignalView();
    bool SaveSignalView() const;
    // "General" (load only).
    void LoadGeneral();
    // "Random Data".
    void LoadTimerDelay();
    bool SaveTimerDelay() const;
    // "File Data".
    void LoadExternalTimer();
    bool SaveExternalTimer() const;

    // ---- single keys and sections (process-wide profile) ----

    // An int key as the groups read it: missing or empty gives `defaultValue`; otherwise the
    // numeric prefix of the text (0 when there is none), clamped to the int range.
    static int ReadProfileInt(std::string_view section, std::string_view key, int defaultValue);
    // A text key: the stored text, or `defaultValue` when the key is missing.
    static std::string ReadProfileText(std::string_view section, std::string_view key,
                                       std::string_view defaultValue);
    // Writes `key=value` at once; false when the file could not be written. A line end in
    // `value` ends the value there.
    static bool WriteProfileText(std::string_view section, std::string_view key, std::string_view value);
    static bool WriteProfileInt(std::string_view section, std::string_view key, int value);
    // Several keys of one section in one rewrite of the file, in the given order.
    static bool WriteProfileValues(std::string_view section,
                                   const std::vector<std::pair<std::string, std::string>>& values);
    // Every key of a section with its value, in file order (the first occurrence of a key only);
    // empty when the section is missing.
    static std::vector<std::pair<std::string, std::string>> ReadProfileSection(std::string_view section);

    // ---- fields ----
    // Construction gives zeros and empty strings (and `Channels` 12); load a group before
    // reading its fields.

    // "Data Sources"
    int DataSource = 0;
    int UseTrue = 0;
    int TrueSource = 0;
    std::string TrueFileName;
    std::string TrueSerialPort;
    std::string TrueSerialBaud;
    std::string TrueWeekNo;
    std::string TrueTOW;
    int UseMeas = 0;
    int MeasSource = 0;
    std::string MeasBFileName;
    std::string MeasBFileType;
    std::string MeasSerialPort;
    std::string MeasSerialBaud;
    std::string MeasSerialPort2;
    std::string MeasSerialBaud2;
    int MeasNBO = 0;

    // "Logging 1" / "Logging 2": `FileName` per port.
    std::array<std::string, kPortCount> LogFileName{};

    // "Data Sources"
    int MeasRI = 0;
    // "Data Sources": the "GPS talker only" setting of port 1 and port 2 (1 = read $GP sentences
    // only, as the classic program did). Missing keys read as 0; a save writes a key only when it is
    // 1 or already in the file, so classic profiles stay as they are.
    int MeasGpsTalkerOnly = 0;
    int MeasGpsTalkerOnly2 = 0;

    // "ReceiverInit1" / "ReceiverInit2"
    std::int16_t X = 0;  // approximate latitude, 0.1 degree
    std::int16_t Y = 0;  // approximate longitude, 0.1 degree
    std::int16_t Z = 0;  // approximate altitude, m
    std::int32_t Clock = 0;
    int UseDOSTime = 0;
    int WeekNo = 0;
    std::int32_t TOW = 0;  // s
    int Channels = 12;     // receiver channels in use; saved, never loaded
    int ResetMode = 0;
    int Protocol = 0;
    int EnableGGA = 0;
    int EnableGLL = 0;
    int EnableGSA = 0;
    int EnableGSV = 0;
    int EnableRMC = 0;
    int EnableVTG = 0;
    int EnableNMEAChkSum = 0;
    int LeapSec = 0;
    // u-blox receivers (Protocol 3 UBX, 4 UBX with the own fix): 0 detect the generation from
    // MON-VER, 1 u-blox 8 and older (CFG-PRT, CFG-MSG), 2 F9 and later (CFG-VALSET); the output the
    // commands switch on (1) or off (0).
    int UbxGeneration = 0;
    int UbxRawx = 0;
    int UbxSfrbx = 0;
    int UbxNavPvt = 1;
    int UbxNavSat = 1;

    // "Logging 1" / "Logging 2": the ten message enables, [LogMessage][port].
    std::array<std::array<int, kPortCount>, kLogMessageCount> LogEnable{};

    // "Map View"
    int Scale1 = 0;
    int CenterFixed1 = 0;
    double Latitude1 = 0.0;   // degrees
    double Longitude1 = 0.0;  // degrees

    // "Radar View"
    int Orientation1 = 0;
    double OuterRadiusVelocity1 = 0.0;  // m/s

    // "General", "Signal View", "Random Data", "File Data"
    int Debug = 0;
    int GraphType = 0;
    int TimerDelay = 0;  // ms
    int ExternalTimer = 0;
};
