// CFeedDoc: the program's one document. It owns both receiver ports: opens the port's byte source (a
// serial device, a TCP or gpsd connection, or a recording played back), runs the port's reader
// thread, pauses and stops it, writes command packets to it, records its raw bytes on request, and
// relays notifications to the main frame or the views. It knows the views and the frame only through the
// interfaces of link/ViewLinks.h, so it runs without the GUI.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "config/CAppSettings.h"
#include "link/ByteSource.h"
#include "link/CSerialPort.h"
#include "link/NetworkSource.h"
#include "link/PortLink.h"
#include "link/RawRecorder.h"
#include "link/RecordingPlayer.h"
#include "link/UbxCommands.h"
#include "link/ViewLinks.h"

namespace vrn
{
inline constexpr int kPortCount = 2;

// Every operation runs on the UI thread. Each started port has one reader thread; stopping a port
// (StopPort, ClosePort, OnCloseDocument, destruction) wakes and joins its reader before the source is
// closed, so no reader outlives the stop and no descriptor is used after its close. None of them
// waits for the network: connecting, name lookups and writes to a socket happen on the reader.
class CFeedDoc
{
public:
    // `views` must outlive the document; `frame` may be null (then nothing is sent or posted).
    explicit CFeedDoc(IViewRegistry& views, IMainFrame* frame = nullptr);
    ~CFeedDoc();
    CFeedDoc(const CFeedDoc&) = delete;
    CFeedDoc& operator=(const CFeedDoc&) = delete;

    // The frame of later notifications (the application's main window of the moment). A running
    // reader keeps the frame it was started with.
    void SetMainFrame(IMainFrame* frame) { m_frame = frame; }

    // Loads the data sources, tells the views (hint 6 or 7), opens the port and starts its reader.
    // Non-zero when started; 0 leaves the port stopped and closed (reason in LastPortError).
    int StartPort(int index);
    void StopPort(int index);
    // Any non-zero `paused` counts as 1. While set the reader parses nothing; what arrives is kept
    // (up to 16000 bytes) and parsed when the pause ends.
    void SetPaused(int index, int paused);
    // Writes `bytes` to the port; nothing on a closed port. A serial port returns when they have left
    // it; a network port queues them for its reader and returns at once. Result 1.
    int WritePort(int index, std::span<const std::uint8_t> bytes);
    // Application-wide notification codes (the document's part of BroadcastToDocuments).
    void RelayNotification(unsigned code, unsigned wParam, const CData* object);
    // Stops port 2 and port 1, then sends kMsgDocumentClosing to the frame. Touches nothing of the
    // document after that send, since the frame's answer is to delete the document.
    void OnCloseDocument();
    // Sends the port's initialisation command: `commandCode` kCommandConfiguredBaud (9) takes the
    // baud code from the configured rate, 0..3 name it. Sent whether or not the port is open.
    // `resetMode` 0..3 (hot, warm, cold, test) replaces the stored start mode; -1 keeps it. Returns
    // the start mode byte that went out (1..4, 0 for none).
    int SendReceiverCommand(int index, int commandCode, int resetMode = -1);

    // ---- UBX commands (ports in a UBX mode) ----
    // Queues a command for the port's receiver (the generation setting is read from the port's
    // receiver-initialisation settings); Pump sends it.
    void QueueUbxRequest(int index, const UbxRequest& request);
    // Sends what is due and collects the answers the reader saw: status texts, oldest first. Call on
    // every answer code and every 100 ms or so while UbxCommandsBusy.
    [[nodiscard]] std::vector<std::string> PumpUbxCommands(int index, std::int64_t nowMs);
    [[nodiscard]] bool UbxCommandsBusy(int index) const;
    // The version the port's receiver last reported (MON-VER); "" when none.
    [[nodiscard]] std::string ReceiverVersion(int index) const;
    // The protocol mode the port runs in (kModeNmea .. kModeUbxOwnFix); the last one when stopped.
    [[nodiscard]] int PortMode(int index) const;
    // Why commands to the port cannot reach its receiver: "port N is not running", or its source's
    // reason (gpsd, a recording); empty when they can (a serial or TCP port).
    [[nodiscard]] std::string CommandRefusal(int index) const;

