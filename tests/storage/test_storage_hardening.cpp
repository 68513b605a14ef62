// The profile store under hostile conditions: a full disk, a writer killed in
// the middle, two writers at once, files that are no regular files, odd
// encodings, links, foreign owners and folders that forbid new files.
#include "storage/profile_store.h"
#include "storage/saved_game.h"
#include "tests/storage/storage_games.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using fc::test::readFile;
using fc::test::writeFile;

namespace {

QString S(const char16_t *s) { return QString::fromUtf16(s); }

class Hardening : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QStringList entries() const
    {
        return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    QTemporaryDir m_dir;
};

struct Child
{
    int exitCode = -1;
    QByteArray out, err;
};

Child runChild(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(STORAGE_CHILD), args);
    Child c;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return c;
    c.exitCode = p.exitCode();
    c.out = p.readAllStandardOutput();
    c.err = p.readAllStandardError();
    return c;
}

// ---- a full disk -----------------------------------------------------------

// A small memory file system, filled up, when the test may mount one.
class FullDisk
{
public:
    explicit FullDisk(const QString &where) : m_where(where)
    {
        QDir().mkpath(where);
        m_mounted = ::geteuid() == 0
                    && ::mount("tmpfs", QFile::encodeName(where).constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~FullDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_where).constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    // Fills what is left with a file of its own.
    void fill() const
    {
        QFile f(m_where + QStringLiteral("/filler"));
        f.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        const QByteArray block(512, 'f');
        while (f.write(block) == block.size()) {
        }
        const QByteArray byte(1, 'f');
        while (f.write(byte) == 1) {
        }
    }

private:
    QString m_where;
    bool m_mounted = false;
};

// Small files (under any write buffer) on a full file system: the write fails
// with the cause named, and the old bytes stay.
TEST_F(Hardening, FullDiskKeepsTheOldFileAndSaysWhy)
{
    FullDisk disk(path(QStringLiteral("disk")));
    if (!disk.mounted())
        GTEST_SKIP() << "needs root to mount a small tmpfs; the file size limit case covers the rest";
    const QString quest = path(QStringLiteral("disk/q.qst"));
    const QByteArray questBytes = "[1]\r\nPage Text=thirty byte q\r\n";
    ASSERT_TRUE(writeFile(quest, questBytes));
    const QString sav = path(QStringLiteral("disk/game.sav"));
    ASSERT_TRUE(fc::WriteSavedGame(sav, fc::test::savedGame(0)).ok());
    const QByteArray savBytes = readFile(sav);
    disk.fill();

    QString error;
    EXPECT_FALSE(fc::WriteIniChecked(quest, QStringLiteral("1"), QStringLiteral("Page Text"),
                                     QStringLiteral("a longer text than before"), &error));
    EXPECT_TRUE(error.contains(QLatin1String("No space left on device"))) << qPrintable(error);
    EXPECT_EQ(readFile(quest), questBytes);

    const fc::SavedGameResult saved = fc::WriteSavedGame(sav, fc::test::savedGame(1));
    EXPECT_EQ(saved.error, fc::SavedGameError::WriteFailed);
    EXPECT_TRUE(saved.detail.contains(QLatin1String("No space left on device"))) << qPrintable(saved.detail);
    EXPECT_EQ(readFile(sav), savBytes);

    // A new file that cannot be written is not left behind empty.
    EXPECT_FALSE(fc::WriteIniChecked(path(QStringLiteral("disk/new.ini")), QStringLiteral("S"), QStringLiteral("k"),
                                     QString(2000, QLatin1Char('v'))));
    EXPECT_EQ(QDir(path(QStringLiteral("disk"))).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{QStringLiteral("filler"), QStringLiteral("game.sav"), QStringLiteral("q.qst")}));
}

// The same with a file size limit, which needs no privileges: a 30-byte file
// and a limit just above it.
TEST_F(Hardening, FileSizeLimitOnASmallFileKeepsIt)
{
    const QString quest = path(QStringLiteral("q.qst"));
    const QByteArray questBytes = "[1]\r\nPage Text=thirty byte q\r\n";
    ASSERT_TRUE(writeFile(quest, questBytes));
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 40;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool ok = fc::WriteIniChecked(quest, QStringLiteral("1"), QStringLiteral("Page Text"),
                                        QStringLiteral("a longer text than before"), &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(error.contains(QLatin1String("File too large"))) << qPrintable(error);
    EXPECT_EQ(readFile(quest), questBytes);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("q.qst")});
}

