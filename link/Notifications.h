// Notification codes that travel between the reader threads, the feed document, the main frame and
// the views, with their classic numeric values (WM_USER = 0x400), and the view update hints.
#pragma once

namespace vrn
{
inline constexpr unsigned kWmUser = 0x400;

// Record messages sent to each view of a port, and their wParam values.
inline constexpr unsigned kMsgBinaryData = kWmUser + 29;  // 1053: binary record set
inline constexpr unsigned kMsgNmeaData = kWmUser + 28;    // 1052: NMEA record set (chunk ended with GGA)
inline constexpr unsigned kSourcePort1 = kWmUser + 5;     // 1029: binary data of receiver 1
inline constexpr unsigned kSourcePort2 = kWmUser + 6;     // 1030: binary data of receiver 2 (or own fix)
inline constexpr unsigned kSourceNmea1 = kWmUser + 26;    // 1050: NMEA data of receiver 1
inline constexpr unsigned kSourceNmea2 = kWmUser + 27;    // 1051: NMEA data of receiver 2

// Codes relayed to the main frame.
inline constexpr unsigned kInitReceiver1 = 104;  // toolbar command "Initialize Receiver 1"
inline constexpr unsigned kInitReceiver2 = 105;
inline constexpr unsigned kMsgDocumentClosing = kWmUser + 7;
inline constexpr unsigned kMsgSignal1Gone = kWmUser + 8;
inline constexpr unsigned kMsgSignal2Gone = kWmUser + 9;
inline constexpr unsigned kMsgRadarGone = kWmUser + 0xA;
inline constexpr unsigned kMsgDebugGone = kWmUser + 0xC;
inline constexpr unsigned kMsgMeasureGone = kWmUser + 0xE;
inline constexpr unsigned kMsgStatisticsGone = kWmUser + 0x13;  // the Statistics view, likewise
inline constexpr unsigned kMsgSettingsChanged = kWmUser + 0xF;  // views: hint 4
inline constexpr unsigned kMsgSettingsChanged2 = kWmUser + 0x10;  // views: hint 5
inline constexpr unsigned kMsgStopPort1 = kWmUser + 0x11;  // stop port 1 if it runs (device vanished)
inline constexpr unsigned kMsgStopPort2 = kWmUser + 0x12;
inline constexpr unsigned kMsgActivity1 = kWmUser + 0x16;  // 1046: one chunk received on port 1
inline constexpr unsigned kMsgActivity2 = kWmUser + 0x17;  // 1047
// A recording played on port 1 / port 2 starts over (a seek backwards): the views are told as at a
// start of the port (hint 6 / 7), after every update of the earlier pass and before the new ones.
inline constexpr unsigned kMsgPlaybackRestart1 = kWmUser + 0x30;
inline constexpr unsigned kMsgPlaybackRestart2 = kWmUser + 0x31;
// A UBX port's reader saw an answer to a command (ACK-ACK, ACK-NAK, MON-VER): the frame pumps the
// port's command queue.
inline constexpr unsigned kMsgUbxAnswer1 = kWmUser + 0x40;
inline constexpr unsigned kMsgUbxAnswer2 = kWmUser + 0x41;

// View update hints.
inline constexpr int kHintInitial = 0;
inline constexpr int kHintBinary1 = 1;
inline constexpr int kHintBinary2 = 2;
inline constexpr int kHintSettings = 4;
inline constexpr int kHintSettings2 = 5;
inline constexpr int kHintPort1Started = 6;
inline constexpr int kHintPort2Started = 7;
inline constexpr int kHintInitSent1 = 8;
inline constexpr int kHintInitSent2 = 9;
inline constexpr int kHintNmea1 = 10;
inline constexpr int kHintNmea2 = 11;
}  // namespace vrn