    // Opens the port as StartPort does, without the hint and the running field. 1 or 0. A port
    // name "tcp://HOST:PORT" or "gpsd://HOST[:PORT][/DEVICE]" opens a network source, which starts
    // at once and connects (and reconnects) on its reader; anything else is a serial device.
    int OpenPort(int index);
    // Stops the reader (clear the run flag, wake, join), then drops DTR, purges and closes the source.
    void ClosePort(int index);

    // Starts port `index` playing the raw recording `path` in protocol `mode` (kModeNmea ..
    // kModeUbxOwnFix, read as EffectivePortMode says: port 2 reads a test recording as binary and a
    // UBX one with the own fix as plain UBX), instead of its configured source: tells the views as
    // StartPort does.
    // Non-zero when started; 0 with the reason in LastPortError. A recording without index plays
    // at the port's configured baud rate.
    int StartPlayback(int index, const std::string& path, int mode);
    // The player of a port that plays a recording; null otherwise. UI thread.
    [[nodiscard]] CRecordingPlayer* Player(int index);

    // Raw recording of what the port reads (see link/RawRecorder.h), independent of the port log.
    // False with a reason in `error` when the files cannot be created or the port is not running.
    bool StartRecording(int index, const std::string& path, std::string& error);
    // Ends the recording; false with a reason when its last writes failed.
    bool StopRecording(int index, std::string* error = nullptr);
    // True while the port records (a write failure ends it by itself).
    [[nodiscard]] bool IsRecording(int index) const;
    [[nodiscard]] std::string RecordingPath(int index) const;

    // 1 from a start request until the port is stopped.
    [[nodiscard]] int IsRunning(int index) const;
    // True while the port's tty is open.
    [[nodiscard]] bool IsOpen(int index) const;
    // Why the last start of the port failed, or why a running port stopped by itself (its device
    // went away), for the status bar; "" after a successful start.
    [[nodiscard]] const std::string& LastPortError(int index) const;
    [[nodiscard]] PortOpenFailure LastPortFailure(int index) const;
    // Device path the port was opened on ("" when closed); a network port's name; "recording FILE".
    [[nodiscard]] std::string PortDevice(int index) const;
    // For the status bar: what a running port reads and, for a network port or a recording, its
    // state, e.g. "tcp://gps:10110 (reconnecting (Connection refused), next try in 2 s)". "" when
    // the port is closed.
    [[nodiscard]] std::string PortSourceText(int index) const;
    // The reader thread of a started port, e.g. to read its CPU clock; empty when none runs.
    [[nodiscard]] std::optional<std::thread::native_handle_type> ReaderThread(int index);

    // Source of the PC clock for the initialisation command (seconds since 1970 UTC); the default
    // is the system clock.
    void SetPcClock(std::function<std::int64_t()> clock) { m_pcClock = std::move(clock); }

    // Settings copy of the document, reloaded before each use.
    [[nodiscard]] const CAppSettings& Settings() const { return m_settings; }

private:
    struct Port
    {
        std::unique_ptr<IByteSource> source;
        CRecordingPlayer* player = nullptr;  // the source, when it plays a recording
        std::shared_ptr<RecordTap> tap;
        PortSignals signals;
        std::shared_ptr<PortSession> session;
        std::thread reader;
        int running = 0;
        PortOpenFailure failure = PortOpenFailure::None;
        std::string error;
        CUbxCommandQueue ubxCommands;
    };

    Port& At(int index) { return m_ports[static_cast<std::size_t>(index == 0 ? 0 : 1)]; }
    const Port& At(int index) const { return m_ports[static_cast<std::size_t>(index == 0 ? 0 : 1)]; }
    void StopReader(Port& port);
    // Starts the reader on the source just opened; 1 or 0 (the source is closed again).
    int StartReader(int index, int mode);

    IViewRegistry& m_views;
    IMainFrame* m_frame;
    CAppSettings m_settings;
    std::array<Port, kPortCount> m_ports{};
    std::function<std::int64_t()> m_pcClock;
};
}  // namespace vrn
