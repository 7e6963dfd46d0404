// Log File Settings dialog.
#include "config/CLogFileSettingsDlg.h"

#include <QFile>
#include <filesystem>
#include <system_error>

#include "app/GuiServices.h"
#include "config/CFileExistsDlg.h"

namespace vrn::gui
{
namespace
{
constexpr int kFileEdit = 1097;
constexpr int kBrowse = 1098;
constexpr int kBinaryGroup = 1151;
constexpr int kNmeaGroup = 1152;
// Check boxes in the order of the flags: NAV, DOP, SV, MEAS, GGA, GLL, GSA, GSV, RMC, VTG.
constexpr std::array<int, CAppSettings::kLogMessageCount> kFlagIds{1131, 1132, 1133, 1150, 1134,
                                                                   1135, 1136, 1137, 1138, 1139};
constexpr std::size_t kBinaryKinds = 4;  // the first four flags belong to the binary protocol
}  // namespace

CLogFileSettingsDlg::CLogFileSettingsDlg(int port, QWidget* parent)
    : CTemplateDialog(res::kIddLogFileSettings, parent), m_port(port == 0 ? 0 : 1)
{
}

void CLogFileSettingsDlg::OnInitDialog()
{
    FillControls();
    // Only the message group of the receiver's protocol can be chosen.
    const int protocol = CAppSettings::ReadProfileInt(m_port == 0 ? "ReceiverInit1" : "ReceiverInit2", "Protocol", 0);
    const bool binary = protocol != 0;
    Enable(binary ? kNmeaGroup : kBinaryGroup, false);
    for (std::size_t i = 0; i < kFlagIds.size(); ++i)
        if ((i < kBinaryKinds) != binary)
            Enable(kFlagIds[i], false);

    m_settings.LoadLogging(m_port);
    const auto port = static_cast<std::size_t>(m_port);
    m_fileName = QString::fromStdString(m_settings.LogFileName[port]);
    for (std::size_t i = 0; i < m_flags.size(); ++i)
        m_flags[i] = m_settings.LogEnable[i][port];
    FillControls();
}

void CLogFileSettingsDlg::FillControls()
{
    SetText(kFileEdit, m_fileName);
    for (std::size_t i = 0; i < kFlagIds.size(); ++i)
        SetChecked(kFlagIds[i], m_flags[i] != 0);
}

void CLogFileSettingsDlg::ReadControls()
{
    m_fileName = Text(kFileEdit);
    for (std::size_t i = 0; i < kFlagIds.size(); ++i)
        m_flags[i] = IsChecked(kFlagIds[i]) ? 1 : 0;
}

void CLogFileSettingsDlg::OnCommand(int id)
{
    if (id != kBrowse)
        return;
    FileDialogRequest request;
    request.save = true;
    request.title = QStringLiteral("Specify a Name for the Log File");
    request.initialName = QString::fromStdString(m_settings.LogFileName[static_cast<std::size_t>(m_port)]);
    request.filter = QStringLiteral("Log Files (*.log);;All Files (*)");
    request.defaultSuffix = QStringLiteral("log");
    if (const auto path = AskFileName(this, request))
        SetText(kFileEdit, *path);
}

void CLogFileSettingsDlg::OnOK()
{
    ReadControls();
    if (m_fileName.isEmpty())
    {
        ShowMessage(this, QStringLiteral("A filename is required for output to a Log File."));
        GotoControl(kFileEdit);
        return;
    }
    const std::filesystem::path path(m_fileName.toStdString());
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    // A pipe or a device could hold the port's reader up in every write: only regular files log.
    // (A folder falls through to the creation below, which refuses it.)
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
        !std::filesystem::is_directory(status))
    {
        ShowMessage(this, QStringLiteral("The log file must be a regular file."));
        GotoControl(kFileEdit);
        return;
    }
    if (std::filesystem::is_regular_file(status))
    {
        CFileExistsDlg question(this);
        question.DoModal();
        const int answer = question.Answer();
        if (answer != CFileExistsDlg::kAppend && answer != CFileExistsDlg::kOverwrite)
            return;  // reselect: stay in the dialog
        if (answer == CFileExistsDlg::kOverwrite)
        {
            // Emptied at once, before any logging starts.
            QFile file(m_fileName);
            (void)file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        }
    }
    else
    {
        // Not a regular file (a directory, or nothing yet): create it; a folder fails here.
        QFile file(m_fileName);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        {
            ShowMessage(this, QStringLiteral("Log File can not be created as specified.  Check if path is correct."));
            GotoControl(kFileEdit);
            return;
        }
    }
    const auto port = static_cast<std::size_t>(m_port);
    m_settings.LogFileName[port] = m_fileName.toStdString();
    for (std::size_t i = 0; i < m_flags.size(); ++i)
        m_settings.LogEnable[i][port] = m_flags[i];
    if (!m_settings.SaveLogging(m_port))
        ShowMessage(this, QStringLiteral("The settings could not be written to %1.")
                              .arg(QString::fromStdString(CAppSettings::ProfilePath())));
    EndDialog(kIdOk);
}
}  // namespace vrn::gui
