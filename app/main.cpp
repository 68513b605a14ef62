// The program's entry: the game screen over the engine.
#include "app/first_frame_report.h"
#include "app/program.h"
#include "engine/packaged_runtime.h"
#include "engine/ui/qt_ports.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

namespace {

void describeArguments(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("Play and write branching text adventures (quests)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("edit"), QStringLiteral("Open the quest file in the quest editor instead.")});
    parser.addPositionalArgument(QStringLiteral("quest"), QStringLiteral("A quest file (*.qst) to play."),
                                 QStringLiteral("[QUEST.qst]"));
}

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Fablecraft"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FABLECRAFT_VERSION));
}

// --help and --version answer without a display.
bool asksForHelpOrVersion(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--")
            break;
        if (a == "-h" || a == "--help" || a == "-?" || a == "--help-all" || a == "-v" || a == "--version")
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    fc::firstframe::mark("main");
    if (asksForHelpOrVersion(argc, argv)) {
        QCoreApplication app(argc, argv);
        nameApplication();
        QCommandLineParser parser;
        describeArguments(parser);
        parser.process(app); // prints and exits
        return 0;
    }

    // A game folder with its own runtime sets up its media plugins before
    // anything loads them.
    fc::usePackagedRuntime(fc::executableDir());

    // The menus stay in the window: asking the desktop for a global menu
    // bar is a round trip to the session bus before the first frame.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    QApplication app(argc, argv);
    fc::firstframe::watchFirstPaint();
    nameApplication();
    QCommandLineParser parser;
    describeArguments(parser);
    parser.process(app);

    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        QTextStream(stderr) << "fablecraft: give at most one quest file\n";
        return 2;
    }
    QString quest;
    if (!positional.isEmpty()) {
        const QFileInfo info(positional.first());
        if (!info.isFile() || !info.isReadable()) {
            QTextStream(stderr) << "fablecraft: cannot read the quest file " << positional.first() << "\n";
            return 1;
        }
        quest = info.absoluteFilePath();
    }
    const bool edit = parser.isSet(QStringLiteral("edit"));
    if (edit && quest.isEmpty()) {
        QTextStream(stderr) << "fablecraft: --edit needs a quest file\n";
        return 2;
    }

    const QString programDir = QCoreApplication::applicationDirPath();
    fc::Program program(programDir);
    fc::firstframe::mark("program");
    program.start(edit ? QString() : quest);
    fc::firstframe::mark("shown");
    if (edit) {
        // As "&Create 'A' Quest" followed by "&Load A Quest File" choosing it.
        program.parts().editQuest(quest);
    }
    return app.exec();
}
