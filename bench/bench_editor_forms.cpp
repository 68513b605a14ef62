// The quest editor's windows on a large quest: what the user interface thread
// spends on a keystroke in the page text, a page chosen in the page list,
// loading the quest and "Test Game", all through the real widgets (key and
// click events), so the forms' own refreshing is counted with the editor's
// work. The same keys in a plain text box and a plain list, with no editor
// behind them, are the baselines; their ratios are printed last, and the
// platform and the disks in the header. The working copy lives in a temporary
// per-user folder, the quests in the temporary folder (TMPDIR). Run it with
// QT_QPA_PLATFORM=offscreen or under Xvfb.
#include "app/program.h"
#include "bench/bench_platform.h"
#include "editor/editor.h"
#include "editor/ui/createquest.h"
#include "engine/game.h"
#include "engine/recording_ports.h"
#include "engine/ui/frmgame.h"
#include "engine/ui/qt_ports.h"
#include "storage/user_folders.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QTemporaryDir>
#include <QTest>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

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
        // The working copy an earlier session of this run left would be
        // offered for recovery, a question that waits for an answer.
        QFile::remove(QDir(GetWindowsDir()).filePath(QStringLiteral("tmpquest.ini")));
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

// The baseline: the same keystrokes in a plain text box holding a page's text,
// with no editor behind it.
void BM_KeystrokeInPlainTextBox(benchmark::State &state)
{
    QPlainTextEdit box;
    box.setPlainText(QString(900, QLatin1Char('w')) + QStringLiteral(" 1"));
    box.show();
    if (!QTest::qWaitForWindowExposed(&box))
        state.SkipWithError("the text box was not shown");
    box.setFocus();
    QTextCursor end = box.textCursor();
    end.movePosition(QTextCursor::End);
    box.setTextCursor(end);
    bool add = true;
    for (auto _ : state) {
        QTest::keyClick(&box, add ? Qt::Key_A : Qt::Key_Backspace);
        add = !add;
    }
}
BENCHMARK(BM_KeystrokeInPlainTextBox)->Unit(benchmark::kMicrosecond)->Iterations(400);

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

// The baseline: the same keys in a plain list of as many page names, with no
// page shown beside it.
void BM_SelectInPlainList(benchmark::State &state)
{
    QStringList names;
    for (int p = 1; p <= state.range(0); ++p)
        names << QString::number(p);
    QStringListModel model(names);
    QListView list;
    list.setModel(&model);
    list.show();
    if (!QTest::qWaitForWindowExposed(&list))
        state.SkipWithError("the list was not shown");
    list.setFocus();
    list.setCurrentIndex(model.index(0));
    bool down = true;
    for (auto _ : state) {
        QTest::keyClick(&list, down ? Qt::Key_Down : Qt::Key_Up);
        down = !down;
    }
}
BENCHMARK(BM_SelectInPlainList)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(100);

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

// The console report, then each figure against its baseline (medians of
// the real time a keystroke took).
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                m_seconds[run.benchmark_name()] = run.real_accumulated_time / double(run.iterations);
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const struct
        {
            const char *figure, *baseline, *what;
        } pairs[] = {
            {"BM_KeystrokeInPageText/1000/iterations:400", "BM_KeystrokeInPlainTextBox/iterations:400",
             "a keystroke in the page text (1,000 pages) / in a plain text box"},
            {"BM_KeystrokeInPageText/20000/iterations:400", "BM_KeystrokeInPlainTextBox/iterations:400",
             "a keystroke in the page text (20,000 pages) / in a plain text box"},
            {"BM_SelectPage/20000/iterations:100", "BM_SelectInPlainList/20000/iterations:100",
             "a page chosen in the page list (20,000 pages) / in a plain list"},
        };
        for (const auto &p : pairs) {
            const auto figure = m_seconds.find(p.figure), baseline = m_seconds.find(p.baseline);
            if (figure != m_seconds.end() && baseline != m_seconds.end() && baseline->second > 0)
                std::printf("%s: %.1fx\n", p.what, figure->second / baseline->second);
        }
    }

private:
    std::map<std::string, double> m_seconds;
};

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
    benchmark::AddCustomContext("platform", QStringLiteral("Qt %1, QPA %2, %3")
                                                .arg(QString::fromLatin1(qVersion()), QGuiApplication::platformName(),
                                                     fc::bench::machineText())
                                                .toStdString());
    // The working copy and the quests are written to temporary folders.
    benchmark::AddCustomContext("disk", QStringLiteral("working copy on %1; quests on %2")
                                            .arg(fc::bench::diskText(home.path()), fc::bench::diskText(QDir::tempPath()))
                                            .toStdString());
    RatioReporter report;
    benchmark::RunSpecifiedBenchmarks(&report);
    benchmark::Shutdown();
    return 0;
}
