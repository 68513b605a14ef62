// Writing rules of the profile store: exact bytes of the resulting files.
#include "storage/ini_file.h"
#include "storage/profile_store.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using fc::ini::IniFile;

namespace {

struct WriteCase
{
    const char *what;
    std::optional<QByteArray> before; // nothing: the file does not exist
    QString section, key, value;
    QByteArray after;
};

const std::vector<WriteCase> &writeCases()
{
    static const std::vector<WriteCase> cases = {
        {"missing file is created", std::nullopt, "S", "k", "v", "[S]\r\nk=v\r\n"},
        {"empty file", QByteArray(), "S", "k", "v", "[S]\r\nk=v\r\n"},
        {"existing key keeps its spelling, loses its blanks", "[Sec]\r\n  MyKey  =  old  \r\nx=1\r\n", "SEC", "mykey",
         "new", "[Sec]\r\nMyKey=new\r\nx=1\r\n"},
        {"only the first of duplicate keys", "[S]\r\nk=1\r\nk=2\r\n", "S", "k", "9", "[S]\r\nk=9\r\nk=2\r\n"},
        {"only the first of duplicate sections", "[S]\r\na=1\r\n[S]\r\nk=2\r\n", "s", "k", "9",
         "[S]\r\na=1\r\nk=9\r\n[S]\r\nk=2\r\n"},
        {"new key after the last key, before trailing comments", "[S]\r\na=1\r\n; c\r\n\r\n[T]\r\nb=2\r\n", "S", "k",
         "v", "[S]\r\na=1\r\nk=v\r\n; c\r\n\r\n[T]\r\nb=2\r\n"},
        {"new key after a non-key line is still after the last key",
         "[S]\r\na=1\r\nfoo\r\nb=2\r\n; end\r\n", "S", "k", "v", "[S]\r\na=1\r\nfoo\r\nb=2\r\nk=v\r\n; end\r\n"},
        {"new key in a section without keys", "[S]\r\n; c\r\n[T]\r\n", "S", "k", "v", "[S]\r\nk=v\r\n; c\r\n[T]\r\n"},
        {"commented key is not the key", "[S]\r\n;k=1\r\n", "S", "k", "v", "[S]\r\nk=v\r\n;k=1\r\n"},
        {"header at the end without line break", "[S]", "S", "k", "v", "[S]\r\nk=v\r\n"},
        {"last key without line break", "[S]\r\na=1", "S", "k", "v", "[S]\r\na=1\r\nk=v\r\n"},
        {"replaced key without line break gets one", "[S]\r\nk=1", "S", "k", "2", "[S]\r\nk=2\r\n"},
        {"new section after an unterminated last line", "[S]\r\na=1", "T", "k", "v", "[S]\r\na=1\r\n[T]\r\nk=v\r\n"},
        {"new section keeps other line ends", "[S]\na=1\n", "T", "k", "v", "[S]\na=1\n[T]\r\nk=v\r\n"},
        {"replaced CR-only line gets CR LF, others untouched", "[S]\ra=1\rb=2\r", "S", "a", "5",
         "[S]\ra=5\r\nb=2\r"},
        {"odd lines and bytes kept", "junk line\r\n[S]\r\n\x01\xff odd\r\na=1\n;c\r\n", "S", "a", "2",
         "junk line\r\n[S]\r\n\x01\xff odd\r\na=2\r\n;c\r\n"},
        {"keys before the first section are not the key", "k=1\r\n", "S", "k", "v", "k=1\r\n[S]\r\nk=v\r\n"},
        {"empty value leaves key=", "[S]\r\na=1\r\n", "S", "a", "", "[S]\r\na=\r\n"},
        {"names are trimmed", std::nullopt, " S\t", " k ", "v", "[S]\r\nk=v\r\n"},
        {"only the first line of a value", std::nullopt, "S", "k", "one\r\ntwo=x\r\n[T]", "[S]\r\nk=one\r\n"},
        {"a value starting with a line break is empty", "[S]\r\nk=1\r\n", "S", "k", "\nk2=x", "[S]\r\nk=\r\n"},
        {"LF alone also cuts", std::nullopt, "S", "k", "a\nb", "[S]\r\nk=a\r\n"},
        {"CR alone also cuts", std::nullopt, "S", "k", "a\rb", "[S]\r\nk=a\r\n"},
        {"leading blank quoted", std::nullopt, "S", "k", " a", "[S]\r\nk=\" a\"\r\n"},
        {"trailing tab quoted", std::nullopt, "S", "k", "a\t", "[S]\r\nk=\"a\t\"\r\n"},
        {"double-quoted value quoted again", std::nullopt, "S", "k", "\"q\"", "[S]\r\nk=\"\"q\"\"\r\n"},
        {"single-quoted value quoted", std::nullopt, "S", "k", "'q'", "[S]\r\nk=\"'q'\"\r\n"},
        {"mismatched quotes not quoted", std::nullopt, "S", "k", "\"q'", "[S]\r\nk=\"q'\r\n"},
        {"inner blanks not quoted", std::nullopt, "S", "k", "a b", "[S]\r\nk=a b\r\n"},
        {"value kept verbatim otherwise", std::nullopt, "S", "k", "=;[x]", "[S]\r\nk==;[x]\r\n"},
    };
    return cases;
}

TEST(IniWrite, ProducesExactBytes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    int n = 0;
    for (const WriteCase &c : writeCases()) {
        SCOPED_TRACE(c.what);
        const QString path = dir.filePath(QStringLiteral("w%1.ini").arg(n++));
        if (c.before) {
            ASSERT_TRUE(fc::test::writeFile(path, *c.before));
        }
        QString error;
        EXPECT_TRUE(fc::WriteIniChecked(path, c.section, c.key, c.value, &error)) << error.toStdString();
        EXPECT_EQ(fc::test::readFile(path), c.after);
    }
}

TEST(IniWrite, ParsedTextGivesTheSameBytes)
{
    for (const WriteCase &c : writeCases()) {
        SCOPED_TRACE(c.what);
        const IniFile f = IniFile::parse(c.before.value_or(QByteArray()));
        EXPECT_EQ(f.withValue(c.section, c.key, c.value).value_or("(failed)"), c.after);
    }
}

TEST(IniWrite, ValuesReadBackAsWritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("values.ini");
    const QString values[] = {"", " ", "  padded  ", "\t", "\"", "''", "\"\"", "\"a\"", "'a'", "\"a'", " \"a\" ",
                              "a;b", ";a", "=", "[S]", "x=y", "trailing ", "$scrambled", "&...&"};
    for (const QString &v : values) {
        SCOPED_TRACE(v.toStdString());
        ASSERT_TRUE(fc::WriteIniChecked(path, "S", "k", v));
        EXPECT_EQ(fc::ReadIni(path, "S", "k"), v);
    }
}

TEST(IniWrite, LineBreakCannotInjectKeys)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("inject.ini");
    fc::WriteIni(path, "1", "Option One", "Go north\r\nOption One Destination Page=666\r\n[2]\r\nBattle=1");
    EXPECT_EQ(fc::ReadIni(path, "1", "Option One"), "Go north");
    EXPECT_EQ(fc::ReadIni(path, "1", "Option One Destination Page"), "");
    EXPECT_EQ(fc::ReadIni(path, "2", "Battle"), "");
    EXPECT_EQ(fc::test::readFile(path), QByteArray("[1]\r\nOption One=Go north\r\n"));
}