// ---- a saver killed in the middle ------------------------------------------

TEST_F(Hardening, KilledSaveLeavesOneWholeGame)
{
    const QString sav = path(QStringLiteral("game.sav"));
    const fc::SavedGame games[2] = {fc::test::savedGame(0), fc::test::savedGame(1)};
    auto same = [](const fc::SavedGame &a, const fc::SavedGame &b) {
        return a.room == b.room && a.options == b.options && a.page == b.page && a.score == b.score
               && a.inventory == b.inventory;
    };
    int seenFirst = 0, seenSecond = 0;
    const quint32 seed = fc::test::randomSeed();
    SCOPED_TRACE(testing::Message() << "random seed " << seed);
    QRandomGenerator random(seed);
    for (int run = 0; run < 25; ++run) {
        QProcess child;
        child.start(QStringLiteral(STORAGE_CHILD), {QStringLiteral("saves"), sav});
        ASSERT_TRUE(child.waitForReadyRead(30000));
        QThread::usleep(random.bounded(1000u, 30000u));
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished();
        const fc::SavedGameLoad load = fc::ReadSavedGame(sav, true);
        ASSERT_TRUE(load.ok()) << "run " << run << ": " << qPrintable(load.detail);
        const bool first = same(load.game, games[0]), second = same(load.game, games[1]);
        ASSERT_TRUE(first || second) << "run " << run << ": a mix of two games, room "
                                     << qPrintable(load.game.room.left(12)) << ", option 1 "
                                     << qPrintable(load.game.options[0]);
        seenFirst += first;
        seenSecond += second;
    }
    EXPECT_GT(seenFirst + seenSecond, 0);
    // The next save clears away what the killed ones left.
    fc::SavedGame third = games[0];
    third.page = QStringLiteral("999");
    ASSERT_TRUE(fc::WriteSavedGame(sav, third).ok());
    EXPECT_EQ(entries(), QStringList{QStringLiteral("game.sav")});
}

// ---- two writers -----------------------------------------------------------

TEST_F(Hardening, TwoWritersKeepEveryKey)
{
    const QString file = path(QStringLiteral("shared.ini"));
    ASSERT_TRUE(writeFile(file, "[S]\r\nfirst=1\r\n"));
    constexpr int kCount = 150;
    QProcess a, b;
    a.start(QStringLiteral(STORAGE_CHILD), {QStringLiteral("keys"), file, QStringLiteral("a"), QString::number(kCount)});
    b.start(QStringLiteral(STORAGE_CHILD), {QStringLiteral("keys"), file, QStringLiteral("b"), QString::number(kCount)});
    // This process writes too, through its own cache.
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(fc::WriteIniChecked(file, QStringLiteral("S"), QStringLiteral("c%1").arg(i), QString::number(i)));
    ASSERT_TRUE(a.waitForFinished(60000));
    ASSERT_TRUE(b.waitForFinished(60000));
    EXPECT_EQ(a.exitCode(), 0) << a.readAllStandardError().constData();
    EXPECT_EQ(b.exitCode(), 0) << b.readAllStandardError().constData();
    int missing = 0;
    for (int i = 0; i < kCount; ++i) {
        missing += fc::ReadIni(file, QStringLiteral("S"), QStringLiteral("a%1").arg(i)) != QString::number(i);
        missing += fc::ReadIni(file, QStringLiteral("S"), QStringLiteral("b%1").arg(i)) != QString::number(i);
    }
    for (int i = 0; i < 50; ++i)
        missing += fc::ReadIni(file, QStringLiteral("S"), QStringLiteral("c%1").arg(i)) != QString::number(i);
    EXPECT_EQ(missing, 0) << "of " << 2 * kCount + 50 << " keys";
    EXPECT_EQ(fc::ReadIni(file, QStringLiteral("S"), QStringLiteral("first")), QStringLiteral("1"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("shared.ini")}) << "no lock or temporary files left";
}

// ---- files that are no regular files ---------------------------------------

