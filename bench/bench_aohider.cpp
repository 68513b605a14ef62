// Profile store speed on generated quests of 1,000 and 20,000 pages (about 40
// keys each): a read of an unchanged file, the first read after a change, a
// write of one key, against QSettings (INI format) and a reader that parses
// the file again for every read. Prints medians and ratios at the end.
#include "storage/aohider.h"
#include "storage/ini_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

QTemporaryDir *g_dir = nullptr;
std::map<std::string, double> g_median_us; // by benchmark name

QString questPath(int pages) { return g_dir->filePath(QStringLiteral("quest%1.qst").arg(pages)); }

const char *const kOptionWords[] = {"One", "Two", "Three", "Four"};

QByteArray generateQuest(int pages)
{
    QByteArray out;
    out.reserve(qsizetype(pages) * 1500);
    out += "[Quest Data]\r\nNumber Of Pages=" + QByteArray::number(pages) + "\r\n";
    out += "[Story Info]\r\nTitle=Generated quest\r\nAuthor=Bench\r\nVersion=1\r\n";
    for (int p = 1; p <= pages; ++p) {
        const QByteArray n = QByteArray::number(p);
        out += "[" + n + "]\r\n";
        out += "Location=Room number " + n + " of the old keep\r\n";
        out += "Page Text=";
        for (int i = 0; i < 6; ++i)
            out += "You stand in a dusty hall lit by a single torch; page " + n + " goes on. ";
        out += "\r\n";
        for (int o = 0; o < 4; ++o) {
            const QByteArray w = kOptionWords[o];
            out += "Option " + w + "=Walk through door " + QByteArray::number(o + 1) + "\r\n";
            out += "Option " + w + " Destination Page=" + QByteArray::number((p * 7 + o) % pages + 1) + "\r\n";
            out += "Option " + w + " Score=+" + QByteArray::number(o) + "\r\n";
        }
        for (int i = 1; i <= 4; ++i) {
            out += "Key Item" + QByteArray::number(i) + "=Brass key\r\n";
            out += "Add" + QByteArray::number(i) + "=0\r\n";
            out += "Required" + QByteArray::number(i) + "=0\r\n";
        }
        out += "Battle=0\r\nImage=C:\\Quests\\pictures\\hall" + n + ".bmp\r\nMovie=\r\nMusic=C:\\Quests\\music\\theme.mid\r\n";
        out += "Mp3=\r\nBattleEscapecheck=1\r\nBattleMonName=Goblin\r\nBattleMonHp=10\r\nBattleMonAtk=3\r\n";
        out += "BattleMonDef=2\r\nBattleWin=1\r\nBattleLose=1\r\nBattleEscape=1\r\n";
    }
    return out;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

void finish(benchmark::State &state, std::vector<double> &samples, const char *name)
{
    const double m = median(samples);
    state.counters["median_us"] = m;
    g_median_us[std::string(name) + "/" + std::to_string(state.range(0))] = m;
}

void changeInPlace(const QString &path)
{
    // Another program edits the first value in place: same size, new bytes.
    static char digit = '1';
    digit = digit == '1' ? '2' : '1';
    QFile f(path);
    f.open(QIODevice::ReadWrite);
    f.seek(qstrlen("[Quest Data]\r\nNumber Of Pages="));
    f.write(&digit, 1);
}

long rssKb()
{
    FILE *f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, f)) {
        if (std::sscanf(line, "VmRSS: %ld", &kb) == 1)
            break;
    }
    std::fclose(f);
    return kb;
}

const QString kSection = QStringLiteral("500");
const QString kKey = QStringLiteral("Option Three Destination Page");

