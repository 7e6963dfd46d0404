// Demo mode: simulated receivers and the demo profile.
#include "app/CDemoMode.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <array>

#include "config/CAppSettings.h"

namespace vrn::gui
{
struct CDemoMode::Receivers
{
    std::array<QString, 2> devices;
};

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
    return true;
}

bool CDemoMode::Running() const { return m_receivers != nullptr; }

QString CDemoMode::DevicePath(int port) const
{
    return m_receivers ? m_receivers->devices[port == 0 ? 0U : 1U] : QString();
}
}  // namespace vrn::gui
