// The command line of vrnrcvr: the program's own long options (--demo, --profile FILE,
// --exit-after SECONDS, --screenshots DIR, --log PORT) and the classic switches found anywhere in the rest.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace vrn::gui
{
struct ProgramOptions
{
    bool demo = false;
    QString profile;                       // empty: the default profile
    std::optional<int> exitAfterSeconds;   // scripted run
    QString screenshotDir;                 // save the main window and every dialog, then exit
    std::array<bool, 2> logPorts{};        // start (if stopped) and log these ports after start-up
    bool help = false;
    QStringList rest;                      // the arguments left after the options, program path excluded
};

// Takes the program's own options out of `arguments` (arguments[0] is the program path; Qt has
// already removed its own options). Empty result and a one-line reason in `error` for a bad option.
std::optional<ProgramOptions> ParseProgramOptions(const QStringList& arguments, QString& error);

struct ClassicSwitches
{
    bool debug = false;
    bool trace = false;
};
// The rest of the command line joined with blanks and lower-cased: "/d" or "-d" anywhere turns the
// debug switch on, "/t" or "-t" the trace switch.
ClassicSwitches ReadClassicSwitches(const QStringList& rest);

QString ProgramUsage();
}  // namespace vrn::gui
