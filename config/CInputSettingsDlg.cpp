// Input Settings dialog.
#include "config/CInputSettingsDlg.h"

#include <QCollator>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <atomic>
#include <optional>

#include "app/CoreServices.h"
#include "app/GuiServices.h"
#include "config/CReceiverInitDlg.h"
#include "link/ByteSource.h"

namespace vrn::gui
{
namespace
{
std::atomic<bool> g_firstOpening{true};

// Control ids of template 110.
constexpr int kDataSourceSimulated = 1016;  // radio group: 1016, 1019
constexpr int kSimulatorCheck = 1004;
constexpr int kTrueSourceFile = 1005;  // radio group: 1005, 1008
constexpr int kTrueSourceSerial = 1008;
constexpr int kTrueFileEdit = 1006;
constexpr int kTrueBrowse = 1007;
constexpr int kTruePortList = 1009;
constexpr int kTrueBaudLabel = 1038;
constexpr int kTrueBaudList = 1061;
constexpr int kTrueWeekEdit = 1032;
constexpr int kTrueTowEdit = 1033;
constexpr int kReceiverCheck = 1010;
constexpr int kMeasSourceFile = 1022;  // radio group: 1022, 1014, 1017
constexpr int kMeasSourcePort1 = 1014;
constexpr int kMeasSourcePort2 = 1017;
constexpr int kMeasFileEdit = 1024;
constexpr int kMeasBrowse = 1025;
constexpr int kMeasFormatLabel = 1039;
constexpr int kMeasFormatList = 1062;
constexpr int kPort1List = 1015;
constexpr int kBaud1Label = 1037;
constexpr int kBaud1List = 1060;
constexpr int kAdvanced1 = 1115;
constexpr int kPort2List = 1018;
constexpr int kBaud2Label = 1040;
constexpr int kBaud2List = 1063;
constexpr int kAdvanced2 = 1116;
constexpr int kDataSourceReceived = 1019;

const QString kPortMissing = QStringLiteral(
    "A serial port is required to load measured data from a serial connection. Return to data source setup.");
const QString kBaudMissing = QStringLiteral(
    "A baud rate is required to load measured data from a serial connection. Return to data source setup.");

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

// A port name the lists take as typed: a network source or a device path.
bool IsTypedPortName(const QString& text)
{
    const QString trimmed = text.trimmed();
    return trimmed.startsWith(QLatin1Char('/')) || vrn::IsNetworkSourceName(S(trimmed));
}
}  // namespace

CInputSettingsDlg::CInputSettingsDlg(QWidget* parent) : CTemplateDialog(res::kIddInputSettings, parent) {}

bool CInputSettingsDlg::IsFirstOpening() { return g_firstOpening.load(); }
void CInputSettingsDlg::ResetFirstOpening() { g_firstOpening.store(true); }

QStringList CInputSettingsDlg::SerialDevices()
{
    QStringList devices;
    const QDir dev(QStringLiteral("/dev"));
    for (const QString& name :
         dev.entryList({QStringLiteral("ttyS*"), QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")},
                       QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        devices << dev.filePath(name);
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    for (const QString& name : byId.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))
        devices << byId.filePath(name);
    QCollator collator;
    collator.setNumericMode(true);
    std::sort(devices.begin(), devices.end(), collator);
    return devices;
}

void CInputSettingsDlg::AddPortItems()
{
    QStringList extra = SerialDevices();
    for (const std::string* stored : {&m_settings.MeasSerialPort, &m_settings.MeasSerialPort2,
                                      &m_settings.TrueSerialPort})
        if (IsTypedPortName(Q(*stored)) && !extra.contains(Q(*stored)))
            extra << Q(*stored);
    for (int id : {kTruePortList, kPort1List, kPort2List})
        if (auto* combo = qobject_cast<QComboBox*>(Control(id)))
        {
            combo->addItems(extra);
            combo->setCurrentIndex(-1);
        }
    // The receivers' lists also take a typed name: tcp://HOST:PORT, gpsd://HOST[:PORT][/DEVICE] or a
    // device path. Other typed text counts as no selection, as in a plain list.
    for (int id : {kPort1List, kPort2List})
        if (auto* combo = qobject_cast<QComboBox*>(Control(id)))
        {
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setCurrentIndex(-1);
            combo->setToolTip(QStringLiteral("A serial port, a device path, tcp://HOST:PORT or "
                                             "gpsd://HOST[:PORT][/DEVICE]"));
        }
}

QString CInputSettingsDlg::PortListText(int id) const
{
    auto* combo = qobject_cast<QComboBox*>(Control(id));
    if (!combo)
        return {};
    const QString typed = combo->currentText().trimmed();
    if (combo->currentIndex() >= 0 && combo->itemText(combo->currentIndex()) == combo->currentText())
        return combo->currentText();
    return IsTypedPortName(typed) ? typed : QString();
}

void CInputSettingsDlg::SelectPortList(int id, const QString& text)
{
    auto* combo = qobject_cast<QComboBox*>(Control(id));
    if (!combo)
        return;
    // A name given in full selects itself, not a longer one it begins (tcp://h:1 vs tcp://h:10).
    const int exact = text.isEmpty() ? -1 : combo->findText(text, Qt::MatchFixedString);
    if (exact >= 0)
    {
        combo->setCurrentIndex(exact);
        return;
    }
    SelectListPrefix(id, text);
    if (combo->currentIndex() < 0 && combo->isEditable())
        combo->setEditText(IsTypedPortName(text) ? text : QString());
}

void CInputSettingsDlg::OnInitDialog()
{
    m_settings.LoadDataSources();
    AddPortItems();
    FillControls();
    SetChecked(kReceiverCheck, true);
    for (int id : {kTruePortList, kPort1List, kPort2List})
        SetExtendedUI(id);
    if (g_firstOpening.exchange(false))
        Enable(kIdCancel, false);
    ApplyEnablingRule();
}

void CInputSettingsDlg::FillControls()
{
    SetRadioIndex(kDataSourceSimulated, m_settings.DataSource);
    SetChecked(kSimulatorCheck, m_settings.UseTrue != 0);
    SetRadioIndex(kTrueSourceFile, m_settings.TrueSource);
    SetText(kTrueFileEdit, Q(m_settings.TrueFileName));
    SelectListPrefix(kTruePortList, Q(m_settings.TrueSerialPort));
    SelectListPrefix(kTrueBaudList, Q(m_settings.TrueSerialBaud));
    SetText(kTrueWeekEdit, Q(m_settings.TrueWeekNo));
    SetText(kTrueTowEdit, Q(m_settings.TrueTOW));
    SetChecked(kReceiverCheck, m_settings.UseMeas != 0);
    SetRadioIndex(kMeasSourceFile, m_settings.MeasSource);
    SetText(kMeasFileEdit, Q(m_settings.MeasBFileName));
    SelectListPrefix(kMeasFormatList, Q(m_settings.MeasBFileType));
    SelectPortList(kPort1List, Q(m_settings.MeasSerialPort));
    SelectListPrefix(kBaud1List, Q(m_settings.MeasSerialBaud));
    SelectPortList(kPort2List, Q(m_settings.MeasSerialPort2));
    SelectListPrefix(kBaud2List, Q(m_settings.MeasSerialBaud2));
}

void CInputSettingsDlg::ReadControls()
{
    m_settings.DataSource = RadioIndex(kDataSourceSimulated);
    m_settings.UseTrue = IsChecked(kSimulatorCheck) ? 1 : 0;
    m_settings.TrueSource = RadioIndex(kTrueSourceFile);
    m_settings.TrueFileName = S(Text(kTrueFileEdit));
    m_settings.TrueSerialPort = S(ListText(kTruePortList));
    m_settings.TrueSerialBaud = S(ListText(kTrueBaudList));
    m_settings.TrueWeekNo = S(Text(kTrueWeekEdit));
    m_settings.TrueTOW = S(Text(kTrueTowEdit));
    m_settings.UseMeas = IsChecked(kReceiverCheck) ? 1 : 0;
    m_settings.MeasSource = RadioIndex(kMeasSourceFile);
    m_settings.MeasBFileName = S(Text(kMeasFileEdit));
    m_settings.MeasBFileType = S(ListText(kMeasFormatList));
    m_settings.MeasSerialPort = S(PortListText(kPort1List));
    m_settings.MeasSerialBaud = S(ListText(kBaud1List));
    m_settings.MeasSerialPort2 = S(PortListText(kPort2List));
    m_settings.MeasSerialBaud2 = S(ListText(kBaud2List));
}

void CInputSettingsDlg::ApplyEnablingRule()
{
    ReadControls();
    const bool received = m_settings.DataSource == 1;
    const bool truth = received && m_settings.UseTrue != 0;
    const bool measured = received && m_settings.UseMeas != 0;
    m_truthActive = truth ? 1 : 0;
    m_measuredActive = measured ? 1 : 0;

    Enable(kSimulatorCheck, received);
    Enable(kTrueSourceFile, truth);
    Enable(kTrueFileEdit, truth && m_settings.TrueSource == 0);
    Enable(kTrueBrowse, truth && m_settings.TrueSource == 0);
    for (int id = 1032; id <= 1036; ++id)
        Enable(id, truth);
    for (int id : {kTrueSourceSerial, kTruePortList, kTrueBaudLabel, kTrueBaudList})
        Enable(id, false);

    Enable(kReceiverCheck, received);
    for (int id : {kMeasSourceFile, kMeasSourcePort1, kMeasSourcePort2})
        Enable(id, measured);
    for (int id : {kMeasFileEdit, kMeasBrowse, kMeasFormatList, kMeasFormatLabel})
        Enable(id, measured && m_settings.MeasSource == 0);
    for (int id : {kPort1List, kBaud1Label, kBaud1List, kAdvanced1})
        Enable(id, measured && m_settings.MeasSource > 0);
    for (int id : {kPort2List, kBaud2Label, kBaud2List, kAdvanced2})
        Enable(id, measured && m_settings.MeasSource == 2);
    FillControls();
}

void CInputSettingsDlg::OnCommand(int id)
{
    switch (id)
    {
    case kSimulatorCheck:
    case kTrueSourceFile:
    case kTrueSourceSerial:
    case kMeasSourcePort1:
    case kDataSourceSimulated:
    case kMeasSourcePort2:
    case kDataSourceReceived:
    case kMeasSourceFile: ApplyEnablingRule(); break;
    case kReceiverCheck: SetChecked(kReceiverCheck, true); break;
    case kTrueBrowse:
    {
        FileDialogRequest request;
        request.title = QStringLiteral("Select Simulator (Truth) File");
        request.filter = QStringLiteral("All Files (*)");
        if (const auto path = AskFileName(this, request))
            SetText(kTrueFileEdit, *path);
        break;
    }
    case kMeasBrowse:
    {
        FileDialogRequest request;
        request.title = QStringLiteral("Specify a Binary Source Data File");
        request.filter = QStringLiteral("All Files (*)");
        if (const auto path = AskFileName(this, request))
            SetText(kMeasFileEdit, *path);
        break;
    }
    case kAdvanced1:
    case kAdvanced2:
    {
        CReceiverInitDlg dialog(id == kAdvanced1 ? 0 : 1, this);
        dialog.DoModal();
        break;
    }
    default: break;
    }
}

bool CInputSettingsDlg::CheckInput()
{
    const CAppSettings& s = m_settings;
    if (s.DataSource != 1)
        return true;
    std::optional<std::pair<QString, int>> failure;
    if (s.UseTrue && s.TrueSource == 0)
    {
        if (s.TrueFileName.empty())
            failure.emplace(QStringLiteral("A file name is required to load true data from a file. Return to "
                                           "data source setup."),
                            kTrueFileEdit);
        else if (s.TrueWeekNo.empty())
            failure.emplace(QStringLiteral("A base week number is required to load true data from a file. "
                                           "Return to data source setup."),
                            kTrueWeekEdit);
        else if (s.TrueTOW.empty())
            failure.emplace(QStringLiteral("A base time of week is required to load true data from a file. "
                                           "Return to data source setup."),
                            kTrueTowEdit);
    }
    else if (s.UseTrue && s.TrueSource == 1)
    {
        if (s.TrueSerialPort.empty())
            failure.emplace(QStringLiteral("A serial port is required to load true data from a serial connection."),
                            kTruePortList);
        else if (s.TrueSerialBaud.empty())
            failure.emplace(QStringLiteral("A baud rate is required to load true data from a serial connection."),
                            kTruePortList);
    }
    if (!failure && s.UseMeas)
    {
        if (s.MeasSource == 0)
        {
            if (s.MeasBFileName.empty())
                failure.emplace(QStringLiteral("A file name is required to load measured data from a file."),
                                kMeasFileEdit);
            else if (QFile file(Q(s.MeasBFileName)); !file.open(QIODevice::ReadOnly))
                failure.emplace(QStringLiteral("The specified file cannot be found."), kMeasFileEdit);
            else if (s.MeasBFileType.empty())
                failure.emplace(QStringLiteral("A file type is required to load measured data from a file."),
                                kMeasFormatList);
        }
        else if (s.MeasSource > 0)
        {
            if (s.MeasSerialPort.empty())
                failure.emplace(kPortMissing, kPort1List);
            else if (s.MeasSource == 1 && s.MeasSerialBaud.empty())
                failure.emplace(kBaudMissing, kPort1List);
            // The port-2 checks come after port 1's whatever their result, and win.
            if (s.MeasSource == 2)
            {
                if (s.MeasSerialPort2.empty())
                    failure.emplace(kPortMissing, kPort2List);
                else if (s.MeasSerialBaud2.empty())
                    failure.emplace(kBaudMissing, kBaud2List);
            }
        }
    }
    if (!failure)
        return true;
    ShowMessage(this, failure->first);
    GotoControl(failure->second);
    return false;
}

void CInputSettingsDlg::OnOK()
{
    ReadControls();
    // The Receiver Initialization dialog may have written MeasRI meanwhile: save it back unchanged.
    m_settings.MeasRI = CAppSettings::ReadProfileInt("Data Sources", "MeasRI", 1);
    if (vrn::DebugSwitch())
        if (QWidget* main = parentWidget() ? parentWidget()->window() : nullptr)
            main->setWindowTitle(QStringLiteral("VRNRcvr Demo on ") + Q(m_settings.MeasSerialPort));
    if (!CheckInput())
        return;
    if (!m_settings.SaveDataSources())
        ShowMessage(this, QStringLiteral("The settings could not be written to %1.")
                              .arg(Q(CAppSettings::ProfilePath())));
    EndDialog(kIdOk);
}
}  // namespace vrn::gui
