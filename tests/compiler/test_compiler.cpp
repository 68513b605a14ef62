// The compile dialog: its notice and fields, the checks before compiling, the
// game folder it writes, what it reports and what it starts.
#include "compiler_fixture.h"

#include "storage/profile_store.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <functional>

using fc::Answer;
using fc::ShownMessage;

namespace {
const QString kClosing = QStringLiteral("You game should be compiled within the directoy as: ");
}

TEST_F(CompilerTest, LoadShowsTheNoticeOnceAndHidingKeepsTheFields)
{
    compiler->open(quest);
    ASSERT_EQ(ports.dialogs.shown.size(), 1);
    EXPECT_EQ(ports.dialogs.shown[0].kind, ShownMessage::Information);
    EXPECT_EQ(ports.dialogs.shown[0].title, "");
    EXPECT_EQ(ports.dialogs.shown[0].text, fc::Compiler::kNotice);
    EXPECT_TRUE(form.visible());
    EXPECT_EQ(form.caption(), "Compile");
    EXPECT_EQ(form.folder(), questDir);
    EXPECT_TRUE(form.includeRuntime());
    EXPECT_FALSE(form.copyMedia());
    EXPECT_EQ(form.gameName(), "cave"); // the quest's file name
    EXPECT_EQ(form.control("Text2").text, questDir); // the path box shows the folder
    EXPECT_EQ(form.control("Check1").text,
              "Include ALL Runtime files in case your friends don't have them. <RECOMMENDED>");

    compiler->typeGameName(QStringLiteral("Cave"));
    compiler->selectFolder(target);
    ASSERT_TRUE(compiler->clickControl(QStringLiteral("Command2"))); // "Close" hides
    EXPECT_FALSE(form.visible());
    EXPECT_FALSE(compiler->clickControl(QStringLiteral("Command1"))); // nothing to click while hidden
    compiler->open(quest);
    EXPECT_EQ(ports.dialogs.shown.size(), 1); // no second notice
    EXPECT_EQ(form.gameName(), "Cave");
    EXPECT_EQ(form.folder(), target);

    compiler->closeBox(); // the close box unloads
    compiler->open(quest);
    EXPECT_EQ(ports.dialogs.shown.size(), 2);
    EXPECT_EQ(form.gameName(), "cave");
    EXPECT_EQ(form.folder(), questDir);
}

TEST_F(CompilerTest, StartFolderPathBoxAndNewFolder)
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QDir().mkpath(documents);
    EXPECT_EQ(fc::Compiler::startFolder(quest, [](const QString &) { return true; }), questDir);
    EXPECT_EQ(fc::Compiler::startFolder(quest, [](const QString &) { return false; }), documents);

    compiler->open(quest);
    compiler->typeFolderPath(target + "/../games"); // an existing folder is selected
    EXPECT_EQ(form.folder(), target);
    compiler->typeFolderPath(target + "/nowhere"); // a path being typed selects nothing
    EXPECT_EQ(form.folder(), target);
    EXPECT_EQ(form.control("Text2").text, target + "/nowhere");

    EXPECT_EQ(compiler->clickNewFolder(), target + "/New Folder");
    EXPECT_EQ(form.folder(), target + "/New Folder");
    compiler->selectFolder(target);
    EXPECT_EQ(compiler->clickNewFolder(), target + "/New Folder 2"); // never an existing name
    EXPECT_TRUE(QFileInfo(target + "/New Folder 2").isDir());
    compiler->selectFolder(program); // a file: no folder can be made in it
    ports.dialogs.shown.clear();
    EXPECT_EQ(compiler->clickNewFolder(), "");
    ASSERT_EQ(ports.dialogs.shown.size(), 1);
    EXPECT_EQ(ports.dialogs.shown[0].text, "Could not create a folder in " + program + ": Not a directory");
}

