// vrnrcvr: the Qt program. Qt takes its own options first, then the program's.
#include <QApplication>
#include <clocale>
#include <cstdio>

#include "app/CMonitorApp.h"
#include "app/ProgramOptions.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // Qt switches the C library to the user's locale; numbers in profiles, logs and dialogs use '.'.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("vrnrcvr"));

    QString error;
    const auto options = vrn::gui::ParseProgramOptions(QApplication::arguments(), error);
    if (!options)
    {
        std::fprintf(stderr, "vrnrcvr: %s\n%s", qPrintable(error), qPrintable(vrn::gui::ProgramUsage()));
        return 2;
    }
    if (options->help)
    {
        std::fputs(qPrintable(vrn::gui::ProgramUsage()), stdout);
        return 0;
    }
    vrn::gui::CMonitorApp app(*options);
    if (!app.InitInstance())
    {
        app.ExitInstance();
        return 1;
    }
    QApplication::exec();
    return app.ExitInstance();
}
