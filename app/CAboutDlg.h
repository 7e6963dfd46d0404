// The About box (template 100): program icon, name and version, the receivers' versions, OK.
#pragma once

#include "app/CTemplateDialog.h"

namespace vrn::gui
{
class CAboutDlg : public CTemplateDialog
{
    Q_OBJECT
public:
    static constexpr int kReceiverLine = 1170;  // "Receiver 1: SW ..., HW ..." (empty when none reported)
    explicit CAboutDlg(QWidget* parent) : CTemplateDialog(res::kIddAbout, parent) {}
};
}  // namespace vrn::gui
