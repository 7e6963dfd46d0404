// The question asked when a chosen log file exists (template 103): overwrite, append or reselect.
#pragma once

#include "app/CTemplateDialog.h"

namespace vrn::gui
{
class CFileExistsDlg : public CTemplateDialog
{
    Q_OBJECT
public:
    static constexpr int kAppend = 1;
    static constexpr int kOverwrite = 2;
    static constexpr int kReselect = 3;

    explicit CFileExistsDlg(QWidget* parent) : CTemplateDialog(res::kIddFileExists, parent) {}

    // kAppend, kOverwrite or kReselect (also after Escape or the close box); 0 before an answer.
    [[nodiscard]] int Answer() const { return m_answer; }

protected:
    void OnCommand(int id) override;
    // Escape and the close box give no answer of their own: they count as "Reselect".
    void OnCancel() override;

private:
    int m_answer = 0;
};
}  // namespace vrn::gui
