// fablecraft-cli compile: packages a quest as a game folder without the
// dialog, through the dialog's own operations.
#include "app/cli_commands.h"

#include "compiler/compiler.h"
#include "engine/recording_ports.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

namespace fc::cli {

namespace {

int usage(const QString &problem)
{
    QTextStream err(stderr);
    err << "fablecraft-cli compile: " << problem << "\n"
        << "usage: fablecraft-cli compile [--program-dir DIR] QUEST NAME --into DIR [--runtime] [--media]\n"
        << "  Writes the game NAME into DIR/NAME: the player program as NAME, the quest as NAME.qst and\n"
        << "  game.dat. --runtime adds the libraries, plugins and SoundFont the game needs to run where\n"
        << "  Fablecraft is not installed; --media copies the quest's pictures, music, movies and sounds.\n"
        << "  --program-dir names the folder the player program 'fablecraft' is copied from (default:\n"
        << "  this tool's folder). Exit status 0 when the game was written, 1 when not.\n";
    return 2;
}

} // namespace

int runCompile(const QStringList &args)
{
    QString programDir = QCoreApplication::applicationDirPath();
    QString into;
    bool runtime = false;
    bool media = false;
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--runtime")) {
            runtime = true;
        } else if (a == QLatin1String("--media")) {
            media = true;
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
    compiler.clickCompile();

    const bool ok = compiler.lastResult().ok && !dialogs.shown.isEmpty();
    QTextStream out(ok ? stdout : stderr);
    for (const ShownMessage &m : dialogs.shown) {
        if (m.kind == ShownMessage::Question)
            continue;
        QString text = m.text;
        out << text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")) << "\n";
    }
    return ok ? 0 : 1;
}

} // namespace fc::cli
