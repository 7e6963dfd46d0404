// The About box (template 100): program icon, name and version, the receivers' versions, OK.
#pragma once

#include <QStringList>

#include "app/CTemplateDialog.h"
#include "link/CFeedDoc.h"

namespace vrn::gui
{
class CAboutDlg : public CTemplateDialog
{
    Q_OBJECT
public:
    static constexpr int kReceiverLine = 1170;  // "Receiver 1: SW ..., HW ..." (empty when none reported)
    explicit CAboutDlg(QWidget* parent) : CTemplateDialog(res::kIddAbout, parent) {}

    // One line per receiver that reported its version (MON-VER): "Receiver 1: SW ..., HW ...".
    static QString ReceiverText(const vrn::CFeedDoc& feed)
    {
        QStringList lines;
        for (int port = 0; port < 2; ++port)
        {
            const std::string version = feed.ReceiverVersion(port);
            if (!version.empty())
                lines.append(QStringLiteral("Receiver %1: %2").arg(port + 1).arg(QString::fromStdString(version)));
        }
        return lines.join(QLatin1Char('\n'));
    }
};
}  // namespace vrn::gui
