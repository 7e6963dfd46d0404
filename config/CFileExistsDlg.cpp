// File-exists question.
#include "config/CFileExistsDlg.h"

namespace vrn::gui
{
namespace
{
constexpr int kOverwriteButton = 1099;
constexpr int kAppendButton = 1100;
constexpr int kReselectButton = 7;
}  // namespace

void CFileExistsDlg::OnCommand(int id)
{
    if (id == kOverwriteButton)
        m_answer = kOverwrite;
    else if (id == kAppendButton)
        m_answer = kAppend;
    else if (id == kReselectButton)
        m_answer = kReselect;
    else
        return;
    EndDialog(kIdOk);
}

void CFileExistsDlg::OnCancel()
{
    m_answer = kReselect;
    EndDialog(kIdOk);
}
}  // namespace vrn::gui
