// The "Open Recording" dialog: which raw recording to play, on which port and in which protocol
// mode. UI thread only.
#pragma once

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QLineEdit;

namespace vrn::gui
{
class COpenRecordingDlg : public QDialog
{
    Q_OBJECT
public:
    // `port` and `mode` preselect the port (0, 1) and the protocol (kModeNmea .. kModeUbxOwnFix;
    // another value preselects binary).
    COpenRecordingDlg(int port, int mode, QWidget* parent = nullptr);

    [[nodiscard]] QString FileName() const;
    [[nodiscard]] int Port() const;
    [[nodiscard]] int Mode() const;

    void accept() override;

private:
    void Browse();
    void PortChanged();

    QLineEdit* m_file = nullptr;
    QButtonGroup* m_ports = nullptr;
    QComboBox* m_protocol = nullptr;
};
}  // namespace vrn::gui
