// The port logs: `CPortLogger` appends the enabled messages of each of the two ports to that port's
// log file, one text line per binary record or NMEA sentence, ended by a line feed.
#pragma once

#include <array>
#include <functional>
#include <mutex>
#include <string>

#include "app/CoreServices.h"
#include "config/CAppSettings.h"

class CData;

// One per run, owned by the application object. The UI thread configures, starts and stops the
// logs; the reader threads write to them. Each port has its own mutex, held around its logging
// flag, its enables, its file and every write, so a line is never torn, never written to a closed
// file, and two ports never wait for each other.
class CPortLogger final : public vrn::IPortLog
{
public:
    // Shows the Log File Settings dialog for a port (0 or 1) and returns true when it ended with
    // OK. The dialog saves the port's logging group to the profile and creates the file.
    using SettingsDialog = std::function<bool(int port)>;

    CPortLogger() = default;
    // Stops both ports' logs.
    ~CPortLogger() override;
    CPortLogger(const CPortLogger&) = delete;
    CPortLogger& operator=(const CPortLogger&) = delete;

    // Installs the dialog `ConfigureLogging` shows (the GUI does this at start-up). Without one,
    // `ConfigureLogging` behaves as if the dialog had ended with OK at once.
    void SetSettingsDialog(SettingsDialog dialog);

    // Stops the port's log, shows the dialog, and on OK loads the port's logging group from the
    // profile. Returns whether the dialog ended with OK. UI thread.
    bool ConfigureLogging(int port);
    // Opens the port's configured file for appending; the file must exist already (it is never
    // created here) and be a regular file (a pipe, a device or a folder is refused, so a write can
    // never hold a reader up). A log already open is closed first. Returns whether the port now logs.
    bool StartLogging(int port);
    // Closes the port's file if it is logging.
    void StopLogging(int port);
    // 1 while the port logs, else 0.
    int IsLogging(int port) const;

    // Reader threads. Port indices other than 0 and 1 do nothing (0 for WriteSentence).
    // The set's current binary record as a line, if the port logs and its kind is enabled.
    void WriteRecord(const CData& set, int port) override;
    // NMEA sentence of kind 1 GGA, 2 GLL, 3 GSA, 4 GSV, 5 RMC, 6 VTG: if the port logs and the
    // kind is enabled, appends a line feed to `text` and writes it; returns 1 then, else 0.
    int WriteSentence(int kind, std::string& text, int port) override;

    // The logger's settings (file name and enables per port, as last loaded). UI thread, for
    // display only.
    const CAppSettings& Settings() const { return m_settings; }

private:
    struct PortState
    {
        mutable std::mutex mutex;
        bool logging = false;
        int fd = -1;       // open log file while logging
        std::string line;  // rendered binary record, reused
    };

    void CloseLocked(PortState& state);
    void WriteLocked(PortState& state, const std::string& text);

    CAppSettings m_settings;  // file names and enables; each port's part guarded by its mutex
    std::array<PortState, CAppSettings::kPortCount> m_ports;
    std::mutex m_dialogMutex;
    SettingsDialog m_dialog;
};
