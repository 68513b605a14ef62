// The web page exporter: what goes into the page and in which form, what is
// left out and why, where the page may be written, and the command line.
#include "tests/support/testsupport.h"

#include "compiler/web_export.h"
#include "engine/soundfont.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using fc::test::readFile;
using fc::test::writeFile;

QJsonObject scriptJson(const QByteArray &page, const char *id)
{
    const QRegularExpression re(QStringLiteral("<script type=\"application/json\" id=\"%1\">(.*?)</script>").arg(QLatin1String(id)),
                                QRegularExpression::DotMatchesEverythingOption);
    const auto m = re.match(QString::fromUtf8(page));
    return m.hasMatch() ? QJsonDocument::fromJson(m.captured(1).toUtf8()).object() : QJsonObject();
}

// The data URL embedded for a quest value, or "" when it was left out.
QString embedded(const QJsonObject &media, const QString &value)
{
    if (!media.value(QStringLiteral("v")).toObject().contains(value))
        return {};
    return media.value(QStringLiteral("f")).toArray().at(media.value(QStringLiteral("v")).toObject().value(value).toInt()).toString();
}

class WebExport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        base = dir.path();
        QDir(base).mkpath(QStringLiteral("quest/media"));
        questDir = base + QStringLiteral("/quest");
        QImage picture(8, 6, QImage::Format_RGB32);
        picture.fill(Qt::darkRed);
        ASSERT_TRUE(picture.save(questDir + QStringLiteral("/media/room.bmp"), "BMP"));
        ASSERT_TRUE(picture.save(questDir + QStringLiteral("/media/foe.png"), "PNG"));
        ASSERT_TRUE(picture.save(base + QStringLiteral("/outside.png"), "PNG"));
        writeFile(questDir + QStringLiteral("/media/fake.png"), "not a picture at all");
        QByteArray wav("RIFF\x24\0\0\0WAVEfmt ", 16);
        wav += QByteArray("\x10\0\0\0\1\0\1\0\x40\x1f\0\0\x80\x3e\0\0\2\0\x10\0data\0\0\0\0", 28);
        writeFile(questDir + QStringLiteral("/media/chime.wav"), wav);
        QFile::copy(QStringLiteral(FABLECRAFT_SOURCE_DIR "/data/media/cave.mid"), questDir + QStringLiteral("/media/cave.mid"));
        writeFile(questDir + QStringLiteral("/media/broken.avi"), "RIFF\0\0\0\0AVI LIST");
        quest = questDir + QStringLiteral("/tale.qst");
        questBytes = "[Story Info]\r\nTitle=</script><b>Tale</b>\r\n"
                     "[1]\r\nPage Text=A room.\r\nImage=media/room.bmp\r\nMp3=media/chime.wav\r\nMusic=media/cave.mid\r\n"
                     "Movie=media/broken.avi\r\nOption One=On\r\nOption One Destination Page=2\r\n"
                     "[2]\r\nPage Text=Caf\xe9.\r\nImage=../outside.png\r\nBattleImage=media/foe.png\r\nMp3=media/fake.png\r\n"
                     "[3]\r\nImage=media/fake.png\r\nMusic=media/none.mid\r\nBattleImage=media\r\n";
        writeFile(quest, questBytes);
        out = base + QStringLiteral("/page.html");
    }

    fc::WebExportResult run(bool allowOutside = false)
    {
        fc::WebExportRequest r;
        r.questFile = quest;
        r.outFile = out;
        r.allowOutside = allowOutside;
        return fc::exportWebPage(r);
    }

    // Every warning about value, one a line.
    QString warningFor(const fc::WebExportResult &r, const QString &value)
    {
        QStringList found;
        for (const QString &w : r.warnings)
            if (w.startsWith(value + QLatin1Char(' ')))
                found << w;
        return found.join(QLatin1Char('\n'));
    }

    QTemporaryDir dir;
    QString base, questDir, quest, out;
    QByteArray questBytes;
};