// Names and folders refused before anything is written.
TEST_F(CompilerTest, RefusedNamesAndFoldersCreateNothing)
{
    struct Case
    {
        QString name;
        bool emptyFolder;
        QString message; // start of the message
    };
    const Case cases[] = {
        {"", false, "You must enter a game name!"},
        {"", true, "You must enter a game name!"},
        {"Cave", true, "You must select a directory path!"},
        {"a/b", false, "A game name cannot hold \"/\" or \"\\\""},
        {"a\\b", false, "A game name cannot hold \"/\" or \"\\\""},
        {".", false, "A game name cannot be \".\" or \"..\""},
        {"..", false, "A game name cannot be \".\" or \"..\""},
        {"Cave\n", false, "A game name cannot hold line breaks"},
        {"Ca\tve", false, "A game name cannot hold line breaks"},
        {"game.dat", false, "A game name cannot be \"game.dat\": the game folder holds"},
        {"media", false, "A game name cannot be \"media\""},
        {"lib", false, "A game name cannot be \"lib\""},
    };
    compiler->open(quest);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        compiler->typeGameName(c.name);
        compiler->selectFolder(c.emptyFolder ? QString() : target);
        ports.dialogs.shown.clear();
        compiler->clickCompile();
        ASSERT_EQ(ports.dialogs.shown.size(), 1);
        EXPECT_EQ(ports.dialogs.shown[0].kind, ShownMessage::Information);
        EXPECT_EQ(ports.dialogs.shown[0].title, "");
        EXPECT_TRUE(ports.dialogs.shown[0].text.startsWith(c.message)) << ports.dialogs.shown[0].text.toStdString();
        EXPECT_TRUE(QDir(target).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
        EXPECT_TRUE(QDir(tmp.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size() == 3);
    }
    EXPECT_TRUE(ports.launcher.launched.isEmpty());
}

TEST_F(CompilerTest, GameFolderHoldsProgramQuestAndLaunchFile)
{
    ports.dialogs.answers = {Answer::No};
    QDir(target).removeRecursively(); // the folder compiled into is made when missing
    compile(QStringLiteral("Cave"));
    const QString g = target + QStringLiteral("/Cave/Cave");
    ASSERT_EQ(texts(), QStringList({kClosing + g, "Run compiled program now?"}));
    EXPECT_EQ(ports.dialogs.shown[1].kind, ShownMessage::Question);
    EXPECT_EQ(ports.dialogs.shown[1].title, "Question:");
    EXPECT_TRUE(ports.launcher.launched.isEmpty());

    EXPECT_EQ(fc::test::readFile(g), fc::test::readFile(program));
    EXPECT_TRUE(QFileInfo(g).isExecutable());
    EXPECT_EQ(fc::test::readFile(g + ".qst"), questBytes);
    EXPECT_EQ(fc::test::readFile(target + "/Cave/game.dat"),
              "[loaddat]\r\nQuestFile=Cave.qst\r\n[Game Data]\r\nTitle=Cave\r\n");
    // The program's media module goes along, in lib/ where it looks.
    EXPECT_EQ(fc::test::readFile(target + "/Cave/lib/fablecraft-media.so"), "media module");
    // Without Check1 and Check2 nothing else is copied but our marker, and
    // no temporary file or folder stays.
    EXPECT_EQ(QDir(target + "/Cave").entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
              QStringList({".fablecraft-game", "Cave", "Cave.qst", "game.dat", "lib"}));
    EXPECT_EQ(QDir(target + "/Cave/lib").entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
              QStringList({"fablecraft-media.so"}));
    EXPECT_EQ(QDir(target).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList({"Cave"}));
    EXPECT_TRUE(compiler->lastResult().notCopied.isEmpty());

    // A program without its media module makes a silent game, and says so.
    QFile::remove(mediaModule);
    ports.dialogs.answers = {Answer::No};
    compile(QStringLiteral("Quiet"));
    EXPECT_TRUE(compiler->lastResult().ok);
    EXPECT_FALSE(QFileInfo::exists(target + "/Quiet/lib"));
    EXPECT_EQ(compiler->lastResult().notCopied,
              QStringList({"fablecraft-media.so: not found beside " + program
                           + "; the game will play without sound, music and movies"}));
}

TEST_F(CompilerTest, SecondCompileReplacesOurFolderWholeAndYesRunsTheGame)
{
    ports.dialogs.defaultAnswer = Answer::No;
    compile(QStringLiteral("Cave"));
    const QString dir = target + QStringLiteral("/Cave");
    fc::test::writeFile(dir + "/game.dat", "[loaddat]\r\nQuestFile=old.qst\r\nExtra=1\r\n[Other]\r\nA=B\r\n");
    fc::test::writeFile(dir + "/left.txt", "from the earlier game");
    questBytes += "[2]\r\nLocation=Deeper\r\n";
    fc::test::writeFile(quest, questBytes);

    ports.dialogs.answers = {Answer::Yes};
    compile(QStringLiteral("Cave"));
    ASSERT_EQ(texts().size(), 2); // no question about replacing a game of ours
    EXPECT_EQ(texts().first(), kClosing + dir + "/Cave");
    EXPECT_EQ(fc::test::readFile(dir + "/game.dat"), "[loaddat]\r\nQuestFile=Cave.qst\r\n[Game Data]\r\nTitle=Cave\r\n");
    EXPECT_EQ(fc::test::readFile(dir + "/Cave.qst"), questBytes);
    EXPECT_FALSE(QFileInfo::exists(dir + "/left.txt")); // replaced, not merged
    EXPECT_EQ(ports.launcher.launched, QStringList({"run:" + dir + "/Cave"}));
}

// A folder of the game's name that is not a game of ours is replaced only
// when the author says so, and then whole.
TEST_F(CompilerTest, ExistingFolderIsReplacedOnlyWhenTheAuthorSaysSo)
{
    const QString dir = target + QStringLiteral("/Cave");
    QDir().mkpath(dir + "/media");
    fc::test::writeFile(dir + "/Cave.qst", "the author's other quest");
    fc::test::writeFile(dir + "/media/pic.bmp", "the author's picture");
    fc::test::writeFile(dir + "/notes.txt", "notes");

    ports.dialogs.answers = {Answer::No};
    compile(QStringLiteral("Cave"));
    ASSERT_EQ(texts(), QStringList({"Replace the folder " + dir + "?"}));
    EXPECT_EQ(ports.dialogs.shown[0].title, "Question:");
    EXPECT_EQ(fc::test::readFile(dir + "/Cave.qst"), "the author's other quest");
    EXPECT_EQ(fc::test::readFile(dir + "/media/pic.bmp"), "the author's picture");
    EXPECT_EQ(QDir(target).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList({"Cave"}));

    ports.dialogs.answers = {Answer::Yes, Answer::No};
    compile(QStringLiteral("Cave"));
    ASSERT_EQ(texts().size(), 3);
    EXPECT_EQ(texts()[1], kClosing + dir + "/Cave");
    EXPECT_EQ(fc::test::readFile(dir + "/Cave.qst"), questBytes);
    EXPECT_EQ(QDir(dir).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
              QStringList({".fablecraft-game", "Cave", "Cave.qst", "game.dat", "lib"}));
    EXPECT_EQ(QDir(target).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList({"Cave"}));

    // Answered in advance (the command-line tool without --replace).
    fc::test::writeFile(dir + "/.fablecraft-game-not", "x");
    QFile::remove(dir + "/.fablecraft-game");
    compiler->presetAnswers(std::nullopt, false);
    compile(QStringLiteral("Cave"));
    ASSERT_EQ(texts().size(), 1);
    EXPECT_EQ(ports.dialogs.shown[0].kind, ShownMessage::Critical);
    EXPECT_EQ(texts()[0], "Could not write the game folder " + dir + ": it exists and is not a game made by Fablecraft");
    EXPECT_TRUE(QFileInfo::exists(dir + "/.fablecraft-game-not"));
}

// Links in the folder being replaced are removed with it; the files they
// point at are never written.
TEST_F(CompilerTest, LinksInTheTargetAreReplacedNotWrittenThrough)
{
    ports.dialogs.defaultAnswer = Answer::No;
    compile(QStringLiteral("Cave")); // a game of ours
    const QString dir = target + QStringLiteral("/Cave");
    const QString outside = tmp.filePath("outside.txt");
    const QString outsidePic = tmp.filePath("outside.bmp");
    fc::test::writeFile(outside, "precious");
    fc::test::writeFile(outsidePic, "precious picture");
    QFile::remove(dir + "/Cave");
    ASSERT_TRUE(QFile::link(outside, dir + "/Cave"));
    QDir().mkpath(dir + "/media");
    ASSERT_TRUE(QFile::link(outsidePic, dir + "/media/pic.bmp"));
    QFile::remove(dir + "/game.dat");
    ASSERT_TRUE(QFile::link(outside, dir + "/game.dat"));
    const QString outsideFolder = tmp.filePath("outside-folder");
    QDir().mkpath(outsideFolder);
    fc::test::writeFile(outsideFolder + "/keep.txt", "kept");
    ASSERT_TRUE(QDir(dir + "/lib").removeRecursively());
    ASSERT_TRUE(QFile::link(outsideFolder, dir + "/lib"));

    compile(QStringLiteral("Cave"));
    ASSERT_TRUE(compiler->lastResult().ok) << compiler->lastResult().failureMessage().toStdString();
    EXPECT_EQ(fc::test::readFile(outside), "precious");
    EXPECT_EQ(fc::test::readFile(outsidePic), "precious picture");
    EXPECT_FALSE(QFileInfo(dir + "/Cave").isSymLink());
    EXPECT_EQ(fc::test::readFile(dir + "/Cave"), fc::test::readFile(program));
    EXPECT_FALSE(QFileInfo(dir + "/game.dat").isSymLink());
    EXPECT_FALSE(QFileInfo::exists(dir + "/media"));
    EXPECT_FALSE(QFileInfo(dir + "/lib").isSymLink());
    EXPECT_EQ(fc::test::readFile(dir + "/lib/fablecraft-media.so"), "media module");
    EXPECT_EQ(QDir(outsideFolder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
              QStringList({"keep.txt"})); // the old folder's link removed, not followed
    EXPECT_EQ(fc::test::readFile(outsideFolder + "/keep.txt"), "kept");

    // D/N itself a link to a folder elsewhere: the link is replaced.
    const QString elsewhere = tmp.filePath("elsewhere");
    QDir().mkpath(elsewhere);
    fc::test::writeFile(elsewhere + "/Cave", "someone's file");
    QDir(dir).removeRecursively();
    ASSERT_TRUE(QFile::link(elsewhere, dir));
    ports.dialogs.answers = {Answer::Yes}; // replace it
    compile(QStringLiteral("Cave"));
    ASSERT_TRUE(compiler->lastResult().ok) << compiler->lastResult().failureMessage().toStdString();
    EXPECT_EQ(fc::test::readFile(elsewhere + "/Cave"), "someone's file");
    EXPECT_FALSE(QFileInfo(dir).isSymLink());
    EXPECT_EQ(fc::test::readFile(dir + "/Cave"), fc::test::readFile(program));
}

// A name the Part lets through as typed: blanks kept, non-ASCII letters.
TEST_F(CompilerTest, NameIsUsedAsTyped)
{
    ports.dialogs.answers = {Answer::No};
    compile(QStringLiteral(" Grotte Ü "));
    const QString dir = target + QStringLiteral("/ Grotte Ü ");
    EXPECT_TRUE(QFileInfo(dir + "/ Grotte Ü ").isFile());
    EXPECT_EQ(fc::ReadIni(dir + "/game.dat", "loaddat", "QuestFile"), " Grotte Ü .qst");
    // The window's title is the quest's own; the game name when it has none.
    EXPECT_EQ(fc::ReadIni(dir + "/game.dat", "Game Data", "Title"), "Cave");
    fc::test::writeFile(quest, "[1]\r\nLocation=Mouth\r\n");
    ports.dialogs.answers = {Answer::No};
    compile(QStringLiteral("Grotte"));
    EXPECT_EQ(fc::ReadIni(target + "/Grotte/game.dat", "Game Data", "Title"), "Grotte");
}

// Each step that fails stops the compile with a message naming it and the
// system's reason; nothing is left in the folder compiled into.
TEST_F(CompilerTest, FailedStepIsNamedWithItsCauseAndLeavesNothing)
{
    struct Case
    {
        const char *what;
        std::function<void(CompilerTest &)> breakIt;
        QString name;
        QString message; // the start of the message
        QString cause;   // its end
    };
    const QString longName(256, QLatin1Char('n'));
    const Case cases[] = {
        {"folder to compile into is a file",
         [](CompilerTest &t) {
             QDir(t.target).removeRecursively();
             fc::test::writeFile(t.target, "x");
         },
         "Cave", "Could not create the game folder ", ": Not a directory"},
        {"folder to compile into lies in a file",
         [](CompilerTest &t) {
             QDir(t.target).removeRecursively();
             fc::test::writeFile(t.target, "x");
             t.target += "/deeper";
         },
         "Cave", "Could not create the game folder ", ": Not a directory"},
        {"a missing folder to compile into is removed again", [](CompilerTest &t) {
             QFile::remove(t.program);
             QDir(t.target).removeRecursively();
             t.target += "/deeper";
         },
         "Cave", "Could not copy the program ", ": No such file or directory"},
        {"program missing", [](CompilerTest &t) { QFile::remove(t.program); }, "Cave", "Could not copy the program ",
         ": No such file or directory"},
        {"program unreadable", [](CompilerTest &t) { QFile::remove(t.program); QDir().mkpath(t.program); }, "Cave",
         "Could not copy the program ", ": is a folder, not a regular file"},
        {"quest missing", [](CompilerTest &t) { QFile::remove(t.quest); }, "Cave", "Could not copy the quest ",
         ": it is not found"},
        {"name too long", [](CompilerTest &) {}, longName, "Could not copy the program ", ": File name too long"},
    };
    int round = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        target = tmp.filePath(QStringLiteral("games%1").arg(++round));
        QDir().mkpath(target);
        QFile::remove(program);
        QDir(program).removeRecursively();
        fc::test::writeFile(program, "#!/bin/sh\n");
        fc::test::writeFile(quest, questBytes);
        c.breakIt(*this);
        compile(c.name);
        ASSERT_EQ(ports.dialogs.shown.size(), 1);
        const QString text = ports.dialogs.shown[0].text;
        EXPECT_EQ(ports.dialogs.shown[0].kind, ShownMessage::Critical);
        EXPECT_TRUE(text.startsWith(c.message)) << text.toStdString();
        EXPECT_TRUE(text.endsWith(c.cause)) << text.toStdString();
        EXPECT_FALSE(compiler->lastResult().ok);
        EXPECT_TRUE(ports.launcher.launched.isEmpty());
        // No game folder, no half folder, no temporary folder, and no folder
        // made for them.
        const QString games = tmp.filePath(QStringLiteral("games%1").arg(round));
        if (QFileInfo(games).isDir()) {
            EXPECT_EQ(QDir(games).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList());
        }
    }
}

// A game folder that holds the quest (or the program) would lose it when
// replaced: refused before anything is written.
TEST_F(CompilerTest, QuestOrProgramInsideTheGameFolderIsRefused)
{
    const QString games = tmp.filePath("games");
    struct Case
    {
        QString questPath; // relative to tmp
        QString into;
        QString name;
        QString cause;
    };
    const Case cases[] = {
        {"proj/story.qst", tmp.path(), "proj", "it is the quest's own folder"},
        {"games/Cave/Cave", games, "Cave", "it is the quest's own folder"},
        {"games/Cave/game.dat", games, "Cave", "it is the quest's own folder"},
        {"games/Cave/.Cave.qst.part", games, "Cave", "it is the quest's own folder"},
        {"games/Cave/deeper/story.qst", games, "Cave", "the quest " + games + "/Cave/deeper/story.qst lies in it"},
        {"quests/cave.qst", tmp.path(), "program", "the program's own folder " + programDir + " lies in it"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.questPath.toStdString());
        quest = tmp.filePath(c.questPath);
        QDir().mkpath(QFileInfo(quest).absolutePath());
        fc::test::writeFile(quest, questBytes);
        const QString gameDir = c.into + "/" + c.name;
        QDir().mkpath(gameDir + "/media");
        fc::test::writeFile(gameDir + "/media/pic.bmp", "the author's picture");
        const QStringList before = QDir(gameDir).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden);
        compiler->closeBox();
        compiler->open(quest);
        compiler->typeGameName(c.name);
        compiler->selectFolder(c.into);
        compiler->setIncludeRuntime(false);
        compiler->setCopyMedia(true);
        ports.dialogs.shown.clear();
        compiler->clickCompile();
        ASSERT_EQ(ports.dialogs.shown.size(), 1);
        EXPECT_EQ(texts()[0], "Could not write the game folder " + gameDir + ": " + c.cause
                                  + (c.cause.startsWith("it is") ? ", which the game would replace; "
                                                                 : ", and the game would replace it; ")
                                  + "choose another folder or game name");
        EXPECT_EQ(fc::test::readFile(quest), questBytes);
        EXPECT_EQ(fc::test::readFile(gameDir + "/media/pic.bmp"), "the author's picture");
        EXPECT_EQ(QDir(gameDir).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), before);
        QDir(gameDir + "/media").removeRecursively();
    }
}

