// fablecraft-cli ini get|set: the profile store from the command line, through
// the same ReadIni / WriteIni the program uses.
#include "app/cli_commands.h"

#include "storage/aohider.h"

#include <cstdio>

namespace fc::cli {

namespace {

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

} // namespace

int runIni(const QStringList &args)
{
    const QString verb = args.value(0);
    if (verb == QLatin1String("get") && args.size() == 4) {
        const QByteArray out = ReadIni(args[1], args[2], args[3]).toUtf8() + '\n';
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (verb == QLatin1String("set") && args.size() == 5) {
        // WriteIni itself reports nothing; a tool must not claim success for
        // a write that did not happen, so ask the checked variant.
        QString error;
        if (!WriteIniChecked(args[1], args[2], args[3], args[4], &error)) {
            const QByteArray msg = "fablecraft-cli: cannot write " + args[1].toUtf8() + ": " + error.toUtf8() + '\n';
            std::fputs(msg.constData(), stderr);
            return 1;
        }
        return 0;
    }
    return usage();
}

} // namespace fc::cli
