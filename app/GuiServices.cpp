// Message box and file dialog services.
#include "app/GuiServices.h"

#include <QFileDialog>
#include <QMessageBox>
#include <utility>

namespace vrn::gui
{
namespace
{
MessageHandler& Handler()
{
    static MessageHandler handler;
    return handler;
}
FileDialogHandler& FileHandler()
{
    static FileDialogHandler handler;
    return handler;
}
}  // namespace

void ShowMessage(QWidget* parent, const QString& text)
{
    if (Handler())
    {
        Handler()(parent, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle), text, QMessageBox::Ok, parent);
    box.exec();
}

void SetMessageHandler(MessageHandler handler) { Handler() = std::move(handler); }

std::optional<QString> AskFileName(QWidget* parent, const FileDialogRequest& request)
{
    if (FileHandler())
        return FileHandler()(parent, request);
    QFileDialog dialog(parent, request.title, request.initialName, request.filter);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.initialName.isEmpty())
        dialog.selectFile(request.initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

void SetFileDialogHandler(FileDialogHandler handler) { FileHandler() = std::move(handler); }

namespace
{
UbxCommandLink& Link()
{
    static UbxCommandLink link;
    return link;
}
}  // namespace

void SetUbxCommandLink(UbxCommandLink link) { Link() = std::move(link); }

const UbxCommandLink& GetUbxCommandLink() { return Link(); }
}  // namespace vrn::gui