TEST_F(WebExport, EmbedsEachMediaFileInAFormBrowsersPlayAndNamesWhatItLeavesOut)
{
    const fc::WebExportResult r = run();
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    const QByteArray page = readFile(out);
    EXPECT_EQ(r.pageBytes, page.size());
    const QJsonObject media = scriptJson(page, "fc-media");
    const bool soundFont = !fc::findSoundFont(QString()).isEmpty();
    struct Case
    {
        const char *value;
        const char *embeddedAs; // data URL prefix, or nullptr when left out
        const char *why;        // part of the warning when left out
    };
    const Case cases[] = {
        {"media/room.bmp", "data:image/png;base64,", nullptr},
        {"media/foe.png", "data:image/png;base64,", nullptr},
        {"media/chime.wav", "data:audio/wav;base64,UklGR", nullptr},
        {"media/cave.mid", soundFont ? "data:audio/ogg;base64,T2dnUw" : nullptr, "SoundFont"},
        {"media/broken.avi", nullptr, "media/broken.avi (page 1, Movie): left out"},
        {"../outside.png", nullptr, "outside the quest's folder"},
        {"media/fake.png", nullptr, "not a picture"},
        {"media/none.mid", nullptr, "not found"},
        {"media", nullptr, "not a regular file"},
    };
    for (const Case &c : cases) {
        const QString value = QLatin1String(c.value);
        const QString url = embedded(media, value);
        if (c.embeddedAs) {
            EXPECT_TRUE(url.startsWith(QLatin1String(c.embeddedAs))) << c.value << " " << url.left(40).toStdString();
            EXPECT_TRUE(warningFor(r, value).isEmpty()) << warningFor(r, value).toStdString();
        } else {
            EXPECT_TRUE(url.isEmpty()) << c.value;
            EXPECT_TRUE(warningFor(r, value).contains(QLatin1String(c.why))) << c.value << ": " << warningFor(r, value).toStdString();
        }
    }
    // The BMP became a PNG of the same picture.
    const QByteArray png = QByteArray::fromBase64(embedded(media, QStringLiteral("media/room.bmp")).section(u',', 1).toLatin1());
    EXPECT_EQ(QImage::fromData(png, "PNG").size(), QSize(8, 6));

    // Files from outside the quest's folder only when asked for.
    ASSERT_TRUE(run(true).ok);
    EXPECT_TRUE(embedded(scriptJson(readFile(out), "fc-media"), QStringLiteral("../outside.png")).startsWith(QLatin1String("data:image/png")));
}

TEST_F(WebExport, CarriesTheQuestByteForByteAndThePlayerWithinItsBudget)
{
    ASSERT_TRUE(run().ok);
    const QByteArray page = readFile(out);
    const QJsonObject questJson = scriptJson(page, "fc-quest");
    EXPECT_EQ(questJson.value(QStringLiteral("name")).toString(), QStringLiteral("tale.qst"));
    EXPECT_EQ(QByteArray::fromBase64(questJson.value(QStringLiteral("data")).toString().toLatin1()), questBytes);
    // The title is text in the page, never markup; no value ends a script early.
    EXPECT_TRUE(page.contains("<title>&lt;/script&gt;&lt;b&gt;Tale&lt;/b&gt;</title>"));
    EXPECT_EQ(page.count("</script>"), 3);

    const QString script = fc::webPlayerScript();
    ASSERT_FALSE(script.isEmpty());
    EXPECT_FALSE(script.contains(QRegularExpression(QStringLiteral("^\\s*(import|export) "), QRegularExpression::MultilineOption)));
    EXPECT_TRUE(page.contains(script.toUtf8()));
    EXPECT_LE(script.toUtf8().size() + fc::webPlayerStyle().toUtf8().size(), 150 * 1024);
}

TEST_F(WebExport, WritesOnlyWhereItMay)
{
    const QByteArray foreign("my own notes");
    struct Case
    {
        const char *name;
        std::function<void()> prepare;
        bool written;
    };
    const QString other = base + QStringLiteral("/other.txt");
    const Case cases[] = {
        {"a file of someone else", [&] { writeFile(out, foreign); }, false},
        {"a link to a file", [&] { writeFile(other, foreign); QFile::link(other, out); }, false},
        {"a folder", [&] { QDir().mkpath(out); }, false},
        {"a page exported before", [&] { ASSERT_TRUE(run().ok); }, true},
        {"no file yet", [] {}, true},
    };
    for (const Case &c : cases) {
        QFile::remove(out);
        QDir(out).removeRecursively();
        QFile::remove(other);
        c.prepare();
        const fc::WebExportResult r = run();
        EXPECT_EQ(r.ok, c.written) << c.name << ": " << r.error.toStdString();
        if (!c.written) {
            EXPECT_FALSE(r.error.isEmpty()) << c.name;
            if (QFileInfo(other).exists()) {
                EXPECT_EQ(readFile(other), foreign) << c.name;
            } else if (QFileInfo(out).isFile()) {
                EXPECT_EQ(readFile(out), foreign) << c.name;
            }
        } else {
            EXPECT_TRUE(readFile(out).startsWith("<!DOCTYPE html>")) << c.name;
        }
    }
}

TEST_F(WebExport, CommandLineExitStatuses)
{
    struct Case
    {
        QStringList args;
        int status;
        const char *stderrHas;
    };
    const Case cases[] = {
        {{}, 2, "usage"},
        {{quest}, 2, "usage"},
        {{quest, out, QStringLiteral("--bogus")}, 2, "unknown option --bogus"},
        {{base + QStringLiteral("/missing.qst"), out}, 1, "does not exist"},
        {{quest, base + QStringLiteral("/no/such/folder/page.html")}, 1, "does not exist"},
        {{quest, out}, 0, ""},
        {{quest, out, QStringLiteral("--allow-outside")}, 0, ""},
    };
    for (const Case &c : cases) {
        QProcess p;
        p.start(QStringLiteral(FABLECRAFT_CLI), QStringList{QStringLiteral("export-web")} + c.args);
        ASSERT_TRUE(p.waitForFinished(120000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), c.status) << c.args.join(u' ').toStdString() << "\n" << err.toStdString();
        EXPECT_TRUE(err.contains(QLatin1String(c.stderrHas))) << err.toStdString();
    }
}

} // namespace
