// Menu, toolbar slots, prompts and tool tips of the main frame.
#include "res/MenuResources.h"

namespace vrn::res
{
namespace
{
constexpr std::array kMenu{
    MenuEntry{0, "&File", 0},
    MenuEntry{1, "&Open Input Settings", kIdFileOpen, "Ctrl+O"},
    MenuEntry{1, "Open &Recording...", kIdFileOpenRecording},
    MenuEntry{1, "&Export Track...", kIdFileExportTrack},
    MenuEntry{1, "", 0},
    MenuEntry{1, "E&xit", kIdAppExit},
    MenuEntry{0, "&View", 0},
    MenuEntry{1, "&Radar View", kIdViewRadar},
    MenuEntry{1, "Signal View &1", kIdViewSignal1},
    MenuEntry{1, "Signal View &2", kIdViewSignal2},
    MenuEntry{1, "De&bug 1", kIdViewDebug1},
    MenuEntry{1, "Deb&ug 2", kIdViewDebug2},
    MenuEntry{1, "&Measure View", kIdViewMeasure},
    MenuEntry{1, "&Statistics View", kIdViewStatistics},
    MenuEntry{0, "&Action", 0},
    MenuEntry{1, "Start up Port &1", kIdStartPort1},
    MenuEntry{1, "Start up Port &2", kIdStartPort2},
    MenuEntry{1, "", 0},
    MenuEntry{1, "&Pause Display 1", kIdPause1},
    MenuEntry{1, "P&ause Display 2", kIdPause2},
    MenuEntry{1, "", 0},
    MenuEntry{1, "&Logging Port 1", kIdLogging1},
    MenuEntry{1, "L&ogging Port 2", kIdLogging2},
    MenuEntry{1, "Record &Raw Data 1", kIdRecordRaw1},
    MenuEntry{1, "Record Ra&w Data 2", kIdRecordRaw2},
    MenuEntry{1, "", 0},
    MenuEntry{1, "&TTFF Campaign...", kIdTtffCampaign},
    MenuEntry{1, "", 0},
    MenuEntry{1, "&Change Baud Rate 1", 0},
    MenuEntry{2, "&4800", kIdBaud1First},
    MenuEntry{2, "&9600", kIdBaud1First + 1},
    MenuEntry{2, "&19200", kIdBaud1First + 2},
    MenuEntry{2, "&38400", kIdBaud1First + 3},
    MenuEntry{1, "C&hange Baud Rate 2", 0},
    MenuEntry{2, "&4800", kIdBaud2First},
    MenuEntry{2, "&9600", kIdBaud2First + 1},
    MenuEntry{2, "&19200", kIdBaud2First + 2},
    MenuEntry{2, "&38400", kIdBaud2First + 3},
    MenuEntry{0, "&Window", 0},
    MenuEntry{1, "&Cascade", kIdWindowCascade},
    MenuEntry{1, "&Tile", kIdWindowTile},
    MenuEntry{1, "&Arrange Icons", kIdWindowArrange},
    MenuEntry{1, "Close &All", kIdWindowCloseAll},
    MenuEntry{0, "&Help", 0},
    MenuEntry{1, "&About VRNRcvr Demo", kIdAppAbout},
};

constexpr std::array<int, kToolbarSlots> kSlots{
    kIdFileOpen, 0, kIdInitReceiver1, kIdStartPort1, kIdPause1, kIdLogging1, 0, kIdViewSignal1,
    kIdViewDebug1,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // slots 9..28: the gap
    kIdInitReceiver2, kIdStartPort2, kIdPause2, kIdLogging2, 0, kIdViewSignal2, kIdViewDebug1,
};

constexpr std::array<int, 3> kAccuracySlots{kIdViewStatistics, kIdFileExportTrack, kIdTtffCampaign};

struct Prompt
{
    int id;
    std::string_view prompt;
    std::string_view tip;
};
constexpr std::array kPrompts{
    Prompt{kIdFileOpen, "Open Input Settings dialog", "Open Input Settings"},
    Prompt{kIdAppExit, "Quit the application", "Exit"},
    Prompt{kIdViewRadar, "Open Radar view", "Radar View"},
    Prompt{kIdViewSignal1, "Open Signal view", "Signal View 1"},
    Prompt{kIdViewSignal2, "Open Signal view", "Signal View 2"},
    Prompt{kIdViewDebug1, "Reserved", "Debug"},
    Prompt{kIdViewDebug2, "Reserved", "Debug"},
    Prompt{kIdViewMeasure, "Open Measure view", "Measure View"},
    Prompt{kIdStartPort1, "Start up Port 1", "Start up Port 1"},
    Prompt{kIdStartPort2, "Start up Port 2", "Start up Port 2"},
    Prompt{kIdPause1, "Pause", "Pause Display 1"},
    Prompt{kIdPause2, "Pause", "Pause Display 2"},
    Prompt{kIdLogging1, "Open log file", "Logging Port 1"},
    Prompt{kIdLogging2, "Open log file", "Logging Port 2"},
    Prompt{kIdInitReceiver1, "Initialize Receiver", "Initialize Receiver 1"},
    Prompt{kIdInitReceiver2, "Initialize Receiver", "Initialize Receiver 2"},
    Prompt{kIdWindowCascade, "Arrange windows so they overlap", "Cascade"},
    Prompt{kIdWindowTile, "Arrange windows as non-overlapping tiles", "Tile"},
    Prompt{kIdWindowArrange, "Arrange icons at the bottom of the window", "Arrange Icons"},
    Prompt{kIdAppAbout, "Display program information and version", "About"},
    Prompt{kIdFileOpenRecording, "Play a raw recording back on a port", "Open Recording"},
    Prompt{kIdRecordRaw1, "Record the raw bytes of port 1 to a file", "Record Raw Data 1"},
    Prompt{kIdRecordRaw2, "Record the raw bytes of port 2 to a file", "Record Raw Data 2"},
    Prompt{kIdPlaybackPlay, "Play or pause the recording", "Play / Pause"},
    Prompt{kIdPlaybackStep, "Play to the end of the next navigation epoch", "Step"},
    Prompt{kIdPlaybackStop, "Stop playing the recording", "Stop"},
    Prompt{kIdViewStatistics, "Open Statistics view", "Statistics View"},
    Prompt{kIdFileExportTrack, "Export the tracks as GPX, KML or CSV", "Export Track"},
    Prompt{kIdTtffCampaign, "Repeat a start command and measure the time to first fix", "TTFF Campaign"},
};
}  // namespace

std::span<const MenuEntry> MainMenu() { return kMenu; }
const std::array<int, kToolbarSlots>& ToolbarSlots() { return kSlots; }
std::span<const int> AccuracyToolbarCommands() { return kAccuracySlots; }

std::string_view CommandPrompt(int id)
{
    for (const auto& p : kPrompts)
        if (p.id == id)
            return p.prompt;
    return {};
}

std::string_view CommandToolTip(int id)
{
    for (const auto& p : kPrompts)
        if (p.id == id)
            return p.tip;
    return {};
}
}  // namespace vrn::res
