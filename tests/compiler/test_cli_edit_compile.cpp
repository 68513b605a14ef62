// FrmCompile in the text-mode editor: opened by "compile", driven by
// set:/click: steps, reported under "forms" and "launched".
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct EditRun
{
    int status = -1;
    QJsonObject json;
    QByteArray err;
};

EditRun edit(const QStringList &args)
{
    QProcess p;
    const QString programDir = QFileInfo(QStringLiteral(FABLECRAFT_PLAYER)).absolutePath();
    p.start(QStringLiteral(FABLECRAFT_CLI), QStringList{"edit", "--json", "--program-dir", programDir} + args);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitCode(), QJsonDocument::fromJson(p.readAllStandardOutput()).object(), p.readAllStandardError()};
}

QStringList messageTexts(const QJsonObject &json)
{
    QStringList texts;
    for (const QJsonValue &m : json["messages"].toArray())
        texts << m.toObject()["text"].toString();
    return texts;
}

} // namespace

TEST(CliEditCompile, CompileOpensTheDialogAndItsStepsCompile)
{
    QTemporaryDir tmp;
    const QString quest = tmp.filePath("cave.qst");
    fc::test::writeFile(quest, "[Story Info]\r\nTitle=Cave\r\n[1]\r\nLocation=Mouth\r\n");
    const QString into = tmp.filePath("games");
    QDir().mkpath(into);

    EditRun r = edit({"load:" + quest, "compile", "set:FrmCompile.Text1:Ca", "type:FrmCompile.Text1:ve",
                      "set:FrmCompile.Dir1:" + into, "click:FrmCompile.Check1", "click:FrmCompile.Command3",
                      "click:FrmCompile.Command1"});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    const QJsonObject form = r.json["forms"].toObject()["FrmCompile"].toObject();
    EXPECT_TRUE(form["visible"].toBool());
    EXPECT_EQ(form["caption"].toString(), "Compile");
    const QJsonObject controls = form["controls"].toObject();
    EXPECT_EQ(controls["Dir1"].toObject()["path"].toString(), into);
    EXPECT_EQ(controls["Text1"].toObject()["text"].toString(), "Cave");
    EXPECT_EQ(controls["Check1"].toObject()["checked"].toInt(), 0);
    const QString game = into + "/Cave/Cave";
    EXPECT_EQ(r.json["launched"].toArray(), QJsonArray({"open-folder:" + into, "run:" + game}));
    const QStringList texts = messageTexts(r.json);
    ASSERT_GE(texts.size(), 3);
    EXPECT_TRUE(texts.contains("You game should be compiled within the directoy as: " + game));
    EXPECT_EQ(texts.last(), "Run compiled program now?");
    EXPECT_EQ(fc::test::readFile(into + "/Cave/game.dat"), "[loaddat]\r\nQuestFile=Cave.qst\r\n[Game Data]\r\nTitle=Cave\r\n");
    EXPECT_EQ(QDir(into + "/Cave/lib").entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
              QStringList({"fablecraft-media.so"})); // the player's media module, no runtime

    // No: nothing is started. The dialog starts at the quest's folder.
    QDir(into).removeRecursively();
    r = edit({"--answer", "no", "load:" + quest, "compile", "set:FrmCompile.Text1:Cave", "click:FrmCompile.Check1",
              "click:FrmCompile.Command1"});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(r.json["launched"].toArray(), QJsonArray());
    EXPECT_TRUE(QFileInfo(tmp.filePath("Cave/Cave")).isFile());
}

TEST(CliEditCompile, DialogStepsNeedTheDialog)
{
    const EditRun r = edit({"click:FrmCompile.Command1"});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.err.contains("click:FrmCompile.Command1 is not available"));
    EXPECT_FALSE(r.json["forms"].toObject()["FrmCompile"].toObject()["visible"].toBool());
}
