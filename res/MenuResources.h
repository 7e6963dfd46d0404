// The main frame's resources as data: command ids, the menu, the toolbar slots, the status-bar
// prompts and the accelerators.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace vrn::res
{
// Command ids.
inline constexpr int kIdFileOpen = 57601;  // "&Open Input Settings"
inline constexpr int kIdAppExit = 57665;
inline constexpr int kIdAppAbout = 57664;
inline constexpr int kIdWindowCascade = 57650;
inline constexpr int kIdWindowTile = 57651;
inline constexpr int kIdWindowArrange = 57649;
inline constexpr int kIdWindowCloseAll = 32782;
inline constexpr int kIdViewRadar = 32774;
inline constexpr int kIdViewSignal1 = 32773;
inline constexpr int kIdViewSignal2 = 32787;
inline constexpr int kIdViewDebug1 = 32783;
inline constexpr int kIdViewDebug2 = 32805;
inline constexpr int kIdViewMeasure = 32806;
inline constexpr int kIdStartPort1 = 32792;
inline constexpr int kIdStartPort2 = 32803;
inline constexpr int kIdPause1 = 32794;
inline constexpr int kIdPause2 = 32804;
inline constexpr int kIdLogging1 = 32793;
inline constexpr int kIdLogging2 = 32795;
inline constexpr int kIdInitReceiver1 = 104;
inline constexpr int kIdInitReceiver2 = 105;
inline constexpr int kIdBaud1First = 32807;  // 32807..32810: port 1 at 4800, 9600, 19200, 38400
inline constexpr int kIdBaud2First = 32811;  // 32811..32814: port 2
inline constexpr int kIdRecordRaw1 = 32815;   // "Record &Raw Data 1": the port's bytes to a file
inline constexpr int kIdRecordRaw2 = 32816;
inline constexpr int kIdFileOpenRecording = 32820;  // "Open &Recording...": play a raw recording
// Commands of the playback toolbar (shown while a port plays a recording).
inline constexpr int kIdPlaybackPlay = 32821;  // play / pause
inline constexpr int kIdPlaybackStep = 32822;  // one navigation epoch, then pause
inline constexpr int kIdPlaybackStop = 32823;  // stop the port that plays
// The accuracy workbench.
inline constexpr int kIdViewStatistics = 32830;  // "&Statistics View"
inline constexpr int kIdFileExportTrack = 32831;  // "&Export Track..."
inline constexpr int kIdTtffCampaign = 32832;     // "&TTFF Campaign..."

// One line of the menu: level 0 is a top-level menu, 1 its items, 2 the items of a submenu.
// An entry with id 0 and a text opens a (sub)menu; id 0 without text is a separator.
struct MenuEntry
{
    int level;
    std::string_view text;
    int id;
    std::string_view shortcut = {};  // key sequence in portable text, e.g. "Ctrl+O"
};
std::span<const MenuEntry> MainMenu();

// The toolbar: 36 slots of command ids, 0 = separator. Non-separator slots take the images 0..12
// in slot order.
inline constexpr std::size_t kToolbarSlots = 36;
const std::array<int, kToolbarSlots>& ToolbarSlots();

// The second toolbar, after the classic one: the accuracy workbench's commands.
std::span<const int> AccuracyToolbarCommands();

// Toolbar images with a meaning of their own.
inline constexpr int kImagePortIdle = 2;
inline constexpr int kImagePause = 3;
inline constexpr int kImagePauseLit = 13;
inline constexpr int kImagePortReceiving = 14;
inline constexpr int kToolbarImageCount = 15;
inline constexpr int kToolbarImageWidth = 16;
inline constexpr int kToolbarImageHeight = 15;

// Toolbar slots whose images change.
inline constexpr int kSlotStart1 = 3;
inline constexpr int kSlotPause1 = 4;
inline constexpr int kSlotStart2 = 30;
inline constexpr int kSlotPause2 = 31;

// Status-bar prompt of a command; empty when it has none.
std::string_view CommandPrompt(int id);
// Tool tip of a toolbar command.
std::string_view CommandToolTip(int id);
}  // namespace vrn::res