// Runs f on another thread and tells whether it returned within two seconds;
// unblock is called until it does when it did not, so the thread can end.
template <typename F, typename U>
bool returnsQuickly(F f, U unblock)
{
    auto done = std::async(std::launch::async, f);
    if (done.wait_for(std::chrono::seconds(2)) == std::future_status::ready)
        return true;
    while (done.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        unblock();
    return false;
}

TEST_F(Hardening, FifoAndDevicesAreRefusedAtOnce)
{
    const QString fifo = path(QStringLiteral("quest.qst"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    auto feedFifo = [&] {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    };
    QString value = QStringLiteral("unset");
    EXPECT_TRUE(returnsQuickly([&] { value = fc::ReadIni(fifo, QStringLiteral("1"), QStringLiteral("Page Text")); },
                               feedFifo));
    EXPECT_EQ(value, QString());
    EXPECT_TRUE(returnsQuickly([&] { value = fc::ReadSavedGame(fifo, true).detail; }, feedFifo));
    QString error;
    bool written = true;
    EXPECT_TRUE(returnsQuickly(
        [&] { written = fc::WriteIniChecked(fifo, QStringLiteral("1"), QStringLiteral("k"), QStringLiteral("v"), &error); },
        feedFifo));
    EXPECT_FALSE(written);
    EXPECT_TRUE(error.contains(QLatin1String("FIFO"))) << qPrintable(error);

    // A device behind a link: the message names the device, not a stale
    // error of an earlier call.
    const QString link = path(QStringLiteral("zero.ini"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), link));
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(fc::ReadIni(link, QStringLiteral("S"), QStringLiteral("k")), QString());
    EXPECT_EQ(fc::ReadIni(QStringLiteral("/dev/zero"), QStringLiteral("S"), QStringLiteral("k")), QString());
    EXPECT_FALSE(fc::WriteIniChecked(link, QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v"), &error));
    EXPECT_TRUE(error.contains(QLatin1String("character device"))) << qPrintable(error);
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
}

// ---- encodings -------------------------------------------------------------

struct EncodingCase
{
    const char *what;
    QByteArray before;
    QString section, key, value;
    QByteArray after;        // exact bytes after the write
    QString otherKey, other; // a key the write leaves alone, as read after it
};

TEST_F(Hardening, EncodingsSurviveAWrite)
{
    auto utf16 = [](const QString &text, bool little) {
        QByteArray out = little ? QByteArray("\xFF\xFE", 2) : QByteArray("\xFE\xFF", 2);
        for (QChar c : text) {
            const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
            out.append(little ? lo : hi);
            out.append(little ? hi : lo);
        }
        return out;
    };
    const QString text16 = S(u"[S]\r\nname=Ren\u00E9e \u2013 \u4E2D\r\nk=1\r\n");
    const QString after16 = S(u"[S]\r\nname=Ren\u00E9e \u2013 \u4E2D\r\nk=\u20AC\r\n");
    const std::vector<EncodingCase> cases = {
        {"UTF-8 with one stray byte stays UTF-8; the stray byte is kept and reads as U+FFFD",
         "[S]\r\na=caf\xC3\xA9 cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65\r\nb=x\xFFy\r\n", "S", "c", S(u"\u0142\u00F3d\u017A"),
         "[S]\r\na=caf\xC3\xA9 cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65\r\nb=x\xFFy\r\nc=\xC5\x82\xC3\xB3\x64\xC5\xBA\r\n", "b",
         S(u"x\uFFFDy")},
        {"UTF-8 losing its letters keeps being read as UTF-8", "[S]\r\na=\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\r\nb=x\xFFy\r\n", "S",
         "a", "plain", "\xEF\xBB\xBF\r\n[S]\r\na=plain\r\nb=x\xFFy\r\n", "b", S(u"x\uFFFDy")},
        {"Windows-1252 stays Windows-1252", "[S]\r\na=caf\xE9\r\nb=cr\xE8me\r\n", "S", "c", S(u"na\u00EFve"),
         "[S]\r\na=caf\xE9\r\nb=cr\xE8me\r\nc=na\xEFve\r\n", "b", S(u"cr\u00E8me")},
        {"UTF-16 little-endian is written as UTF-16", utf16(text16, true), "S", "k", S(u"\u20AC"),
         utf16(after16, true), "name", S(u"Ren\u00E9e \u2013 \u4E2D")},
        {"UTF-16 big-endian is written as UTF-16", utf16(text16, false), "S", "k", S(u"\u20AC"),
         utf16(after16, false), "name", S(u"Ren\u00E9e \u2013 \u4E2D")},
    };
    for (const EncodingCase &c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = path(QStringLiteral("enc.ini"));
        ASSERT_TRUE(writeFile(file, c.before));
        EXPECT_EQ(fc::ReadIni(file, c.section, c.otherKey), c.other) << "before the write";
        EXPECT_TRUE(fc::WriteIniChecked(file, c.section, c.key, c.value));
        EXPECT_EQ(readFile(file), c.after);
        EXPECT_EQ(fc::ReadIni(file, c.section, c.key), c.value);
        EXPECT_EQ(fc::ReadIni(file, c.section, c.otherKey), c.other);
        QFile::remove(file);
    }
}

// UTF-8 or Windows-1252: UTF-8 when the well-formed multi-byte characters are
// at least one and at least as many as the stray bytes. A write keeps the
// reading, so accents are never turned into two letters each.
TEST_F(Hardening, Utf8OrWindows1252FromTheBytes)
{
    const struct
    {
        const char *what;
        QByteArray value; // as stored in the file
        QString read;
    } cases[] = {
        {"two UTF-8 letters, one stray byte: UTF-8", "Caf\xC3\xA9 \xC3\x9Cnter \xFF", S(u"Caf\u00E9 \u00DCnter \uFFFD")},
        {"two UTF-8 letters, two stray bytes: UTF-8", "Caf\xC3\xA9 \xC3\x9Cnter \xFF\xFE", S(u"Caf\u00E9 \u00DCnter \uFFFD\uFFFD")},
        {"one UTF-8 letter, two stray bytes: Windows-1252", "Caf\xC3\xA9 \xFF\xFE", S(u"Caf\u00C3\u00A9 \u00FF\u00FE")},
        {"Windows-1252 letters", "caf\xE9 cr\xE8me br\xFBl\xE9\x65", S(u"caf\u00E9 cr\u00E8me br\u00FBl\u00E9e")},
        {"Windows-1252 letters, two of them by chance a UTF-8 letter", "\xC3\xA9t\xE9 \xE0 No\xEBl",
         S(u"\u00C3\u00A9t\u00E9 \u00E0 No\u00EBl")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = path(QStringLiteral("guess.ini"));
        ASSERT_TRUE(writeFile(file, "[S]\r\na=" + c.value + "\r\n"));
        EXPECT_EQ(fc::ReadIni(file, QStringLiteral("S"), QStringLiteral("a")), c.read);
        EXPECT_TRUE(fc::WriteIniChecked(file, QStringLiteral("S"), QStringLiteral("b"), QStringLiteral("x")));
        EXPECT_EQ(readFile(file), "[S]\r\na=" + c.value + "\r\nb=x\r\n");
        EXPECT_EQ(fc::ReadIni(file, QStringLiteral("S"), QStringLiteral("a")), c.read);
        QFile::remove(file);
    }
}

// ---- links, owners, folders ------------------------------------------------

TEST_F(Hardening, WriteThroughALinkChangesItsTarget)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("real")));
    const QString target = path(QStringLiteral("real/quest.qst"));
    ASSERT_TRUE(writeFile(target, "[S]\r\nk=1\r\n"));
    const QString link = path(QStringLiteral("link.qst"));
    ASSERT_TRUE(QFile::link(QStringLiteral("real/quest.qst"), link)); // relative to the link's folder
    EXPECT_TRUE(fc::WriteIniChecked(link, QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("2")));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readFile(target), "[S]\r\nk=2\r\n");
    EXPECT_EQ(fc::ReadIni(link, QStringLiteral("S"), QStringLiteral("k")), QStringLiteral("2"));
    // A dangling link gets its file.
    const QString dangling = path(QStringLiteral("dangling.ini"));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("real/new.ini")), dangling));
    EXPECT_TRUE(fc::WriteIniChecked(dangling, QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_TRUE(QFileInfo(dangling).isSymLink());
    EXPECT_EQ(readFile(path(QStringLiteral("real/new.ini"))), "[S]\r\nk=v\r\n");
}

constexpr uid_t kNobody = 65534;

TEST_F(Hardening, WriteKeepsTheOwner)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the superuser can give a file to another user";
    const QString file = path(QStringLiteral("theirs.ini"));
    ASSERT_TRUE(writeFile(file, "[S]\r\nk=1\r\n"));
    ASSERT_EQ(::chown(QFile::encodeName(file).constData(), kNobody, kNobody), 0);
    EXPECT_TRUE(fc::WriteIniChecked(file, QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("2")));
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
    EXPECT_EQ(st.st_uid, kNobody);
    EXPECT_EQ(st.st_gid, kNobody);
    EXPECT_EQ(readFile(file), "[S]\r\nk=2\r\n");
}