// Cancel, at any step, leaves nothing behind.
TEST_F(CompilerTest, CancelLeavesNothing)
{
    QFile::copy(QFileInfo(QStringLiteral(FABLECRAFT_PLAYER)).absolutePath() + "/media/cave.mid", questDir + "/song.mid");
    questBytes += "Music=song.mid\r\n";
    fc::test::writeFile(quest, questBytes);
    for (const char *atStep : {"Copying the program", "Copying the quest", "Copying the media", "Writing game.dat",
                               "Moving the game into place"}) {
        SCOPED_TRACE(atStep);
        const QString at = QString::fromLatin1(atStep);
        QStringList steps;
        compiler->setStepHook([&, at](const QString &step) {
            steps << step;
            if (step == at)
                compiler->clickCancel();
        });
        compile(QStringLiteral("Cave"), false, true);
        EXPECT_TRUE(steps.contains(at)) << steps.join(", ").toStdString();
        EXPECT_TRUE(compiler->lastResult().canceled);
        EXPECT_TRUE(ports.dialogs.shown.isEmpty());
        EXPECT_EQ(form.control("Label3").text, "Canceled: nothing was written.");
        EXPECT_FALSE(form.busy());
        EXPECT_EQ(QDir(target).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList());
    }
    compiler->setStepHook({});
    ports.dialogs.answers = {Answer::No};
    compile(QStringLiteral("Cave"), false, true);
    EXPECT_TRUE(compiler->lastResult().ok);
    EXPECT_EQ(form.control("Label3").text, "Done.");
}

