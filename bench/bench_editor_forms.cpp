// The quest editor's windows on a large quest: what the user interface thread
// spends on a keystroke in the page text, a page chosen in the page list,
// loading the quest and "Test Game", all through the real widgets (key and
// click events), so the forms' own refreshing is counted with the editor's
// work. The working copy lives in a temporary per-user folder. Run it with
// QT_QPA_PLATFORM=offscreen or under Xvfb.
#include "app/program.h"
#include "editor/editor.h"
#include "editor/ui/createquest.h"
#include "engine/game.h"
#include "engine/recording_ports.h"
#include "engine/ui/frmgame.h"
#include "engine/ui/qt_ports.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace fc;

// A quest of `pages` pages of about 1.25 kB each (20,000 pages: about 25 MB).
QString writeQuest(const QString &folder, int pages)
{
    const QString path = folder + QStringLiteral("/big%1.qst").arg(pages);
    if (QFile::exists(path))
        return path;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    const QByteArray text(900, 'w');
    file.write("[Story Info]\r\nTitle=Big\r\nAuthor=Bench\r\nVersion=1\r\n[Quest Data]\r\nNumber Of Pages=");
    file.write(QByteArray::number(pages) + "\r\n");
    for (int p = 1; p <= pages; ++p) {
        const QByteArray n = QByteArray::number(p);
        const QByteArray next = QByteArray::number(p % pages + 1);
        file.write("[" + n + "]\r\nLocation=Room " + n + "\r\nPage Text=" + text + " " + n + "\r\n");
        for (const char *word : {"One", "Two", "Three", "Four"}) {
            file.write(QByteArray("Option ") + word + "=Go on to " + next + "\r\n");
            file.write(QByteArray("Option ") + word + " Destination Page=" + next + "\r\n");
            file.write(QByteArray("Option ") + word + " Score=+1\r\n");
        }
        file.write("Key Item1=Lamp\r\nAdd1=1\r\nImage=\r\nMusic=\r\n");
    }
    return path;
}

struct Session
{
    explicit Session(int pages)
    {
        program = std::make_unique<ProgramParts>(set.ports(), folder.path());
        program->window().show();
        program->window().findChild<QAction *>(QStringLiteral("mnucreatequest"))->trigger();
        quest = writeQuest(folder.path(), pages);
    }

    void load()
    {
        program->editorFileDialog().setNextFileName(quest);
        program->createquest().findChild<QAction *>(QStringLiteral("mnuload"))->trigger();
    }

    template <typename T = QWidget> T *control(const char *name)
    {
        return program->createquest().findChild<T *>(QString::fromLatin1(name));
    }

    QTemporaryDir folder;
    RecordingPortSet set;
    std::unique_ptr<ProgramParts> program;
    QString quest;
};

void BM_LoadQuest(benchmark::State &state)
{
    Session s(int(state.range(0)));
    for (auto _ : state) {
        s.load();
        if (s.control<QListView>("pg")->model()->rowCount() != state.range(0))
            state.SkipWithError("the page list does not hold every page");
    }
    if (!s.program->editor().flush())
        std::abort();
}
BENCHMARK(BM_LoadQuest)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_KeystrokeInPageText(benchmark::State &state)
{
    Session s(int(state.range(0)));
    s.load();
    auto *text1 = s.control<QPlainTextEdit>("Text1");
    text1->setFocus();
    QTextCursor end = text1->textCursor();
    end.movePosition(QTextCursor::End);
    text1->setTextCursor(end);
    bool add = true;
    for (auto _ : state) {
        QTest::keyClick(text1, add ? Qt::Key_A : Qt::Key_Backspace);
        add = !add;
    }
    if (!s.program->editor().flush())
        std::abort();
}
BENCHMARK(BM_KeystrokeInPageText)->Arg(1000)->Arg(20000)->Unit(benchmark::kMicrosecond)->Iterations(400);

void BM_SelectPage(benchmark::State &state)
{
    Session s(int(state.range(0)));
    s.load();
    auto *pg = s.control<QListView>("pg");
    pg->setFocus();
    bool down = true;
    for (auto _ : state) {
        QTest::keyClick(pg, down ? Qt::Key_Down : Qt::Key_Up);
        down = !down;
    }
    if (!s.program->editor().flush())
        std::abort();
}
BENCHMARK(BM_SelectPage)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(100);

void BM_TestGame(benchmark::State &state)
{
    Session s(int(state.range(0)));
    s.load();
    auto *test = s.control<QPushButton>("Command13");
    for (auto _ : state) {
        test->click();
        if (s.program->screen().state().page() != QLatin1String("1"))
            state.SkipWithError("the first page is not shown");
    }
}
BENCHMARK(BM_TestGame)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    // The working copy goes to a folder of this run, never the user's.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