// A writable file in a folder that forbids new files: written in place.
// Permissions do not stop the superuser, so the writer runs as "nobody" then.
TEST_F(Hardening, FileInAFolderWithoutWriteAccessIsWrittenInPlace)
{
    const QString folder = path(QStringLiteral("locked"));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("locked")));
    const QString file = folder + QStringLiteral("/quest.qst");
    ASSERT_TRUE(writeFile(file, "[S]\r\nk=old value\r\nz=1\r\n"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (::geteuid() == 0) {
        ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);
        ASSERT_EQ(::chown(QFile::encodeName(file).constData(), kNobody, kNobody), 0);
        env.insert(QStringLiteral("FC_CHILD_UID"), QString::number(kNobody));
    }
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0644), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
    struct stat before, after;
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &before), 0);
    const Child shorter = runChild({QStringLiteral("set"), file, QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v")}, env);
    const Child longer = runChild({QStringLiteral("set"), file, QStringLiteral("S"), QStringLiteral("n"),
                                   QStringLiteral("a much longer value than the file held")},
                                  env);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_EQ(shorter.exitCode, 0) << shorter.out.constData();
    EXPECT_EQ(longer.exitCode, 0) << longer.out.constData();
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(readFile(file), "[S]\r\nk=v\r\nz=1\r\nn=a much longer value than the file held\r\n");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("quest.qst")});
}

