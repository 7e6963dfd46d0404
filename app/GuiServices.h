// Services the GUI uses for what tests must see or replace: message boxes and file dialogs.
// All calls are made on the UI thread.
#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "link/UbxCommands.h"

class QWidget;

namespace vrn::gui
{
inline constexpr const char* kAppTitle = "VRNRcvr Demo";

// A modal message box with the application title and an OK button.
void ShowMessage(QWidget* parent, const QString& text);
// Replaces the message box (tests record the texts instead); an empty handler restores the box.
using MessageHandler = std::function<void(QWidget* parent, const QString& text)>;
void SetMessageHandler(MessageHandler handler);

struct FileDialogRequest
{
    bool save = false;         // save dialog (any name) or open dialog (existing files only)
    QString title;
    QString initialName;
    QString filter;            // Qt filter text, entries separated by ";;"
    QString defaultSuffix;     // appended to a typed name without one
};
// The chosen path, or nothing when the dialog was cancelled.
std::optional<QString> AskFileName(QWidget* parent, const FileDialogRequest& request);
using FileDialogHandler = std::function<std::optional<QString>(QWidget*, const FileDialogRequest&)>;
void SetFileDialogHandler(FileDialogHandler handler);

// The UBX command link of the running ports, installed by the main frame while it exists: whether
// port `port` (0 or 1) runs in a UBX mode with a source that passes commands on (not gpsd, not a
// recording), and queueing a command for it (false when it does not).
struct UbxCommandLink
{
    std::function<bool(int port)> running;
    std::function<bool(int port, const vrn::UbxRequest& request)> send;
};
void SetUbxCommandLink(UbxCommandLink link);
[[nodiscard]] const UbxCommandLink& GetUbxCommandLink();
}  // namespace vrn::gui
