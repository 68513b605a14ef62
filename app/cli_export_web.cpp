// fablecraft-cli export-web: the quest as one web page that plays in a
// browser, with the web player, the quest and its media inside.
#include "app/cli_commands.h"

#include "compiler/web_export.h"
#include "engine/media/midi_render.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

namespace fc::cli {

namespace {

int usage(const QString &problem)
{
    QTextStream err(stderr);
    err << "fablecraft-cli export-web: " << problem << "\n"
        << "usage: fablecraft-cli export-web [--program-dir DIR] QUEST OUT.html [--allow-outside]\n"
        << "  Writes OUT.html: one web page holding the web player, the quest and its pictures, music,\n"
        << "  sounds and movie, playable from the file or any web server. Media from outside the quest's\n"
        << "  folder are left out unless --allow-outside is given. --program-dir names the folder the\n"
        << "  SoundFont is looked for first (default: this tool's folder).\n"
        << "  Exit status 0 when the page was written, 1 when not (the reason on stderr), 2 on usage.\n";
    return kExitUsage;
}

} // namespace

int runExportWeb(const QStringList &args)
{
    WebExportRequest request;
    request.programDir = QCoreApplication::applicationDirPath();
    request.encodeMusic = renderMidiAsVorbis; // linked in: the tool needs no media module
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--allow-outside")) {
            request.allowOutside = true;
        } else if (a == QLatin1String("--program-dir")) {
            if (i + 1 >= args.size())
                return usage(QStringLiteral("--program-dir needs a folder"));
            request.programDir = args[++i];
        } else if (a.startsWith(QLatin1String("--")) && a.size() > 2) {
            return usage(QStringLiteral("unknown option ") + a);
        } else {
            positional << a;
        }
    }
    if (positional.size() != 2)
        return usage(QStringLiteral("give the quest file and the page to write"));
    request.questFile = positional[0];
    request.outFile = positional[1];

    QElapsedTimer timer;
    timer.start();
    const WebExportResult r = exportWebPage(request);
    QTextStream err(stderr);
    for (const QString &w : r.warnings)
        err << "warning: " << w << '\n';
    if (!r.ok) {
        err << "fablecraft-cli export-web: " << r.error << '\n';
        return 1;
    }
    QTextStream(stdout) << "Wrote " << request.outFile << ": " << r.pageBytes << " bytes (player " << r.playerBytes
                        << " bytes), " << r.mediaEmbedded << " media files, " << timer.elapsed() << " ms\n";
    return 0;
}

} // namespace fc::cli