TEST(IniWrite, NamesThatCannotReadBackAreRefused)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("names.ini");
    const std::pair<QString, QString> bad[] = {
        {"S", ""}, {"S", "  "}, {"S", "a=b"}, {"S", ";k"}, {"S", "[k"}, {"a]b", "k"}, {"S", "a\nb"}, {"S\r", "k"},
    };
    for (const auto &[section, key] : bad) {
        SCOPED_TRACE((section + "/" + key).toStdString());
        QString error;
        EXPECT_FALSE(fc::WriteIniChecked(path, section, key, "v", &error));
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(QFile::exists(path));
    }
}

TEST(IniWrite, BufferLimitOf8999Characters)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("long.ini");
    const QString v8999(8999, QLatin1Char('x'));
    QString v9000 = v8999 + QLatin1Char('y');
    fc::WriteIni(path, "S", "a", v8999);
    fc::WriteIni(path, "S", "b", v9000);
    fc::WriteIni(path, "S", "c", QString(20000, QLatin1Char('z')));
    fc::WriteIni(path, "S", "d", QLatin1Char(' ') + v8999); // stored quoted
    EXPECT_EQ(fc::ReadIni(path, "S", "a"), v8999);
    EXPECT_EQ(fc::ReadIni(path, "S", "b"), v8999);
    EXPECT_EQ(fc::ReadIni(path, "S", "c"), QString(8999, QLatin1Char('z')));
    EXPECT_EQ(fc::ReadIni(path, "S", "d"), (QLatin1Char(' ') + v8999).left(8999));
    // The whole value is on disk; only the read is limited.
    EXPECT_TRUE(fc::test::readFile(path).contains("b=" + v9000.toLatin1() + "\r\n"));
}