void BM_ReadIniCached(benchmark::State &state)
{
    const QString path = questPath(int(state.range(0)));
    fc::ReadIni(path, kSection, kKey);
    std::this_thread::sleep_for(std::chrono::milliseconds(120)); // past the file clock's tick
    fc::ReadIni(path, kSection, kKey);
    std::vector<double> samples;
    samples.reserve(1 << 20);
    for (auto _ : state) {
        const auto t0 = Clock::now();
        QString v = fc::ReadIni(path, kSection, kKey);
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(v);
        if (samples.size() < samples.capacity())
            samples.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    finish(state, samples, "BM_ReadIniCached");
}

void BM_ReadIniCachedBareName(benchmark::State &state)
{
    // The working copy's way: a bare name resolved to the per-user folder.
    QFile::remove(fc::GetWindowsDir() + QStringLiteral("/tmpquest.ini"));
    QFile::copy(questPath(int(state.range(0))), fc::GetWindowsDir() + QStringLiteral("/tmpquest.ini"));
    const QString name = QStringLiteral("tmpquest.ini");
    fc::ReadIni(name, kSection, kKey);
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    fc::ReadIni(name, kSection, kKey);
    std::vector<double> samples;
    samples.reserve(1 << 20);
    for (auto _ : state) {
        const auto t0 = Clock::now();
        QString v = fc::ReadIni(name, kSection, kKey);
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(v);
        if (samples.size() < samples.capacity())
            samples.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    finish(state, samples, "BM_ReadIniCachedBareName");
}

void BM_ReadIniCachedAnyPage(benchmark::State &state)
{
    // Reads spread over every page (each page's keys are indexed on first use).
    const int pages = int(state.range(0));
    const QString path = questPath(pages);
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    std::vector<QString> sections;
    for (int p = 1; p <= pages; ++p)
        sections.push_back(QString::number(p));
    std::vector<double> samples;
    samples.reserve(1 << 20);
    std::size_t i = 0;
    for (auto _ : state) {
        const QString &section = sections[(i++ * 7919) % sections.size()];
        const auto t0 = Clock::now();
        QString v = fc::ReadIni(path, section, QStringLiteral("Page Text"));
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(v);
        if (samples.size() < samples.capacity())
            samples.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    finish(state, samples, "BM_ReadIniCachedAnyPage");
}

void BM_ReadIniAfterChange(benchmark::State &state)
{
    const QString path = questPath(int(state.range(0)));
    const qint64 size = QFile(path).size();
    std::vector<double> samples;
    for (auto _ : state) {
        state.PauseTiming();
        changeInPlace(path);
        state.ResumeTiming();
        const auto t0 = Clock::now();
        QString v = fc::ReadIni(path, kSection, kKey);
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(v);
        samples.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    state.SetBytesProcessed(state.iterations() * size);
    finish(state, samples, "BM_ReadIniAfterChange");
    state.counters["median_MB_per_s"] = double(size) / median(samples);
}

void BM_ParseOnly(benchmark::State &state)
{
    QFile f(questPath(int(state.range(0))));
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    std::vector<double> samples;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        fc::ini::IniFile file = fc::ini::IniFile::parse(bytes);
        benchmark::DoNotOptimize(file.value(kSection, kKey));
        const auto t1 = Clock::now();
        samples.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    finish(state, samples, "BM_ParseOnly");
    state.counters["median_MB_per_s"] = double(bytes.size()) / median(samples);
    fc::ini::IniFile file = fc::ini::IniFile::parse(bytes);
    for (int p = 1; p <= state.range(0); ++p)
        file.value(QString::number(p), kKey); // every section's keys indexed
    state.counters["parsed_MB_all_indexed"] = double(file.memoryUsage()) / 1e6;
    state.counters["file_MB"] = double(bytes.size()) / 1e6;
}

void BM_WriteIni(benchmark::State &state)
{
    const QString path = questPath(int(state.range(0)));
    std::vector<double> samples;
    int n = 0;
    for (auto _ : state) {
        const QString value = QString::number(n++ % 1000);
        const auto t0 = Clock::now();
        fc::WriteIni(path, kSection, kKey, value);
        const auto t1 = Clock::now();
        samples.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    finish(state, samples, "BM_WriteIni");
    fc::WriteIni(path, kSection, kKey, QStringLiteral("503"));
}

void BM_QSettingsRead(benchmark::State &state)
{
    const QString path = questPath(int(state.range(0)));
    QSettings settings(path, QSettings::IniFormat);
    const QString key = kSection + QLatin1Char('/') + kKey;
    settings.value(key);
    std::vector<double> samples;
    samples.reserve(1 << 20);
    for (auto _ : state) {
        const auto t0 = Clock::now();
        QVariant v = settings.value(key);
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(v);
        if (samples.size() < samples.capacity())
            samples.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    finish(state, samples, "BM_QSettingsRead");
}

void BM_ReparseEveryRead(benchmark::State &state)
{
    // Baseline: what every read costs without a cache.
    const QString path = questPath(int(state.range(0)));
    std::vector<double> samples;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        const fc::ini::IniFile file = fc::ini::IniFile::parse(f.readAll());
        QString v = file.value(kSection, kKey).value_or(QString());
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(v);
        samples.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    finish(state, samples, "BM_ReparseEveryRead");
}

void BM_CacheMemory(benchmark::State &state)
{
    // Resident memory added by caching the file and indexing every page.
    const int pages = int(state.range(0));
    const QString path = g_dir->filePath(QStringLiteral("memory%1.qst").arg(pages));
    QFile::copy(questPath(pages), path);
    long grown = 0;
    for (auto _ : state) {
        const long before = rssKb();
        for (int p = 1; p <= pages; ++p)
            benchmark::DoNotOptimize(fc::ReadIni(path, QString::number(p), kKey));
        grown = rssKb() - before;
    }
    state.counters["rss_growth_MB"] = double(grown) / 1024;
    state.counters["file_MB"] = double(QFile(path).size()) / 1e6;
}

BENCHMARK(BM_ReadIniCached)->Arg(1000)->Arg(20000);
BENCHMARK(BM_ReadIniCachedBareName)->Arg(1000);
BENCHMARK(BM_ReadIniCachedAnyPage)->Arg(1000)->Arg(20000);
BENCHMARK(BM_ReadIniAfterChange)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseOnly)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteIni)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QSettingsRead)->Arg(1000)->Arg(20000);
BENCHMARK(BM_ReparseEveryRead)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CacheMemory)->Arg(20000)->Iterations(1)->Unit(benchmark::kMillisecond);

void printRatios()
{
    std::printf("\nMedians (microseconds) and ratios:\n");
    for (const auto &[name, us] : g_median_us)
        std::printf("  %-36s %12.3f\n", name.c_str(), us);
    for (const char *pages : {"1000", "20000"}) {
        const double cached = g_median_us[std::string("BM_ReadIniCached/") + pages];
        const double qs = g_median_us[std::string("BM_QSettingsRead/") + pages];
        const double reparse = g_median_us[std::string("BM_ReparseEveryRead/") + pages];
        if (cached > 0) {
            std::printf("  %5s pages: QSettings / cached ReadIni = %.2f, re-parse every read / cached ReadIni = %.0f\n",
                        pages, qs / cached, reparse / cached);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // FABLECRAFT_BENCH_DIR picks the file system (e.g. a RAM disk, to take the
    // device's flush time out of the write figures).
    const QString parent = qEnvironmentVariableIsSet("FABLECRAFT_BENCH_DIR")
                               ? qEnvironmentVariable("FABLECRAFT_BENCH_DIR")
                               : QDir::tempPath();
    QTemporaryDir dir(parent + QStringLiteral("/bench-aohider-XXXXXX"));
    g_dir = &dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
    for (int pages : {1000, 20000}) {
        QFile f(questPath(pages));
        f.open(QIODevice::WriteOnly);
        f.write(generateQuest(pages));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printRatios();
    return 0;
}
