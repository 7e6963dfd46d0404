// Demo mode: simulated receivers and the demo profile.
#include "app/CDemoMode.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <array>
#include <memory>
#include <string>

#include "config/CAppSettings.h"
#include "sim/SimulatedReceiver.h"

namespace vrn::gui
{
struct CDemoMode::Receivers
{
    std::array<std::unique_ptr<vrnsim::CSimulatedReceiver>, 2> receivers;
    std::array<QString, 2> devices;
};

namespace
{
// Port 1: raw measurements for the program's own fix; port 2: a modern receiver, NMEA 4.11 from
// GPS, GLONASS, Galileo and BeiDou (about 2 kB/s). 38400 baud carries either.
constexpr std::array<vrnsim::SimProtocol, 2> kDemoProtocols{vrnsim::SimProtocol::Test,
                                                            vrnsim::SimProtocol::Nmea};
constexpr vrnsim::GnssSet kDemoSystems =
    vrnsim::SystemBit(vrnsim::GnssSystem::Gps) | vrnsim::SystemBit(vrnsim::GnssSystem::Glonass) |
    vrnsim::SystemBit(vrnsim::GnssSystem::Galileo) | vrnsim::SystemBit(vrnsim::GnssSystem::BeiDou);
constexpr int kDemoBaud = 38400;
// A slow walk to the north-east (m/s east, north, up): the velocity arrows and the tracks have
// something to show, and the walkers stay inside the track maps' 100 m ring for about four minutes.
constexpr vrnsim::Vec3 kDemoVelocity{0.3, 0.25, 0.0};
}  // namespace

CDemoMode::CDemoMode() = default;
CDemoMode::~CDemoMode() = default;

QString CDemoMode::DemoProfilePath()
{
    QString state = QString::fromLocal8Bit(qgetenv("XDG_STATE_HOME"));
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/vrnrcvr/demo.ini");
}

bool CDemoMode::Prepare(bool ownProfile, QString& error)
{
    if (ownProfile)
    {
        const QString path = DemoProfilePath();
        if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        {
            error = QStringLiteral("cannot create the folder of %1").arg(path);
            return false;
        }
        CAppSettings::SetProfilePath(path.toStdString());
    }
    auto receivers = std::make_unique<Receivers>();
    for (std::size_t port = 0; port < receivers->receivers.size(); ++port)
    {
        vrnsim::SimulatedReceiverOptions options;
        options.stream.protocol = kDemoProtocols[port];
        options.stream.seed = port + 1;
        options.stream.velocityEnu = kDemoVelocity;
        if (options.stream.protocol == vrnsim::SimProtocol::Nmea)
        {
            options.stream.systems = kDemoSystems;
            options.stream.nmeaVersion = vrnsim::NmeaVersion::V411;
        }
        options.baud = kDemoBaud;
        receivers->receivers[port] = std::make_unique<vrnsim::CSimulatedReceiver>(options);
        std::string why;
        if (!receivers->receivers[port]->Start(why))
        {
            error = QStringLiteral("simulated receiver %1: %2").arg(port + 1).arg(QString::fromStdString(why));
            return false;
        }
        receivers->devices[port] = QString::fromStdString(receivers->receivers[port]->DevicePath());
    }
    // Point the ports at the simulated receivers; receiver 1 runs in "Test" mode.
    const std::string baud = std::to_string(kDemoBaud);
    bool written = CAppSettings::WriteProfileText("Data Sources", "MeasSerialPort", receivers->devices[0].toStdString()) &&
                   CAppSettings::WriteProfileText("Data Sources", "MeasSerialBaud", baud) &&
                   CAppSettings::WriteProfileText("Data Sources", "MeasSerialPort2", receivers->devices[1].toStdString()) &&
                   CAppSettings::WriteProfileText("Data Sources", "MeasSerialBaud2", baud) &&
                   CAppSettings::WriteProfileInt("ReceiverInit1", "Protocol", 2) &&
                   CAppSettings::WriteProfileInt("ReceiverInit2", "Protocol", 0);
    if (!written)
    {
        error = QStringLiteral("cannot write the profile %1").arg(QString::fromStdString(CAppSettings::ProfilePath()));
        return false;
    }
    m_receivers = std::move(receivers);
    return true;
}

bool CDemoMode::Running() const { return m_receivers != nullptr; }

QString CDemoMode::DevicePath(int port) const
{
    return m_receivers ? m_receivers->devices[port == 0 ? 0U : 1U] : QString();
}
}  // namespace vrn::gui
