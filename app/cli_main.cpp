// fablecraft-cli: the text-mode player and storage tools over the same core.
#include "app/cli_commands.h"

#include <QCoreApplication>
#include <QTextStream>

namespace fc::cli {

int usageError(const char *command, const QString &why)
{
    QTextStream err(stderr);
    if (!why.isEmpty())
        err << "fablecraft-cli " << command << ": " << why << '\n';
    err << kUsage;
    return kExitUsage;
}

int stepUnavailable(const QString &step)
{
    QTextStream(stderr) << step << " is not available\n";
    return kExitUnavailable;
}

} // namespace fc::cli

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString command = args.isEmpty() ? QString() : args.takeFirst();
    if (command == QLatin1String("ini"))
        return fc::cli::runIni(args);
    if (command == QLatin1String("play"))
        return fc::cli::runPlay(args);
    if (command == QLatin1String("edit"))
        return fc::cli::runEdit(args);
    if (command == QLatin1String("compile"))
        return fc::cli::runCompile(args);
    if (command == QLatin1String("check"))
        return fc::cli::runCheck(args);
    if (command == QLatin1String("playtest"))
        return fc::cli::runPlaytest(args);
    if (command == QLatin1String("export-web"))
        return fc::cli::runExportWeb(args);
    if (command == QLatin1String("map"))
        return fc::cli::runMap(args);
    QTextStream(stderr) << fc::cli::kUsage;
    return fc::cli::kExitUsage;
}
