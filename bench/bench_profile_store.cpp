// Profile store speed on generated quests of 1,000 and 20,000 pages (about 40
// keys each): a read of an unchanged file, reads after another program
// changed the last page (warm and with the file evicted from the page cache),
// reads right after this process wrote, a write of one key, a batch of a
// page's 40 keys, against QSettings (INI format, a new object per read, as a
// reader of a file that may have changed needs) and a reader that parses the
// file again for every read. Prints the file system, medians and ratios.
//
// The files go to FABLECRAFT_BENCH_DIR, else to the current folder: run it
// from the project's folder to measure the project's disk; /tmp may be a
// RAM disk.
#include "storage/ini_file.h"
#include "storage/parse_cache.h"
#include "storage/profile_store.h"
#include "storage/quest_format.h"
#include "storage/user_folders.h"

#include "bench/generated_quest.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <sys/statfs.h>
#include <unistd.h>
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

QByteArray generateQuest(int pages) { return fc::bench::generateQuest(pages); }

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

void changeLastPage(const QString &path, bool evict)
{
    // Another program edits the last page's last value in place: same size,
    // new bytes ("BattleEscape=1" CR LF at the end of the file).
    static char digit = '1';
    digit = digit == '1' ? '2' : '1';
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR);
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (::pwrite(fd, &digit, 1, size - 3) != 1)
        std::abort();
    if (evict) {
        ::fdatasync(fd); // only clean pages can be dropped
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    }
    ::close(fd);
}

const char *fileSystemName(const QString &dir)
{
    struct statfs fs;
    if (::statfs(QFile::encodeName(dir).constData(), &fs) != 0)
        return "unknown";
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x01021994: return "tmpfs (RAM)";
    case 0xEF53: return "ext2/3/4";
    case 0x58465342: return "xfs";
    case 0x9123683E: return "btrfs";
    case 0x794C7630: return "overlayfs";
    default: return "other";
    }
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
    // After another program changed the last page: the first read (the whole
    // file read again and parsed) and a read of one key on every page (every
    // page's keys indexed), warm or with the file evicted from the page cache.
    const int pages = int(state.range(0));
    const bool evict = state.range(1) != 0;
    const QString path = questPath(pages);
    const qint64 size = QFile(path).size();
    std::vector<QString> sections;
    for (int p = 1; p <= pages; ++p)
        sections.push_back(QString::number(p));
    std::vector<double> first, all;
    for (auto _ : state) {
        state.PauseTiming();
        changeLastPage(path, evict);
        state.ResumeTiming();
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(fc::ReadIni(path, kSection, kKey));
        const auto t1 = Clock::now();
        for (const QString &section : sections)
            benchmark::DoNotOptimize(fc::ReadIni(path, section, kKey));
        const auto t2 = Clock::now();
        first.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        all.push_back(std::chrono::duration<double, std::micro>(t2 - t0).count());
    }
    const std::string name = evict ? "BM_ReadIniAfterChangeCold" : "BM_ReadIniAfterChangeWarm";
    g_median_us[name + "_first/" + std::to_string(pages)] = median(first);
    g_median_us[name + "_every_page/" + std::to_string(pages)] = median(all);
    state.counters["first_read_ms"] = median(first) / 1000;
    state.counters["first_read_MB_per_s"] = double(size) / median(first);
    state.counters["every_page_ms"] = median(all) / 1000;
}

