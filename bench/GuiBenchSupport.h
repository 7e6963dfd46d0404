// Set-up shared by the benchmarks that run the whole program: a temporary folder as the profile's
// and the logs' home (so a run never lands in the user's home), Qt on its offscreen platform, and
// the program's message boxes printed instead of shown.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <stdlib.h>

#include "app/GuiServices.h"

namespace vrnbench
{
// The folder made, or empty when none could be made.
inline std::string IsolateProgram(const char* folderPrefix)
{
    std::string folder = (std::filesystem::temp_directory_path() / (std::string(folderPrefix) + "-XXXXXX")).string();
    if (::mkdtemp(folder.data()) == nullptr)
        return {};
    ::setenv("XDG_STATE_HOME", folder.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    vrn::gui::SetMessageHandler([](QWidget*, const QString& text) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    });
    return folder;
}
}  // namespace vrnbench