TEST_F(CompilerTest, FolderTreeOpensTheFileManagerOnlyOnRequest)
{
    compiler->open(quest);
    compiler->selectFolder(target);
    compiler->selectFolder(questDir);
    EXPECT_TRUE(ports.launcher.launched.isEmpty());
    ASSERT_TRUE(compiler->clickControl("Command3"));
    EXPECT_EQ(ports.launcher.launched, QStringList({"open-folder:" + questDir}));
}

TEST_F(CompilerTest, ScriptedControlAccess)
{
    compiler->open(quest);
    EXPECT_TRUE(compiler->setControlText("Text1", "Cave"));
    EXPECT_TRUE(compiler->setControlText("Dir1", target));
    EXPECT_FALSE(compiler->setControlText("Label1", "x"));
    EXPECT_FALSE(compiler->setControlText("Nope", "x"));
    EXPECT_TRUE(compiler->clickControl("Check1"));
    EXPECT_TRUE(compiler->clickControl("Check2"));
    EXPECT_FALSE(compiler->clickControl("Label2"));
    const QJsonObject json = form.toJson();
    const QJsonObject controls = json["controls"].toObject();
    EXPECT_EQ(json["caption"].toString(), "Compile");
    EXPECT_TRUE(json["visible"].toBool());
    EXPECT_EQ(controls["Dir1"].toObject()["path"].toString(), target);
    EXPECT_EQ(controls["Text1"].toObject()["text"].toString(), "Cave");
    EXPECT_EQ(controls["Check1"].toObject()["checked"].toInt(), 0);
    EXPECT_EQ(controls["Check2"].toObject()["checked"].toInt(), 1);
    EXPECT_EQ(controls.size(), fc::CompileForm::controlNames().size());
}
