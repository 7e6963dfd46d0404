// Demo mode: two in-process simulated receivers on pseudo-terminals (port 1 in the test protocol,
// port 2 a modern four-constellation receiver speaking NMEA 4.11) and a profile of its own under
// $XDG_STATE_HOME/vrnrcvr/ whose ports point at them.
#pragma once

#include <QString>
#include <memory>

namespace vrn::gui
{
class CDemoMode
{
public:
    CDemoMode();
    ~CDemoMode();
    CDemoMode(const CDemoMode&) = delete;
    CDemoMode& operator=(const CDemoMode&) = delete;

    // Starts the simulated receivers and points the profile's ports at them; with `ownProfile` the
    // demo profile is used (never the user's own). False with a reason when nothing could start.
    bool Prepare(bool ownProfile, QString& error);
    // True while the simulated receivers run.
    [[nodiscard]] bool Running() const;
    // Device path of the simulated receiver on port 0 or 1; empty when none runs.
    [[nodiscard]] QString DevicePath(int port) const;

    // $XDG_STATE_HOME/vrnrcvr/demo.ini (or ~/.local/state/vrnrcvr/demo.ini).
    static QString DemoProfilePath();

private:
    struct Receivers;
    std::unique_ptr<Receivers> m_receivers;
};
}  // namespace vrn::gui
