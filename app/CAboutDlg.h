// The About box (template 100): program icon, name and version, OK.
#pragma once

#include "app/CTemplateDialog.h"

namespace vrn::gui
{
class CAboutDlg : public CTemplateDialog
{
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent) : CTemplateDialog(res::kIddAbout, parent) {}
};
}  // namespace vrn::gui
