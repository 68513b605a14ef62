// The text-mode editor as a program: steps, the JSON state, exit codes, and
// file dialogs that return only their own step's PATH.
#include "storage/profile_store.h"
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
    QByteArray out;
    QByteArray err;
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
    QJsonObject control(const char *form, const char *name) const
    {
        return json()[QStringLiteral("forms")][QLatin1String(form)][QStringLiteral("controls")][QLatin1String(name)]
            .toObject();
    }
};

EditRun edit(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(FABLECRAFT_CLI), QStringList{QStringLiteral("edit")} + args);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(30000));
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

EditRun editJson(QStringList steps)
{
    steps.prepend(QStringLiteral("--json"));
    return edit(steps);
}

class CliEdit : public ::testing::Test
{
protected:
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
    QTemporaryDir dir;
};

TEST_F(CliEdit, JsonHoldsEveryFormAndControl)
{
    const EditRun r = editJson({});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    const QJsonObject o = r.json();
    const QJsonObject forms = o[QStringLiteral("forms")].toObject();
    EXPECT_EQ(forms.keys(), (QStringList{QStringLiteral("FrmBattle"), QStringLiteral("FrmCharCreate"),
                                         QStringLiteral("FrmCompile"), QStringLiteral("createquest")}));
    EXPECT_EQ(forms[QStringLiteral("createquest")][QStringLiteral("caption")].toString(),
              QStringLiteral("Untitled - Create 'A' Quest"));
    EXPECT_TRUE(forms[QStringLiteral("createquest")][QStringLiteral("visible")].toBool());
    EXPECT_FALSE(forms[QStringLiteral("FrmBattle")][QStringLiteral("visible")].toBool());
    EXPECT_EQ(forms[QStringLiteral("createquest")][QStringLiteral("controls")].toObject().size(), 75); // 26 boxes, 9 boxes to check, 13 buttons, 13 labels, pg, info, filepath, banner, 10 menus
    EXPECT_EQ(r.control("createquest", "pg"),
              (QJsonObject{{QStringLiteral("entries"), QJsonArray{QStringLiteral("1")}},
                           {QStringLiteral("selected"), QStringLiteral("1")},
                           {QStringLiteral("enabled"), true}}));
    EXPECT_EQ(r.control("createquest", "Text1"),
              (QJsonObject{{QStringLiteral("text"), QString()}, {QStringLiteral("enabled"), true},
                           {QStringLiteral("visible"), true}}));
    EXPECT_EQ(r.control("createquest", "Check9")[QStringLiteral("checked")].toInt(-1), 0);
    EXPECT_EQ(r.control("createquest", "Label1")[QStringLiteral("text")].toString(), QStringLiteral("Page #"));
    EXPECT_FALSE(r.control("createquest", "Command7")[QStringLiteral("enabled")].toBool(true));
    EXPECT_EQ(r.control("FrmBattle", "Image1"), (QJsonObject{{QStringLiteral("picture"), QStringLiteral("icon")}}));
    EXPECT_EQ(r.control("FrmCharCreate", "Image1"), (QJsonObject{{QStringLiteral("picture"), QString()}}));
    EXPECT_TRUE(o[QStringLiteral("game")].isNull());
    EXPECT_TRUE(o[QStringLiteral("messages")].toArray().isEmpty());
    EXPECT_TRUE(o[QStringLiteral("media")].toArray().isEmpty());
    EXPECT_TRUE(o[QStringLiteral("working_copy")].toString().endsWith(QLatin1String("/Fablecraft/tmpquest.ini")));
}

