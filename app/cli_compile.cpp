// fablecraft-cli compile: packages a quest as a game folder without the
// dialog, through the dialog's own operations.
#include "app/cli_commands.h"

#include "compiler/compiler.h"
#include "engine/recording_ports.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <unistd.h>

namespace fc::cli {

namespace {

int usage(const QString &problem)
{
    QTextStream err(stderr);
    err << "fablecraft-cli compile: " << problem << "\n"
        << "usage: fablecraft-cli compile [--program-dir DIR] QUEST NAME --into DIR [--runtime] [--media]\n"
        << "                              [--allow-outside] [--replace]\n"
        << "  Writes the game NAME into DIR/NAME: the player program as NAME, the quest as NAME.qst and\n"
        << "  game.dat. --runtime adds the libraries, plugins and SoundFont the game needs to run where\n"
        << "  Fablecraft is not installed; --media copies the quest's pictures, music, movies and sounds.\n"
        << "  --allow-outside lets --media copy files from outside the quest's folder (without it they\n"
        << "  are listed and nothing is written); --replace replaces a folder DIR/NAME that is not a game\n"
        << "  made by Fablecraft (a game of ours is replaced anyway). --program-dir names the folder the\n"
        << "  player program 'fablecraft' is copied from (default: this tool's folder). Exit status 0\n"
        << "  when the game was written, 1 when not.\n";
    return 2;
}

} // namespace

int runCompile(const QStringList &args)
{
    QString programDir = QCoreApplication::applicationDirPath();
    QString into;
    bool runtime = false;
    bool media = false;
    bool allowOutside = false;
    bool replace = false;
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--runtime")) {
            runtime = true;
        } else if (a == QLatin1String("--media")) {
            media = true;
        } else if (a == QLatin1String("--allow-outside")) {
            allowOutside = true;
        } else if (a == QLatin1String("--replace")) {
            replace = true;
        } else if (a == QLatin1String("--into") || a == QLatin1String("--program-dir")) {
            if (i + 1 >= args.size())
                return usage(a + QStringLiteral(" needs a folder"));
            (a == QLatin1String("--into") ? into : programDir) = args[++i];
        } else if (a.startsWith(QLatin1String("--")) && a.size() > 2) {
            return usage(QStringLiteral("unknown option ") + a);
        } else {
            positional << a;
        }
    }
    if (positional.size() != 2)
        return usage(QStringLiteral("give the quest file and the game name"));
    if (into.isNull())
        return usage(QStringLiteral("--into DIR is missing"));

    RecordingDialogs dialogs;
    dialogs.defaultAnswer = Answer::No; // nothing is started
    RecordingLauncher launcher;
    CompileForm form;
    Compiler compiler(form, &dialogs, &launcher, programDir);
    compiler.open(QFileInfo(positional[0]).absoluteFilePath());
    dialogs.shown.clear(); // the dialog's notice is for the dialog
    compiler.typeGameName(positional[1]);
    compiler.selectFolder(into);
    compiler.setIncludeRuntime(runtime);
    compiler.setCopyMedia(media);
    compiler.presetAnswers(allowOutside, replace);
    // On a terminal, one line per step as the dialog's progress shows it.
    if (::isatty(STDERR_FILENO)) {
        QObject::connect(&compiler, &Compiler::stepStarted, [](const QString &step) {
            QTextStream(stderr) << step << "...\n";
        });
    }
    compiler.clickCompile();

    const bool ok = compiler.lastResult().ok && !dialogs.shown.isEmpty();
    QTextStream out(ok ? stdout : stderr);
    for (const ShownMessage &m : dialogs.shown) {
        if (m.kind == ShownMessage::Question)
            continue;
        QString text = m.text;
        out << text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")) << "\n";
    }
    const PackageResult &result = compiler.lastResult();
    if (!ok && result.failedStep.startsWith(QLatin1String("copy files from outside")))
        out << "Give --allow-outside to copy them.\n";
    else if (!ok && result.cause == QLatin1String("it exists and is not a game made by Fablecraft"))
        out << "Give --replace to replace it.\n";
    return ok ? 0 : 1;
}

} // namespace fc::cli
