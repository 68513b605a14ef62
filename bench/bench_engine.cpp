// Page turns on a large quest: PlayTurn with recording ports (no media), on a
// generated quest of 20,000 pages with about 40 keys each.
#include "engine/game.h"
#include "engine/recording_ports.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QString writeBigQuest(const QString &dir, int pages)
{
    QByteArray text = "[Story Info]\r\nTitle=Big\r\nAuthor=Bench\r\nVersion=1\r\n";
    for (int p = 1; p <= pages; ++p) {
        const QByteArray n = QByteArray::number(p);
        const QByteArray next = QByteArray::number(p % pages + 1);
        text += "[" + n + "]\r\nLocation=Room " + n + "\r\nPage Text=You stand in room " + n
                + ". Dust drifts in the light from a narrow window; somewhere water drips.\r\n";
        const char *words[] = {"One", "Two", "Three", "Four"};
        for (int i = 0; i < 4; ++i) {
            const QByteArray w = words[i];
            text += "Option " + w + "=Go on " + QByteArray::number(i + 1) + "\r\nOption " + w
                    + " Destination Page=" + next + "\r\nOption " + w + " Score=+1\r\n";
            text += "Key Item" + QByteArray::number(i + 1) + "=\r\nAdd" + QByteArray::number(i + 1)
                    + "=0\r\nRequired" + QByteArray::number(i + 1) + "=0\r\n";
        }
        text += "Battle=0\r\nImage=\r\nMovie=\r\nMusic=\r\nMp3=\r\nBattleMonName=\r\nBattleMonHp=\r\n"
                "BattleEscape=\r\nBattleWin=\r\nBattleLose=\r\nBattleImage=\r\nBattleMusic=\r\nATKMessage=\r\n"
                "AltAtk=\r\nAltAtkDam=\r\n";
    }
    const QString path = dir + QStringLiteral("/big.qst");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return path;
}

void BM_PlayTurn(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString quest = writeBigQuest(dir.path(), int(state.range(0)));
    // Only the ports a turn without media touches; no request is recorded.
    fc::RecordingPortSet fakes;
    fc::Ports ports = fakes.ports();
    ports.pictures = nullptr;
    ports.sound = ports.movie = nullptr;
    ports.music = nullptr;
    fc::GameScreen screen;
    fc::Game game(screen, ports, dir.path());
    fakes.files.names.push_back(quest);
    game.questStart().menuLoadQuest();
    // A long game first: a turn must cost the same after thousands of turns.
    for (int i = 0; i < state.range(1); ++i) {
        screen.state().select(i % 4);
        game.pages().PlayTurn();
    }
    for (auto _ : state) {
        screen.state().select(int(state.iterations() % 4));
        game.pages().PlayTurn();
    }
    state.counters["log_kB"] = double(screen.state().log().size()) * 2 / 1024;
}
BENCHMARK(BM_PlayTurn)->Args({1000, 0})->Args({20000, 0})->Args({20000, 5000})->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