TEST_F(CliEdit, UndoRedoSaveAndTheDocument)
{
    // Nothing to undo: exit 3.
    EditRun r = editJson({QStringLiteral("undo")});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(r.err.contains("undo is not available")) << r.err.constData();
    r = editJson({QStringLiteral("redo")});
    EXPECT_EQ(r.status, 3);
    // "save" without a current file: exit 3.
    r = editJson({QStringLiteral("type:Text1:Hi"), QStringLiteral("save")});
    EXPECT_EQ(r.status, 3);

    const QString quest = path("q.qst");
    r = editJson({QStringLiteral("type:Text1:Hello"), QStringLiteral("type:Text19:Hall"), QStringLiteral("undo"),
                  QStringLiteral("save:") + quest, QStringLiteral("type:Text10:T"), QStringLiteral("undo"),
                  QStringLiteral("redo"), QStringLiteral("undo")});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    const QJsonObject o = r.json();
    EXPECT_EQ(o[QStringLiteral("undo")].toObject(),
              (QJsonObject{{QStringLiteral("undo_text"), QStringLiteral("Typing in Page 1 Text")},
                           {QStringLiteral("redo_text"), QStringLiteral("Typing in Title")},
                           {QStringLiteral("can_undo"), true},
                           {QStringLiteral("can_redo"), true},
                           {QStringLiteral("clean"), true}}));
    EXPECT_EQ(o[QStringLiteral("document")].toObject(),
              (QJsonObject{{QStringLiteral("file"), QFileInfo(quest).absoluteFilePath()},
                           {QStringLiteral("modified"), false},
                           {QStringLiteral("banner"), QJsonValue()}}));
    EXPECT_EQ(o[QStringLiteral("forms")][QStringLiteral("createquest")][QStringLiteral("caption")].toString(),
              QStringLiteral("q.qst - Create 'A' Quest"));
    EXPECT_EQ(fc::ReadIni(quest, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("Hello"));
    EXPECT_EQ(fc::ReadIni(quest, QStringLiteral("1"), QStringLiteral("Location")), QString());

    // The end of a run is quitting: --save-answer answers "Save changes to NAME?".
    r = editJson({QStringLiteral("load:") + quest, QStringLiteral("type:Text1:, world"), QStringLiteral("--")});
    EXPECT_EQ(r.status, 2) << "steps take no options";
    r = edit({QStringLiteral("--json"), QStringLiteral("--save-answer"), QStringLiteral("save"),
              QStringLiteral("load:") + quest, QStringLiteral("type:Text1:, world")});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(fc::ReadIni(quest, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("Hello, world"));
    EXPECT_FALSE(r.json()[QStringLiteral("document")][QStringLiteral("modified")].toBool(true));
    r = edit({QStringLiteral("--json"), QStringLiteral("load:") + quest, QStringLiteral("type:Text1:!")});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(fc::ReadIni(quest, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("Hello, world"))
        << "discard is the default";
    EXPECT_TRUE(r.json()[QStringLiteral("document")][QStringLiteral("modified")].toBool());
    r = edit({QStringLiteral("load:") + quest, QStringLiteral("type:Text1:!"), QStringLiteral("save")});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(fc::ReadIni(quest, QStringLiteral("1"), QStringLiteral("Page Text")), QStringLiteral("Hello, world!"));
    EXPECT_EQ(edit({QStringLiteral("--save-answer"), QStringLiteral("maybe")}).status, 2);
}

TEST_F(CliEdit, WriteTestPlaySaveAndReloadAQuest)
{
    const QString quest = path("tale.qst");
    EditRun r = editJson({QStringLiteral("type:Text10:Tale"), QStringLiteral("type:Text1:At the gate."),
                          QStringLiteral("set:Text2:Enter"), QStringLiteral("set:Text6:2"),
                          QStringLiteral("set:Text17:+5"), QStringLiteral("click:Command1"),
                          QStringLiteral("select:2"), QStringLiteral("set:Text19:Yard"),
                          QStringLiteral("set:Text1:A yard."), QStringLiteral("click:Command13"),
                          QStringLiteral("play:1"), QStringLiteral("save:") + quest});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    const QJsonObject game = r.json()[QStringLiteral("game")].toObject();
    EXPECT_EQ(game[QStringLiteral("quest")].toString(), QStringLiteral("tmpquest.ini"));
    EXPECT_EQ(game[QStringLiteral("page")].toString(), QStringLiteral("2"));
    EXPECT_EQ(game[QStringLiteral("score")].toString(), QStringLiteral("5"));
    EXPECT_TRUE(game[QStringLiteral("log")].toString().endsWith(QLatin1String("At the gate.\r\n>\r\nYard\r\n>\r\nA yard.")));
    EXPECT_EQ(r.control("createquest", "filepath")[QStringLiteral("text")].toString(), quest);

    r = editJson({QStringLiteral("load:") + quest, QStringLiteral("select:2")});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(r.control("createquest", "pg")[QStringLiteral("entries")].toArray(),
              (QJsonArray{QStringLiteral("1"), QStringLiteral("2")}));
    EXPECT_EQ(r.control("createquest", "Text1")[QStringLiteral("text")].toString(), QStringLiteral("A yard."));
    EXPECT_EQ(r.control("createquest", "Text10")[QStringLiteral("text")].toString(), QStringLiteral("Tale"));
}

TEST_F(CliEdit, UnavailableStepsEndTheRunWithStatusThree)
{
    const struct
    {
        QStringList steps;
        QString failing;
    } cases[] = {
        {{"click:Command7"}, "click:Command7"},                           // battle page unchecked
        {{"type:Text99:x"}, "type:Text99:x"},                             // unknown control
        {{"select:9"}, "select:9"},                                       // missing entry
        {{"type:FrmBattle.Text1:Orc"}, "type:FrmBattle.Text1:Orc"},       // dialog not shown
        {{"play:1"}, "play:1"},                                           // game screen not shown
        {{"pick:Command4:/a.mid"}, "pick:Command4:/a.mid"},               // not a picker
        {{"type:Text25:m.avi"}, "type:Text25:m.avi"},                     // read-only
        {{"exit", "type:Text1:x"}, "type:Text1:x"},                       // editor hidden
        {{"click:Command2", "pick:Command6:/p.jpg"}, "pick:Command6:/p.jpg"}, // no page selected
        {{"click:Label1"}, "click:Label1"},                               // not clickable
    };
    for (const auto &c : cases) {
        const EditRun r = editJson(c.steps);
        EXPECT_EQ(r.status, 3) << qPrintable(c.failing);
        EXPECT_EQ(r.err, (c.failing + QStringLiteral(" is not available\n")).toUtf8());
        EXPECT_FALSE(r.json().isEmpty()) << "the state is printed after the message";
    }
    EXPECT_EQ(edit({QStringLiteral("frobnicate")}).status, 2);
    EXPECT_EQ(edit({QStringLiteral("--answer"), QStringLiteral("maybe")}).status, 2);
}

TEST_F(CliEdit, EachDialogReturnsOnlyItsOwnStepsPath)
{
    const QString a = path("a.qst");
    fc::test::writeFile(a, "[Quest Data]\r\nNumber Of Pages=1\r\n[1]\r\nPage Text=A\r\n");
    const QByteArray aBytes = fc::test::readFile(a);

    // A cancelled save after a load: the save does not get the load's PATH.
    EditRun r = editJson({QStringLiteral("load:") + a, QStringLiteral("set:Text1:changed"), QStringLiteral("save:")});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(fc::test::readFile(a), aBytes);

    // A picker clicked without a PATH of its own is cancelled, and a PATH
    // given to a step whose dialog never opened is gone afterwards.
    r = editJson({QStringLiteral("pick:Command3:/m/a.mid"), QStringLiteral("click:Command6"),
                  QStringLiteral("--answer"), QStringLiteral("no")});
    EXPECT_EQ(r.status, 2); // options after steps are no steps
    r = edit({QStringLiteral("--json"), QStringLiteral("--answer"), QStringLiteral("no"),
              QStringLiteral("pick:Command3:/m/a.mid"), QStringLiteral("click:Command6"), QStringLiteral("new"),
              QStringLiteral("click:Command10"), QStringLiteral("save:")});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(r.control("createquest", "Text18")[QStringLiteral("text")].toString(), QStringLiteral("/m/a.mid"));
    EXPECT_EQ(r.control("createquest", "Text20")[QStringLiteral("text")].toString(), QString());
    EXPECT_EQ(r.control("createquest", "Text26")[QStringLiteral("text")].toString(), QString());
    EXPECT_EQ(r.control("createquest", "filepath")[QStringLiteral("text")].toString(), QString());

    // A step that ends before its dialog (the picker is disabled once the
    // only page was deleted) takes its PATH with it: the next save is cancelled.
    r = editJson({QStringLiteral("click:Command2"), QStringLiteral("pick:Command6:") + a});
    EXPECT_EQ(r.status, 3);
    r = editJson({QStringLiteral("load:") + a, QStringLiteral("new"), QStringLiteral("set:Text10:T"),
                  QStringLiteral("save:")});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(fc::test::readFile(a), aBytes);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.qst")});
}

TEST_F(CliEdit, PreviewsAndMessages)
{
    const QString sound = path("s.mp3");
    fc::test::writeFile(sound, "ID3");
    const EditRun r = editJson({QStringLiteral("click:Command4"), QStringLiteral("set:Text18:/m/a.mid"),
                                QStringLiteral("click:Command4"), QStringLiteral("click:Command5"),
                                QStringLiteral("pick:Command10:") + sound, QStringLiteral("click:Command11"),
                                QStringLiteral("click:Command12"), QStringLiteral("hover:Command12"),
                                QStringLiteral("compile")});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(r.json()[QStringLiteral("media")].toArray(),
              (QJsonArray{QStringLiteral("midi-preview:/m/a.mid"), QStringLiteral("midi-stop"),
                          QStringLiteral("sound:") + sound, QStringLiteral("sound-stop")}));
    const QJsonArray messages = r.json()[QStringLiteral("messages")].toArray();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0][QStringLiteral("text")].toString(), QStringLiteral("You must first select a Midi to play!"));
    EXPECT_TRUE(messages[1][QStringLiteral("text")].toString().startsWith(QLatin1String("You must load a quest file")));
    EXPECT_EQ(r.control("createquest", "info")[QStringLiteral("text")].toString(), QStringLiteral("Stop File."));
}

TEST_F(CliEdit, DialogsAreOpenedByTheirButtons)
{
    const EditRun r = editJson({QStringLiteral("click:Check9"), QStringLiteral("click:Command7"),
                                QStringLiteral("type:FrmBattle.Text9:3"), QStringLiteral("click:FrmBattle.Check1"),
                                QStringLiteral("click:Command8"), QStringLiteral("click:FrmCharCreate.Check2"),
                                QStringLiteral("--json")});
    EXPECT_EQ(r.status, 2);
    const EditRun ok = editJson({QStringLiteral("click:Check9"), QStringLiteral("click:Command7"),
                                 QStringLiteral("type:FrmBattle.Text9:3"), QStringLiteral("click:FrmBattle.Check1"),
                                 QStringLiteral("click:Command8"), QStringLiteral("click:FrmCharCreate.Check2")});
    ASSERT_EQ(ok.status, 0) << ok.err.constData();
    EXPECT_TRUE(ok.json()[QStringLiteral("forms")][QStringLiteral("FrmBattle")][QStringLiteral("visible")].toBool());
    EXPECT_EQ(ok.control("FrmBattle", "Text9")[QStringLiteral("text")].toString(), QStringLiteral("3"));
    // Escape is allowed until the box is unchecked: the click forbids it.
    EXPECT_EQ(ok.control("FrmBattle", "Check1")[QStringLiteral("checked")].toInt(), 0);
    EXPECT_EQ(ok.control("FrmCharCreate", "Check2")[QStringLiteral("checked")].toInt(), 1);
    const QString wc = ok.json()[QStringLiteral("working_copy")].toString();
    const QByteArray bytes = fc::test::readFile(wc);
    EXPECT_TRUE(bytes.contains("[1]\r\nBattle=1\r\nBattleWin=3\r\nBattleEscapecheck=0\r\n")) << bytes.constData();
    EXPECT_TRUE(bytes.contains("[CharacterData]\r\nCharCreateAllow=1\r\n")) << bytes.constData();
}

} // namespace