// ---- batches ---------------------------------------------------------------

TEST_F(Hardening, BatchIsOneReplacementThatWinsLikeSingleWrites)
{
    const QString file = path(QStringLiteral("batch.ini"));
    ASSERT_TRUE(writeFile(file, "[A]\r\nx=1\r\n; note\r\n[B]\r\ny=2"));
    struct stat before, after;
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &before), 0);
    fc::IniBatch batch(file);
    batch.write(QStringLiteral("a"), QStringLiteral("X"), QStringLiteral("10"));
    batch.write(QStringLiteral("B"), QStringLiteral("new"), QStringLiteral("n1"));
    batch.write(QStringLiteral("C"), QStringLiteral("c"), QStringLiteral("c1"));
    batch.write(QStringLiteral("A"), QStringLiteral("w"), QStringLiteral("w1"));
    batch.write(QStringLiteral(" c "), QStringLiteral("C"), QStringLiteral("c2"));
    batch.write(QStringLiteral("b"), QStringLiteral("NEW"), QStringLiteral("n2"));
    batch.write(QStringLiteral("A"), QStringLiteral("x"), QStringLiteral("11"));
    EXPECT_EQ(batch.size(), 7);
    EXPECT_EQ(readFile(file), "[A]\r\nx=1\r\n; note\r\n[B]\r\ny=2") << "nothing before commit";
    ASSERT_TRUE(batch.commit());
    EXPECT_TRUE(batch.isEmpty());
    EXPECT_EQ(readFile(file), "[A]\r\nx=11\r\nw=w1\r\n; note\r\n[B]\r\ny=2\r\nnew=n2\r\n[C]\r\nc=c2\r\n");
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);

    // A refused write refuses the whole batch and keeps it.
    fc::IniBatch bad(file);
    bad.write(QStringLiteral("A"), QStringLiteral("x"), QStringLiteral("12"));
    bad.write(QStringLiteral("A"), QStringLiteral("bad=key"), QStringLiteral("v"));
    QString error;
    EXPECT_FALSE(bad.commit(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(bad.size(), 2);
    EXPECT_EQ(fc::ReadIni(file, QStringLiteral("A"), QStringLiteral("x")), QStringLiteral("11"));
}

} // namespace
