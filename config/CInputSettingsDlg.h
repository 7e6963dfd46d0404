// The Input Settings dialog (template 110): serial port and baud rate of each receiver, and through
// the two "Advanced" buttons the Receiver Initialization dialog of each. Edits "Data Sources".
#pragma once

#include "app/CTemplateDialog.h"
#include "config/CAppSettings.h"

namespace vrn::gui
{
class CInputSettingsDlg : public CTemplateDialog
{
    Q_OBJECT
public:
    explicit CInputSettingsDlg(QWidget* parent);

    // The first opening of a run has Cancel disabled (and ignores Escape and the close box).
    static bool IsFirstOpening();
    static void ResetFirstOpening();

    [[nodiscard]] const CAppSettings& Settings() const { return m_settings; }

    // Port names the lists offer besides "COM1".."COM4": the serial devices present
    // (/dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM*, /dev/serial/by-id/*), in natural order.
    static QStringList SerialDevices();

protected:
    void OnInitDialog() override;
    void OnOK() override;
    void OnCommand(int id) override;

private:
    void FillControls();
    void ReadControls();
    void ApplyEnablingRule();
    // False after showing the first failing check's message and moving the focus.
    bool CheckInput();
    void AddPortItems();
    // A receiver's port list: the selected item, or a typed network name or device path; empty
    // otherwise.
    [[nodiscard]] QString PortListText(int id) const;
    // Shows a stored port name: its item, the first item it begins, or (for a network name or a
    // device path) the name as typed.
    void SelectPortList(int id, const QString& text);

    CAppSettings m_settings;
    int m_truthActive = 0;
    int m_measuredActive = 0;
};
}  // namespace vrn::gui
