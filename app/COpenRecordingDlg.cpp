// Open Recording dialog; see the header.
#include "app/COpenRecordingDlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/GuiServices.h"
#include "link/ChunkParser.h"

namespace vrn::gui
{
COpenRecordingDlg::COpenRecordingDlg(int port, int mode, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("openRecordingDialog"));
    setWindowTitle(QStringLiteral("Open Recording"));
    auto* form = new QFormLayout(this);

    auto* fileRow = new QHBoxLayout;
    m_file = new QLineEdit(this);
    m_file->setObjectName(QStringLiteral("recordingFile"));
    m_file->setMinimumWidth(280);
    auto* browse = new QPushButton(QStringLiteral("Browse..."), this);
    browse->setObjectName(QStringLiteral("browse"));
    connect(browse, &QPushButton::clicked, this, &COpenRecordingDlg::Browse);
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(browse);
    form->addRow(QStringLiteral("Recording:"), fileRow);

    auto* portRow = new QHBoxLayout;
    m_ports = new QButtonGroup(this);
    for (int i = 0; i < 2; ++i)
    {
        auto* radio = new QRadioButton(QStringLiteral("Port %1").arg(i + 1), this);
        radio->setObjectName(QStringLiteral("port%1").arg(i + 1));
        m_ports->addButton(radio, i);
        portRow->addWidget(radio);
    }
    m_ports->button(port == 0 ? 0 : 1)->setChecked(true);
    connect(m_ports, &QButtonGroup::idClicked, this, &COpenRecordingDlg::PortChanged);
    form->addRow(QStringLiteral("Play as:"), portRow);

    m_protocol = new QComboBox(this);
    m_protocol->setObjectName(QStringLiteral("protocol"));
    m_protocol->addItem(QStringLiteral("NMEA"), kModeNmea);
    m_protocol->addItem(QStringLiteral("Talvoren"), kModeBinary);
    m_protocol->addItem(QStringLiteral("Test"), kModeTest);
    m_protocol->addItem(QStringLiteral("UBX"), kModeUbx);
    m_protocol->addItem(QStringLiteral("UBX Test"), kModeUbxOwnFix);
    // The items stand at the index of their mode; a mode outside them reads as binary.
    m_protocol->setCurrentIndex(EffectivePortMode(0, mode));
    form->addRow(QStringLiteral("Protocol:"), m_protocol);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &COpenRecordingDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COpenRecordingDlg::reject);
    form->addRow(buttons);
    PortChanged();
}

QString COpenRecordingDlg::FileName() const { return m_file->text().trimmed(); }
int COpenRecordingDlg::Port() const { return m_ports->checkedId() == 1 ? 1 : 0; }
int COpenRecordingDlg::Mode() const { return m_protocol->currentData().toInt(); }

void COpenRecordingDlg::Browse()
{
    FileDialogRequest request;
    request.title = QStringLiteral("Open Recording");
    request.filter = QStringLiteral("Raw recordings (*.raw *.bin);;All Files (*)");
    request.initialName = FileName();
    if (const auto path = AskFileName(this, request))
        m_file->setText(*path);
}

void COpenRecordingDlg::PortChanged()
{
    // The own fix is receiver 1's: port 2 reads a Test recording as binary, a UBX Test one as UBX.
    m_protocol->setCurrentIndex(EffectivePortMode(Port(), Mode()));
}

void COpenRecordingDlg::accept()
{
    const QString file = FileName();
    if (file.isEmpty())
    {
        ShowMessage(this, QStringLiteral("A file name is required to play a recording."));
        m_file->setFocus();
        return;
    }
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable())
    {
        ShowMessage(this, QStringLiteral("The specified file cannot be found."));
        m_file->setFocus();
        return;
    }
    PortChanged();
    QDialog::accept();
}
}  // namespace vrn::gui