void BM_ReadEveryPageAfterOwnWrite(benchmark::State &state)
{
    // The editor's pattern: write a field, then the engine reads the pages.
    // A file this process wrote needs no comparison of its bytes.
    const int pages = int(state.range(0));
    const QString path = questPath(pages);
    std::vector<QString> sections;
    for (int p = 1; p <= pages; ++p)
        sections.push_back(QString::number(p));
    std::vector<double> samples;
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fc::WriteIni(path, kSection, QStringLiteral("Location"), QStringLiteral("Room %1").arg(n++ % 100));
        state.ResumeTiming();
        const auto t0 = Clock::now();
        for (const QString &section : sections)
            benchmark::DoNotOptimize(fc::ReadIni(path, section, kKey));
        const auto t1 = Clock::now();
        samples.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    finish(state, samples, "BM_ReadEveryPageAfterOwnWrite");
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

void BM_BatchCommit(benchmark::State &state)
{
    // The editor's save of one page: all 40 keys of a page in one batch,
    // committed as one replacement of the file.
    const int pages = int(state.range(0));
    const QString path = questPath(pages);
    const QString page = QString::number(pages / 2);
    const QStringList keys = [] {
        QStringList k{QStringLiteral("Location"), QStringLiteral("Page Text")};
        for (int i = 1; i <= fc::quest::kOptionCount; ++i)
            k << fc::quest::optionKey(i) << fc::quest::destinationKey(i) << fc::quest::scoreKey(i);
        for (int i = 1; i <= 4; ++i)
            k << QStringLiteral("Key Item%1").arg(i) << QStringLiteral("Add%1").arg(i) << QStringLiteral("Required%1").arg(i);
        k << QStringLiteral("Battle") << QStringLiteral("Image") << QStringLiteral("Movie") << QStringLiteral("Music")
          << QStringLiteral("Mp3") << QStringLiteral("BattleEscapecheck") << QStringLiteral("BattleMonName")
          << QStringLiteral("BattleMonHp") << QStringLiteral("BattleMonAtk") << QStringLiteral("BattleMonDef")
          << QStringLiteral("BattleWin") << QStringLiteral("BattleLose") << QStringLiteral("BattleEscape");
        return k;
    }();
    std::vector<double> samples;
    int n = 0;
    for (auto _ : state) {
        fc::IniBatch batch(path);
        const QString v = QString::number(n++ % 1000);
        for (const QString &key : keys)
            batch.write(page, key, v);
        const auto t0 = Clock::now();
        if (!batch.commit())
            state.SkipWithError("commit failed");
        const auto t1 = Clock::now();
        samples.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    state.counters["keys"] = double(keys.size());
    finish(state, samples, "BM_BatchCommit");
}

void BM_QSettingsRead(benchmark::State &state)
{
    // A new QSettings per read, as a reader of a file that may have changed
    // needs: one object kept alive never looks at the disk again. The value
    // read holds no ";" (QSettings stops there, the profile store does not).
    const QString path = questPath(int(state.range(0)));
    const QString key = kSection + QLatin1Char('/') + kKey;
    std::vector<double> samples;
    samples.reserve(1 << 20);
    for (auto _ : state) {
        const auto t0 = Clock::now();
        QSettings settings(path, QSettings::IniFormat);
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
    // Bytes the parse cache holds for the file with every page indexed.
    const int pages = int(state.range(0));
    const QString path = g_dir->filePath(QStringLiteral("memory%1.qst").arg(pages));
    QFile::copy(questPath(pages), path);
    qsizetype grown = 0;
    for (auto _ : state) {
        const qsizetype before = fc::ProfileCacheMemory();
        for (int p = 1; p <= pages; ++p)
            benchmark::DoNotOptimize(fc::ReadIni(path, QString::number(p), kKey));
        grown = fc::ProfileCacheMemory() - before;
    }
    state.counters["cache_MB"] = double(grown) / 1e6;
    state.counters["file_MB"] = double(QFile(path).size()) / 1e6;
}

BENCHMARK(BM_ReadIniCached)->Arg(1000)->Arg(20000);
BENCHMARK(BM_ReadIniCachedBareName)->Arg(1000);
BENCHMARK(BM_ReadIniCachedAnyPage)->Arg(1000)->Arg(20000);
BENCHMARK(BM_ReadIniAfterChange)->Args({1000, 0})->Args({20000, 0})->Args({1000, 1})->Args({20000, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadEveryPageAfterOwnWrite)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseOnly)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteIni)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchCommit)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
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
            std::printf("  %5s pages: new QSettings + read / cached ReadIni = %.2f, re-parse every read / cached ReadIni = %.0f\n",
                        pages, qs / cached, reparse / cached);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // FABLECRAFT_BENCH_DIR picks the file system; the current folder is the
    // default, so a run from the project's folder measures its disk.
    const QString parent = qEnvironmentVariableIsSet("FABLECRAFT_BENCH_DIR")
                               ? qEnvironmentVariable("FABLECRAFT_BENCH_DIR")
                               : QDir::currentPath();
    QTemporaryDir dir(parent + QStringLiteral("/bench-profile-store-XXXXXX"));
    std::printf("Files in %s, file system %s\n", qPrintable(dir.path()), fileSystemName(dir.path()));
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