// After storing one key, every other key reads as before and the stored key
// reads back its value.
TEST(IniWrite, OtherKeysUnaffectedOnRandomText)
{
    // High bytes make some texts UTF-8 and some Windows-1252, and some of the
    // latter turn into UTF-8 lookalikes once written.
    const char alphabet[] = "[]=; \t\r\n\"'aAbB\xC3\xA9\x93";
    const QString names[] = {"a", "b", "ab", "a b"};
    QRandomGenerator rng(4711);
    for (int round = 0; round < 1500; ++round) {
        QByteArray text;
        const int len = rng.bounded(70);
        for (int i = 0; i < len; ++i)
            text += alphabet[rng.bounded(int(sizeof(alphabet) - 1))];
        const IniFile before = IniFile::parse(text);
        const QString &section = names[rng.bounded(4)];
        const QString &key = names[rng.bounded(4)];
        const auto bytes = before.withValue(section, key, u"new");
        ASSERT_TRUE(bytes.has_value());
        const IniFile after = IniFile::parse(*bytes);
        for (const QString &s : names) {
            for (const QString &k : names) {
                const bool target = s.compare(section, Qt::CaseInsensitive) == 0 && k.compare(key, Qt::CaseInsensitive) == 0;
                const auto want = target ? std::optional<QString>("new") : before.value(s, k);
                if (after.value(s, k) != want) {
                    ADD_FAILURE() << "text " << text.toPercentEncoding().constData() << " wrote " << section.toStdString()
                                  << "/" << key.toStdString() << " changed " << s.toStdString() << "/"
                                  << k.toStdString() << " result " << bytes->toPercentEncoding().constData();
                    return;
                }
            }
        }
    }
}

// A batch built in one pass reads like the same writes applied one by one.
TEST(IniWrite, BatchReadsLikeWritesInTurnOnRandomText)
{
    const char alphabet[] = "[]=; \t\r\n\"'aAbB\xC3\xA9\x93";
    const QString names[] = {"a", "b", "ab", "a b", "B"};
    const QString values[] = {"1", "", " x ", "\u00E9", "\u0142", "\"q\""};
    QRandomGenerator rng(815);
    for (int round = 0; round < 1500; ++round) {
        QByteArray text;
        const int len = rng.bounded(70);
        for (int i = 0; i < len; ++i)
            text += alphabet[rng.bounded(int(sizeof(alphabet) - 1))];
        const fc::IniEncoding mode = rng.bounded(4) == 0 ? fc::IniEncoding::Windows1252 : fc::IniEncoding::Detect;
        std::vector<QString> parts;
        const int count = 1 + rng.bounded(6);
        for (int i = 0; i < count; ++i) {
            parts.push_back(names[rng.bounded(5)]);
            parts.push_back(names[rng.bounded(5)]);
            parts.push_back(values[rng.bounded(6)]);
        }
        std::vector<fc::ini::ValueWrite> writes;
        for (int i = 0; i < count; ++i)
            writes.push_back({parts[3 * i], parts[3 * i + 1], parts[3 * i + 2]});
        std::optional<QByteArray> oneByOne = text;
        for (const auto &w : writes) {
            oneByOne = IniFile::parse(*oneByOne, mode).withValue(w.section, w.key, w.value);
            if (!oneByOne)
                break;
        }
        const auto batch = IniFile::parse(text, mode).withValues(writes);
        ASSERT_EQ(batch.has_value(), oneByOne.has_value()) << text.toPercentEncoding().constData();
        if (!batch)
            continue;
        const IniFile a = IniFile::parse(*batch, mode), b = IniFile::parse(*oneByOne, mode);
        for (const QString &sec : names) {
            for (const QString &key : names) {
                ASSERT_EQ(a.value(sec, key), b.value(sec, key))
                    << "text " << text.toPercentEncoding().constData() << " batch "
                    << batch->toPercentEncoding().constData() << " one by one "
                    << oneByOne->toPercentEncoding().constData();
            }
        }
        if (a.encoding() == b.encoding()) {
            EXPECT_EQ(*batch, *oneByOne) << text.toPercentEncoding().constData();
        }
    }
}

} // namespace