TEST_F(CliEdit, FindReplaceGoToAndFollow)
{
    const QString quest = path("mill.qst");
    EditRun r = edit({QStringLiteral("set:Text1:The iron gate."), QStringLiteral("set:Text6:2"),
                      QStringLiteral("click:Command1"), QStringLiteral("select:2"),
                      QStringLiteral("set:Text19:Iron Mill"), QStringLiteral("set:Text1:An iron wheel. Iron dust."),
                      QStringLiteral("set:Text6:1"), QStringLiteral("save:") + quest});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    const QString load = QStringLiteral("load:") + quest;

    // Every match, one entry each, pages in list order; no find step: null.
    r = editJson({load, QStringLiteral("find:IRON")});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    auto hit = [](const char *page, const char *field, const char *line, int start) {
        return QJsonObject{{QStringLiteral("page"), QLatin1String(page)}, {QStringLiteral("field"), QLatin1String(field)},
                           {QStringLiteral("line"), QLatin1String(line)}, {QStringLiteral("start"), start},
                           {QStringLiteral("length"), 4}};
    };
    EXPECT_EQ(r.json()[QStringLiteral("find")].toArray(),
              (QJsonArray{hit("1", "Page Text", "The iron gate.", 4), hit("2", "Location", "Iron Mill", 0),
                          hit("2", "Page Text", "An iron wheel. Iron dust.", 3),
                          hit("2", "Page Text", "An iron wheel. Iron dust.", 15)}));
    EXPECT_TRUE(editJson({load}).json()[QStringLiteral("find")].isNull());

    // The find panel's options as letters after a slash; an unknown letter or
    // a broken expression is a usage error.
    const struct
    {
        const char *step;
        int status;
        QStringList found; // page/field@start+length
        int replaced;
    } options[] = {
        {"find/c:Iron", 0, {"2/Location@0+4", "2/Page Text@15+4"}, -1},
        {"find:iro", 0, {"1/Page Text@4+3", "2/Location@0+3", "2/Page Text@3+3", "2/Page Text@15+3"}, -1},
        {"find/w:iro", 0, {}, -1},
        {"find/wc:iron", 0, {"1/Page Text@4+4", "2/Page Text@3+4"}, -1},
        {"find/r:^Iron|d.st", 0, {"2/Location@0+4", "2/Page Text@20+4"}, -1},
        {"find/cr:^iron", 0, {}, -1},
        {"replace/cw:Iron:Brass", 0, {}, 2},
        {"replace/r:(\\w+) (gate|wheel):\\2 of \\1", 0, {}, 2},
        {"find/x:iron", 2, {}, -1},
        {"find/r:iron (", 2, {}, -1},
        {"replace/q:a:b", 2, {}, -1},
    };
    for (const auto &o : options) {
        SCOPED_TRACE(o.step);
        const EditRun run = editJson({load, QString::fromUtf8(o.step)});
        ASSERT_EQ(run.status, o.status) << run.err.constData();
        if (o.status != 0)
            continue;
        QStringList found;
        for (const QJsonValue &v : run.json()[QStringLiteral("find")].toArray())
            found << QStringLiteral("%1/%2@%3+%4")
                         .arg(v[QStringLiteral("page")].toString(), v[QStringLiteral("field")].toString())
                         .arg(v[QStringLiteral("start")].toInt())
                         .arg(v[QStringLiteral("length")].toInt());
        EXPECT_EQ(found.join(QLatin1Char(' ')).toStdString(), o.found.join(QLatin1Char(' ')).toStdString());
        if (o.replaced >= 0) {
            const QJsonArray reports = run.json()[QStringLiteral("replace")].toArray();
            ASSERT_EQ(reports.size(), 1);
            EXPECT_EQ(reports.at(0)[QStringLiteral("replacements")].toInt(), o.replaced);
        }
    }

    // Replace All is one step, shown in the selected page's fields, and undone at once;
    // a destination turned into no page's name is reported.
    r = editJson({load, QStringLiteral("replace:iron:brass"), QStringLiteral("replace:2:9")});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    const QJsonArray reports = r.json()[QStringLiteral("replace")].toArray();
    ASSERT_EQ(reports.size(), 2);
    EXPECT_EQ(reports[0][QStringLiteral("replacements")].toInt(), 4);
    EXPECT_EQ(reports[0][QStringLiteral("pages")].toArray(), (QJsonArray{QStringLiteral("1"), QStringLiteral("2")}));
    EXPECT_TRUE(reports[0][QStringLiteral("broken_destinations")].toArray().isEmpty());
    EXPECT_EQ(reports[1][QStringLiteral("broken_destinations")].toArray(),
              (QJsonArray{QStringLiteral("1: Option One Destination Page = 9")}));
    EXPECT_EQ(r.control("createquest", "Text1")[QStringLiteral("text")].toString(), QStringLiteral("The brass gate."));
    EXPECT_EQ(r.control("createquest", "Text6")[QStringLiteral("text")].toString(), QStringLiteral("9"));
    r = editJson({load, QStringLiteral("replace:iron:brass"), QStringLiteral("select:2"), QStringLiteral("undo")});
    ASSERT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(r.json()[QStringLiteral("undo")][QStringLiteral("redo_text")].toString(), QStringLiteral("Replace All"));
    EXPECT_FALSE(r.json()[QStringLiteral("undo")][QStringLiteral("can_undo")].toBool(true));
    EXPECT_EQ(r.control("createquest", "Text1")[QStringLiteral("text")].toString(), QStringLiteral("The iron gate."))
        << "undo goes back to the page the step was made on";
    EXPECT_EQ(editJson({load, QStringLiteral("replace:nothing here:x")}).json()[QStringLiteral("undo")]
                  [QStringLiteral("can_undo")].toBool(true),
              false)
        << "a replacement without matches is no step";

    // Go to by words, follow a destination; what names no page, or is no destination, is unavailable.
    r = editJson({load, QStringLiteral("goto:mill")});
    EXPECT_EQ(r.control("createquest", "pg")[QStringLiteral("selected")].toString(), QStringLiteral("2"));
    r = editJson({load, QStringLiteral("goto:mill"), QStringLiteral("follow:Text6")});
    EXPECT_EQ(r.control("createquest", "pg")[QStringLiteral("selected")].toString(), QStringLiteral("1"));
    for (const char *step : {"follow:Text7", "follow:Text1", "goto:nowhere"}) {
        r = editJson({load, QLatin1String(step)});
        EXPECT_EQ(r.status, 3) << step;
    }
    EXPECT_EQ(editJson({QStringLiteral("replace:x")}).status, 2);
}
