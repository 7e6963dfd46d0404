// The dialog templates of the program. Controls are listed in tab order; the hidden blocks of the
// input settings and receiver initialization dialogs sit outside the visible area and are never
// shown, but their controls keep their values and take part in the checks.
#include "res/DialogTemplates.h"

#include <array>

namespace vrn::res
{
namespace
{
using K = ControlKind;

constexpr std::string_view kPorts = "COM1\nCOM2\nCOM3\nCOM4";
constexpr std::string_view kBauds = "4800\n9600\n19200\n38400";
constexpr std::string_view kUbxGenerations = "Detect (MON-VER)\nM8 and older\nF9 and later";

constexpr std::array kAbout{
    ControlTemplate{kNoId, K::Icon, "", 11, 17, 20, 20},
    ControlTemplate{kNoId, K::Label, "GPS Receiver Demo        Ver.  2.05", 40, 10, 150, 8},
    ControlTemplate{1, K::DefaultButton, "OK", 196, 6, 32, 14},
    ControlTemplate{1170, K::Label, "", 40, 24, 188, 26},  // the receivers' versions (MON-VER)
};

constexpr std::array kFileExists{
    ControlTemplate{kNoId, K::Label,
                    "This file exists already. Would you like to overwrite it, append to it or select "
                    "another file?",
                    30, 12, 190, 20},
    ControlTemplate{1099, K::PushButton, "&Overwrite", 42, 50, 50, 14},
    ControlTemplate{1100, K::PushButton, "&Append", 100, 50, 50, 14},
    ControlTemplate{7, K::PushButton, "&Reselect", 158, 50, 50, 14},
};

constexpr std::array kPreferences{
    ControlTemplate{1000, K::GroupBox, "Signal Graph Type", 4, 4, 75, 41},
    ControlTemplate{1001, K::RadioButton, "&Bar", 9, 17, 60, 10, kGroup},
    ControlTemplate{1002, K::RadioButton, "&Line", 9, 31, 60, 10},
    ControlTemplate{1003, K::GroupBox, "Tracking Orientation", 4, 48, 75, 41},
    ControlTemplate{1004, K::RadioButton, "&North Up", 9, 61, 60, 10, kGroup},
    ControlTemplate{1005, K::RadioButton, "&Heading Up", 9, 75, 60, 10},
    ControlTemplate{kNoId, K::GroupBox, "Map View", 88, 48, 87, 41},
    ControlTemplate{1006, K::Edit, "", 93, 61, 23, 12},
    ControlTemplate{kNoId, K::Label, "meters per pixel", 119, 63, 54, 8},
    ControlTemplate{1007, K::CheckBox, "&Centered Position", 93, 77, 79, 8, kDisabled},
    ControlTemplate{kNoId, K::Label, "&Timer Delay:", 5, 97, 42, 8},
    ControlTemplate{1008, K::Edit, "", 49, 95, 27, 12},
    ControlTemplate{kNoId, K::Label, "ms", 78, 97, 10, 8},
    ControlTemplate{1009, K::CheckBox, "&Use this timer for files", 93, 97, 84, 8, kDisabled},
    ControlTemplate{1, K::DefaultButton, "Save", 125, 4, 50, 14},
    ControlTemplate{2, K::PushButton, "Cancel", 125, 20, 50, 14},
};

constexpr std::array kInputSettings{
    // The port lists are wide enough for whole names such as "/dev/ttyUSB0"; their boxes grow with them.
    ControlTemplate{kNoId, K::GroupBox, "", 15, 6, 126, 107},
    ControlTemplate{kNoId, K::GroupBox, "", 153, 6, 126, 107},
    ControlTemplate{kNoId, K::Label, "First Port:", 29, 26, 34, 8},
    ControlTemplate{1015, K::DropList, "", 73, 24, 62, 52, kSorted, kPorts},
    ControlTemplate{1037, K::Label, "Baud Rate:", 29, 54, 40, 8},
    ControlTemplate{1060, K::DropList, "", 73, 52, 52, 76, 0, kBauds},
    ControlTemplate{1064, K::CheckBox, "&GPS talker only", 29, 70, 96, 10},
    ControlTemplate{1115, K::PushButton, "&Advanced", 40, 84, 70, 20},
    ControlTemplate{kNoId, K::Label, "Second Port:", 169, 26, 44, 8},
    ControlTemplate{1018, K::DropList, "", 213, 24, 62, 52, kSorted, kPorts},
    ControlTemplate{1040, K::Label, "Baud Rate:", 169, 54, 40, 8},
    ControlTemplate{1063, K::DropList, "", 213, 52, 52, 76, 0, kBauds},
    ControlTemplate{1065, K::CheckBox, "GPS &talker only", 169, 70, 96, 10},
    ControlTemplate{1116, K::PushButton, "A&dvanced", 180, 84, 70, 20},
    ControlTemplate{1, K::DefaultButton, "OK", 76, 129, 60, 20},
    ControlTemplate{2, K::PushButton, "Cancel", 154, 129, 60, 20},
    // Source selection, outside the visible area.
    ControlTemplate{1016, K::RadioButton, "Simulated Data", 320, 10, 70, 10, kGroup | kHidden},
    ControlTemplate{1019, K::RadioButton, "Received Data", 400, 10, 70, 10, kHidden},
    ControlTemplate{1004, K::CheckBox, "Simulator", 320, 26, 60, 10, kHidden},
    ControlTemplate{1005, K::RadioButton, "File:", 330, 40, 40, 10, kGroup | kHidden},
    ControlTemplate{1006, K::Edit, "", 372, 38, 90, 12, kHidden},
    ControlTemplate{1007, K::PushButton, "Browse...", 466, 38, 40, 14, kHidden},
    ControlTemplate{1008, K::RadioButton, "Serial Port:", 330, 56, 50, 10, kHidden},
    ControlTemplate{1009, K::DropList, "", 382, 54, 52, 52, kSorted | kHidden, kPorts},
    ControlTemplate{1038, K::Label, "Baud Rate:", 440, 56, 40, 8, kHidden},
    ControlTemplate{1061, K::DropList, "", 482, 54, 52, 76, kHidden, kBauds},
    ControlTemplate{1034, K::Label, "Week Number:", 330, 72, 50, 8, kHidden},
    ControlTemplate{1032, K::Edit, "", 382, 70, 40, 12, kHidden},
    ControlTemplate{1035, K::Label, "Time of Week:", 330, 88, 50, 8, kHidden},
    ControlTemplate{1033, K::Edit, "", 382, 86, 40, 12, kHidden},
    ControlTemplate{1036, K::Label, "ms/10", 426, 88, 24, 8, kHidden},
    ControlTemplate{1010, K::CheckBox, "Receiver", 320, 106, 60, 10, kHidden},
    ControlTemplate{1022, K::RadioButton, "File:", 330, 120, 40, 10, kGroup | kHidden},
    ControlTemplate{1024, K::Edit, "", 372, 118, 90, 12, kHidden},
    ControlTemplate{1025, K::PushButton, "Browse...", 466, 118, 40, 14, kHidden},
    ControlTemplate{1039, K::Label, "Format:", 372, 136, 30, 8, kHidden},
    ControlTemplate{1062, K::DropList, "", 404, 134, 52, 52, kHidden, "Hex\nBinary\nCSV"},
    ControlTemplate{1014, K::RadioButton, "Serial Port 1:", 330, 152, 60, 10, kHidden},
    ControlTemplate{1017, K::RadioButton, "Serial Port 2:", 330, 166, 60, 10, kHidden},
};

constexpr std::array kSkyChartConfig{
    ControlTemplate{kNoId, K::GroupBox, "Velocity vector scaling", 10, 9, 145, 34},
    ControlTemplate{kNoId, K::Label, "Outer circle velocity:", 18, 27, 82, 8},
    ControlTemplate{1067, K::Edit, "", 102, 25, 32, 12},
    ControlTemplate{kNoId, K::Label, "m/s", 137, 27, 14, 8},
    ControlTemplate{kNoId, K::GroupBox, "Direction", 10, 51, 145, 43},
    ControlTemplate{1004, K::RadioButton, " &Fixed (North Up)", 24, 64, 100, 10, kGroup},
    ControlTemplate{1005, K::RadioButton, " &Mobile ", 24, 80, 100, 10},
    ControlTemplate{1, K::DefaultButton, "OK", 31, 108, 48, 14},
    ControlTemplate{2, K::PushButton, "Cancel", 89, 108, 48, 14},
};

constexpr std::array kReceiverInit{
    ControlTemplate{1154, K::GroupBox, "Protocol", 11, 12, 101, 79},
    ControlTemplate{1125, K::RadioButton, " NMEA", 29, 26, 70, 10, kGroup},
    ControlTemplate{1126, K::RadioButton, " Talvoren", 29, 38, 70, 10},
    ControlTemplate{1127, K::RadioButton, " Test", 29, 50, 70, 10},
    ControlTemplate{1128, K::RadioButton, " UBX", 29, 62, 70, 10},
    ControlTemplate{1129, K::RadioButton, " UBX Test", 29, 74, 70, 10},
    ControlTemplate{1153, K::GroupBox, "Start Mode:", 11, 98, 101, 72},
    ControlTemplate{1089, K::RadioButton, " Hot Start", 29, 111, 70, 10, kGroup},
    ControlTemplate{1090, K::RadioButton, " Warm Start", 29, 124, 70, 10},
    ControlTemplate{1091, K::RadioButton, " Cold Start", 29, 137, 70, 10},
    ControlTemplate{1092, K::RadioButton, " Test Start", 29, 150, 70, 10},
    ControlTemplate{1152, K::GroupBox, "NMEA Message", 11, 178, 101, 88},
    ControlTemplate{1132, K::CheckBox, " GGA", 26, 195, 40, 10},
    ControlTemplate{1133, K::CheckBox, " GLL", 72, 195, 36, 10},
    ControlTemplate{1134, K::CheckBox, " GSA", 26, 211, 40, 10},
    ControlTemplate{1135, K::CheckBox, " GSV", 72, 211, 36, 10},
    ControlTemplate{1137, K::CheckBox, " RMC", 26, 227, 40, 10},
    ControlTemplate{1136, K::CheckBox, " VTG", 72, 227, 36, 10},
    ControlTemplate{1131, K::CheckBox, "Use Checksums", 33, 250, 70, 10},
    ControlTemplate{kNoId, K::GroupBox, "Approximate Position", 124, 14, 124, 90},
    ControlTemplate{kNoId, K::Label, "Lat:", 138, 37, 24, 8},
    ControlTemplate{1038, K::Edit, "", 165, 35, 52, 12},
    ControlTemplate{kNoId, K::Label, "deg", 221, 37, 20, 8},
    ControlTemplate{kNoId, K::Label, "Lon:", 138, 60, 24, 8},
    ControlTemplate{1044, K::Edit, "", 165, 58, 52, 12},
    ControlTemplate{kNoId, K::Label, "deg", 221, 60, 20, 8},
    ControlTemplate{kNoId, K::Label, "Alt:", 138, 83, 24, 8},
    ControlTemplate{1046, K::Edit, "", 165, 81, 52, 12},
    ControlTemplate{kNoId, K::Label, "m", 221, 83, 20, 8},
    ControlTemplate{kNoId, K::GroupBox, "Time", 124, 114, 124, 111},
    ControlTemplate{1071, K::CheckBox, "Use Current PC Time", 140, 134, 88, 10},
    ControlTemplate{1078, K::Label, "Week Number:", 130, 158, 52, 8},
    ControlTemplate{1072, K::Edit, "", 184, 156, 52, 12},
    ControlTemplate{1077, K::Label, "Time of Week:", 131, 178, 52, 8},
    ControlTemplate{1073, K::Edit, "", 184, 176, 52, 12},
    ControlTemplate{1076, K::Label, "s", 239, 178, 6, 8},
    ControlTemplate{1080, K::Label, "Leap Seconds:", 131, 206, 52, 8},
    ControlTemplate{1081, K::Edit, "", 184, 204, 52, 12},
    ControlTemplate{1082, K::Label, "s", 239, 206, 6, 8},
    ControlTemplate{1, K::DefaultButton, "OK", 146, 236, 80, 17},
    ControlTemplate{2, K::PushButton, "Cancel", 146, 257, 80, 17},
    // u-blox receivers: the commands the two buttons send to the running port.
    ControlTemplate{1160, K::GroupBox, "UBX Receiver", 259, 14, 116, 211},
    ControlTemplate{kNoId, K::Label, "Generation:", 267, 30, 100, 8},
    ControlTemplate{1161, K::DropList, "", 267, 41, 100, 60, 0, kUbxGenerations},
    ControlTemplate{kNoId, K::Label, "Output:", 267, 64, 100, 8},
    ControlTemplate{1162, K::CheckBox, " RXM-RAWX", 273, 77, 90, 10},
    ControlTemplate{1163, K::CheckBox, " RXM-SFRBX", 273, 91, 90, 10},
    ControlTemplate{1164, K::CheckBox, " NAV-PVT", 273, 105, 90, 10},
    ControlTemplate{1165, K::CheckBox, " NAV-SAT", 273, 119, 90, 10},
    ControlTemplate{1166, K::PushButton, "Send &Start", 267, 141, 100, 16},
    ControlTemplate{1167, K::PushButton, "Send &Output", 267, 163, 100, 16},
    ControlTemplate{1168, K::Label, "Sent to the running port; the answer shows in the status bar.", 267, 187,
                    100, 32},
    // Outside the visible area.
    ControlTemplate{1122, K::CheckBox, "Enable NMEA Protocol", 505, 10, 90, 10, kHidden},
    ControlTemplate{1095, K::CheckBox, "Enable Measurement Data", 505, 24, 100, 10, kHidden},
    ControlTemplate{1096, K::CheckBox, "Enable Debug Data", 505, 38, 90, 10, kHidden},
    ControlTemplate{kNoId, K::Label, "Clock Offset:", 505, 54, 50, 8, kHidden},
    ControlTemplate{1049, K::Edit, "", 557, 52, 52, 12, kHidden},
    ControlTemplate{kNoId, K::Label, "Hz", 613, 54, 12, 8, kHidden},
    ControlTemplate{kNoId, K::Label, "Almanac File:", 505, 70, 50, 8, kHidden},
    ControlTemplate{1074, K::Edit, "", 557, 68, 80, 12, kHidden},
    ControlTemplate{1075, K::PushButton, "Browse...", 641, 67, 40, 14, kHidden},
    ControlTemplate{kNoId, K::Label, "Channels:", 505, 88, 50, 8, kHidden},
    ControlTemplate{1079, K::Edit, "", 557, 86, 30, 12, kHidden},
    ControlTemplate{3, K::PushButton, "Load...", 505, 104, 50, 14, kHidden},
};

constexpr std::array kLogFileSettings{
    ControlTemplate{kNoId, K::Label, "Logging Filename :", 9, 15, 63, 8},
    ControlTemplate{1097, K::Edit, "", 77, 14, 129, 12},
    ControlTemplate{1098, K::PushButton, "&Browse", 176, 30, 35, 13},
    ControlTemplate{1151, K::GroupBox, "Talvoren", 10, 54, 88, 82},
    ControlTemplate{1131, K::CheckBox, " NAV  (Msg 01)", 24, 72, 70, 10},
    ControlTemplate{1132, K::CheckBox, " DOP  (Msg 02)", 24, 87, 70, 10},
    ControlTemplate{1133, K::CheckBox, " SV    (Msg 03)", 24, 102, 70, 10},
    ControlTemplate{1150, K::CheckBox, " MEAS (Msg 04)", 24, 117, 70, 10},
    ControlTemplate{1152, K::GroupBox, "NMEA", 107, 54, 99, 82},
    ControlTemplate{1134, K::CheckBox, " GGA", 119, 72, 40, 10},
    ControlTemplate{1135, K::CheckBox, " GLL", 166, 72, 36, 10},
    ControlTemplate{1136, K::CheckBox, " GSA", 119, 91, 40, 10},
    ControlTemplate{1137, K::CheckBox, " GSV", 166, 91, 36, 10},
    ControlTemplate{1138, K::CheckBox, " RMC", 119, 110, 40, 10},
    ControlTemplate{1139, K::CheckBox, " VTG", 166, 110, 36, 10},
    ControlTemplate{1, K::DefaultButton, "&OK", 51, 150, 52, 14},
    ControlTemplate{2, K::PushButton, "&Cancel", 115, 150, 52, 14},
};

constexpr std::array kTrackMapPrefs{
    ControlTemplate{kNoId, K::GroupBox, "Scale", 8, 3, 143, 31},
    ControlTemplate{kNoId, K::Label, "Outer Circle:", 16, 18, 60, 8},
    ControlTemplate{1103, K::Edit, "", 79, 16, 23, 12},
    ControlTemplate{kNoId, K::Label, "meters", 106, 18, 30, 8},
    // The first centre option needs 144 units in the program's font; its box and the dialog grow
    // with it and the buttons move right to stay clear of the box.
    ControlTemplate{kNoId, K::GroupBox, "Scale", 7, 37, 152, 66},
    ControlTemplate{1114, K::RadioButton, "Center to Average Measured Coordiates", 13, 46, 144, 10,
                    kGroup | kDisabled},
    ControlTemplate{1115, K::RadioButton, "Center to True Coordiates:", 13, 58, 135, 10, kDisabled},
    ControlTemplate{kNoId, K::Label, "Latitude:", 22, 72, 38, 8},
    ControlTemplate{1104, K::Edit, "", 63, 70, 41, 12},
    ControlTemplate{kNoId, K::Label, "Longitude:", 22, 89, 38, 8},
    ControlTemplate{1105, K::Edit, "", 63, 87, 41, 12},
    ControlTemplate{1, K::DefaultButton, "OK", 163, 8, 38, 14},
    ControlTemplate{2, K::PushButton, "Cancel", 163, 28, 38, 14},
};

constexpr std::array kTtffCampaign{
    ControlTemplate{kNoId, K::GroupBox, "Receiver", 8, 4, 90, 44},
    ControlTemplate{1201, K::RadioButton, " Receiver 1", 16, 17, 70, 10, kGroup},
    ControlTemplate{1202, K::RadioButton, " Receiver 2", 16, 31, 70, 10},
    ControlTemplate{kNoId, K::GroupBox, "Start Mode:", 8, 52, 90, 74},
    ControlTemplate{1203, K::RadioButton, " Hot Start", 16, 65, 70, 10, kGroup},
    ControlTemplate{1204, K::RadioButton, " Warm Start", 16, 79, 70, 10},
    ControlTemplate{1205, K::RadioButton, " Cold Start", 16, 93, 70, 10},
    ControlTemplate{1206, K::RadioButton, " Test Start", 16, 107, 70, 10},
    ControlTemplate{kNoId, K::Label, "Starts:", 108, 10, 60, 8},
    ControlTemplate{1207, K::Edit, "", 172, 8, 36, 12},
    ControlTemplate{kNoId, K::Label, "Wait between starts:", 108, 28, 110, 8},
    ControlTemplate{1208, K::Edit, "", 172, 40, 36, 12},
    ControlTemplate{kNoId, K::Label, "s", 212, 42, 8, 8},
    ControlTemplate{kNoId, K::Label, "The next start follows the wait after every source has its fix (or "
                                     "300 s have passed).",
                    108, 58, 112, 40},
    ControlTemplate{1, K::DefaultButton, "Start", 108, 104, 50, 14},
    ControlTemplate{2, K::PushButton, "Cancel", 166, 104, 50, 14},
};

constexpr std::array kReferencePosition{
    ControlTemplate{kNoId, K::Label, "Latitude:", 10, 12, 50, 8},
    ControlTemplate{1211, K::Edit, "", 62, 10, 70, 12},
    ControlTemplate{kNoId, K::Label, "deg", 136, 12, 20, 8},
    ControlTemplate{kNoId, K::Label, "Longitude:", 10, 30, 50, 8},
    ControlTemplate{1212, K::Edit, "", 62, 28, 70, 12},
    ControlTemplate{kNoId, K::Label, "deg", 136, 30, 20, 8},
    ControlTemplate{kNoId, K::Label, "Height:", 10, 48, 50, 8},
    ControlTemplate{1213, K::Edit, "", 62, 46, 70, 12},
    ControlTemplate{kNoId, K::Label, "m", 136, 48, 20, 8},
    ControlTemplate{1, K::DefaultButton, "OK", 164, 8, 44, 14},
    ControlTemplate{2, K::PushButton, "Cancel", 164, 28, 44, 14},
};

constexpr std::string_view kFont = "MS Sans Serif";

constexpr std::array kTemplates{
    DialogTemplate{kIddAbout, "About VRNRcvr Demo", 235, 54, kFont, 8, kAbout},
    DialogTemplate{kIddFileExists, "VRNRcvr Demo", 250, 75, kFont, 8, kFileExists},
    DialogTemplate{kIddPreferences, "Preferences", 182, 114, kFont, 8, kPreferences},
    DialogTemplate{kIddInputSettings, "Input Settings", 290, 160, kFont, 8, kInputSettings},
    DialogTemplate{kIddSkyChartConfig, "Sky Chart Configuration", 169, 130, kFont, 8, kSkyChartConfig},
    DialogTemplate{kIddReceiverInit, "", 385, 280, kFont, 8, kReceiverInit},
    DialogTemplate{kIddLogFileSettings, "Log File Settings", 218, 175, kFont, 8, kLogFileSettings},
    DialogTemplate{kIddTrackMapPrefs, "Track Map Preferences", 208, 112, kFont, 8, kTrackMapPrefs},
    DialogTemplate{kIddTtffCampaign, "TTFF Campaign", 226, 132, kFont, 8, kTtffCampaign},
    DialogTemplate{kIddReferencePosition, "Reference Position", 216, 68, kFont, 8, kReferencePosition},
};
}  // namespace

const DialogTemplate* FindDialogTemplate(int id)
{
    for (const auto& t : kTemplates)
        if (t.id == id)
            return &t;
    return nullptr;
}

std::span<const DialogTemplate> AllDialogTemplates() { return kTemplates; }
}  // namespace vrn::res
