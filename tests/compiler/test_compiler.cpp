// The compile dialog: its notice and fields, the checks before compiling, the
// game folder it writes, what it reports and what it starts.
#include "compiler_fixture.h"

#include "storage/aohider.h"

#include <QFileInfo>

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
    EXPECT_EQ(form.gameName(), "");
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
    EXPECT_EQ(form.gameName(), "");
    EXPECT_EQ(form.folder(), questDir);
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
    // Without Check1 and Check2 nothing else is copied, and no temporary file stays.
    EXPECT_EQ(QDir(target + "/Cave").entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
              QStringList({"Cave", "Cave.qst", "game.dat"}));
}

TEST_F(CompilerTest, SecondCompileRewritesTheFolderAndYesRunsTheGame)
{
    ports.dialogs.defaultAnswer = Answer::No;
    compile(QStringLiteral("Cave"));
    const QString dir = target + QStringLiteral("/Cave");
    fc::test::writeFile(dir + "/game.dat", "[loaddat]\r\nQuestFile=old.qst\r\nExtra=1\r\n[Other]\r\nA=B\r\n");
    fc::test::writeFile(dir + "/left.txt", "kept");
    questBytes += "[2]\r\nLocation=Deeper\r\n";
    fc::test::writeFile(quest, questBytes);

    ports.dialogs.answers = {Answer::Yes};
    compile(QStringLiteral("Cave"));
    EXPECT_EQ(texts().first(), kClosing + dir + "/Cave");
    EXPECT_EQ(fc::test::readFile(dir + "/game.dat"), "[loaddat]\r\nQuestFile=Cave.qst\r\n[Game Data]\r\nTitle=Cave\r\n");
    EXPECT_EQ(fc::test::readFile(dir + "/Cave.qst"), questBytes);
    EXPECT_EQ(fc::test::readFile(dir + "/left.txt"), "kept");
    EXPECT_EQ(ports.launcher.launched, QStringList({"run:" + dir + "/Cave"}));
}

// A name the Part lets through as typed: blanks kept, non-ASCII letters.
TEST_F(CompilerTest, NameIsUsedAsTyped)
{
    ports.dialogs.answers = {Answer::No};
    compile(QStringLiteral(" Grotte Ü "));
    const QString dir = target + QStringLiteral("/ Grotte Ü ");
    EXPECT_TRUE(QFileInfo(dir + "/ Grotte Ü ").isFile());
    EXPECT_EQ(fc::ReadIni(dir + "/game.dat", "loaddat", "QuestFile"), " Grotte Ü .qst");
    EXPECT_EQ(fc::ReadIni(dir + "/game.dat", "Game Data", "Title"), " Grotte Ü ");
}

// Each required step that fails stops the compile with a message naming it;
// no launch file is written.
TEST_F(CompilerTest, FailedStepIsNamedAndLeavesNoLaunchFile)
{
    struct Case
    {
        const char *what;
        std::function<void(CompilerTest &)> breakIt;
        QString step;
    };
    const Case cases[] = {
        {"game folder is a file", [](CompilerTest &t) { fc::test::writeFile(t.target + "/Cave", "x"); },
         "Could not create the game folder "},
        {"folder to compile into is a file",
         [](CompilerTest &t) {
             QDir(t.target).removeRecursively();
             fc::test::writeFile(t.target, "x");
         },
         "Could not create the game folder "},
        {"program missing", [](CompilerTest &t) { QFile::remove(t.program); }, "Could not copy the program "},
        {"quest missing", [](CompilerTest &t) { QFile::remove(t.quest); }, "Could not copy the quest "},
        {"game.dat is a folder", [](CompilerTest &t) { QDir().mkpath(t.target + "/Cave/game.dat/x"); },
         "Could not write "},
    };
    int round = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        target = tmp.filePath(QStringLiteral("games%1").arg(++round));
        QDir().mkpath(target);
        fc::test::writeFile(program, "#!/bin/sh\n");
        fc::test::writeFile(quest, questBytes);
        c.breakIt(*this);
        compile(QStringLiteral("Cave"));
        ASSERT_EQ(ports.dialogs.shown.size(), 1);
        EXPECT_EQ(ports.dialogs.shown[0].kind, ShownMessage::Critical);
        EXPECT_TRUE(ports.dialogs.shown[0].text.startsWith(c.step)) << ports.dialogs.shown[0].text.toStdString();
        EXPECT_FALSE(compiler->lastResult().ok);
        EXPECT_FALSE(QFileInfo(target + "/Cave/game.dat").isFile());
        EXPECT_TRUE(ports.launcher.launched.isEmpty());
        if (QFileInfo(target + "/Cave").isDir()) { // no temporary file stays behind
            for (const QString &f : QDir(target + "/Cave").entryList(QDir::Hidden | QDir::Files))
                EXPECT_FALSE(f.endsWith(".part")) << f.toStdString();
        }
    }
}

TEST_F(CompilerTest, QuestIsNeverCopiedOntoItself)
{
    // Compiling cave.qst as "cave" into the folder above its own.
    QDir().mkpath(tmp.filePath("cave"));
    quest = tmp.filePath("cave/cave.qst");
    fc::test::writeFile(quest, questBytes);
    compiler->open(quest);
    compiler->typeGameName("cave");
    compiler->selectFolder(tmp.path());
    compiler->setIncludeRuntime(false);
    ports.dialogs.shown.clear();
    compiler->clickCompile();
    ASSERT_EQ(ports.dialogs.shown.size(), 1);
    EXPECT_TRUE(texts()[0].startsWith("Could not copy the quest")) << texts()[0].toStdString();
    EXPECT_EQ(fc::test::readFile(quest), questBytes);
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
