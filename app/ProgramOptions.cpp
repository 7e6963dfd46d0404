// Command-line options and switches.
#include "app/ProgramOptions.h"

namespace vrn::gui
{
std::optional<ProgramOptions> ParseProgramOptions(const QStringList& arguments, QString& error)
{
    ProgramOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i)
    {
        const QString& arg = arguments[i];
        auto value = [&](const QString& name) -> std::optional<QString> {
            const QString prefix = name + QLatin1Char('=');
            if (arg.startsWith(prefix))
                return arg.mid(prefix.size());
            if (i + 1 >= arguments.size())
            {
                error = QStringLiteral("option %1 needs a value").arg(name);
                return std::nullopt;
            }
            return arguments[++i];
        };
        auto is = [&](const char* name) {
            const QString n = QLatin1String(name);
            return arg == n || arg.startsWith(n + QLatin1Char('='));
        };
        if (arg == QLatin1String("--demo"))
            options.demo = true;
        else if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            options.help = true;
        else if (is("--profile"))
        {
            const auto v = value(QStringLiteral("--profile"));
            if (!v || v->isEmpty())
            {
                if (error.isEmpty())
                    error = QStringLiteral("option --profile needs a file name");
                return std::nullopt;
            }
            options.profile = *v;
        }
        else if (is("--exit-after"))
        {
            const auto v = value(QStringLiteral("--exit-after"));
            if (!v)
                return std::nullopt;
            bool ok = false;
            const int seconds = v->toInt(&ok);
            if (!ok || seconds < 0)
            {
                error = QStringLiteral("option --exit-after needs a whole number of seconds, not \"%1\"").arg(*v);
                return std::nullopt;
            }
            options.exitAfterSeconds = seconds;
        }
        else if (is("--screenshots"))
        {
            const auto v = value(QStringLiteral("--screenshots"));
            if (!v || v->isEmpty())
            {
                if (error.isEmpty())
                    error = QStringLiteral("option --screenshots needs a folder");
                return std::nullopt;
            }
            options.screenshotDir = *v;
        }
        else if (is("--log"))
        {
            const auto v = value(QStringLiteral("--log"));
            if (!v)
                return std::nullopt;
            if (*v != QLatin1String("1") && *v != QLatin1String("2"))
            {
                error = QStringLiteral("option --log needs port 1 or 2, not \"%1\"").arg(*v);
                return std::nullopt;
            }
            options.logPorts[*v == QLatin1String("1") ? 0U : 1U] = true;
        }
        else
            options.rest.push_back(arg);
    }
    return options;
}

ClassicSwitches ReadClassicSwitches(const QStringList& rest)
{
    ClassicSwitches switches;
    if (rest.isEmpty())
        return switches;
    const QString line = rest.join(QLatin1Char(' ')).toLower();
    switches.debug = line.contains(QLatin1String("/d")) || line.contains(QLatin1String("-d"));
    switches.trace = line.contains(QLatin1String("/t")) || line.contains(QLatin1String("-t"));
    return switches;
}

QString ProgramUsage()
{
    return QStringLiteral(
        "Usage: vrnrcvr [--demo] [--profile FILE] [--exit-after SECONDS] [--screenshots DIR] [--log PORT]\n"
        "               [/d] [/t]\n"
        "  --demo              run on two built-in simulated receivers (a profile of its own)\n"
        "  --profile FILE      use FILE as the profile instead of ~/.config/vrnrcvr/vrnrcvr.ini\n"
        "  --exit-after N      scripted run: accept the start-up dialog after 2 s, exit after N s;\n"
        "                      messages go to stderr instead of message boxes\n"
        "  --screenshots DIR   save the main window and every dialog as PNG files in DIR, then exit\n"
        "  --log PORT          once start-up is over, start port 1 or 2 if it is stopped and log it\n"
        "                      (may be given twice); in scripted runs the Log File Settings dialog\n"
        "                      accepts itself\n"
        "  /d or -d            debug switch: decoder errors are reported\n"
        "  /t or -t            trace switch: write the trace file\n");
}
}  // namespace vrn::gui
