// Reading rules of the profile store, checked on parsed text and on files.
#include "storage/cp1252.h"
#include "storage/ini_file.h"
#include "storage/profile_store.h"
#include "tests/support/testsupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using fc::ini::IniFile;

namespace {

struct ReadCase
{
    const char *what;
    QByteArray text;
    QString section;
    QString key;
    QString expected;
};

QByteArray B(const char *s) { return QByteArray(s); }
QString S(const char16_t *s) { return QString::fromUtf16(s); }

const std::vector<ReadCase> &readCases()
{
    static const std::vector<ReadCase> cases = {
        {"plain", B("[S]\r\nk=v\r\n"), "S", "k", "v"},
        {"section and key ignore case", B("[Sec]\r\nKey=v\r\n"), "sEC", "kEY", "v"},
        {"blanks and tabs around names, = and value", B("  [ Sec ]  \r\n \t Key \t=\t value \t \r\n"), "Sec", "Key",
         "value"},
        {"names asked for are trimmed too", B("[Sec]\r\nKey=v\r\n"), " Sec\t", "\tKey ", "v"},
        {"blank inside a key counts", B("[S]\r\nPage Text=x\r\n"), "S", "Page Text", "x"},
        {"blank inside a key must match", B("[S]\r\nPage Text=x\r\n"), "S", "PageText", ""},
        {"blanks inside a value kept", B("[S]\r\nk=a  b\tc\r\n"), "S", "k", "a  b\tc"},
        {"double quotes dropped", B("[S]\r\nk=\"v\"\r\n"), "S", "k", "v"},
        {"single quotes dropped", B("[S]\r\nk='v'\r\n"), "S", "k", "v"},
        {"quotes dropped after trimming", B("[S]\r\nk=  \" v \"  \r\n"), "S", "k", " v "},
        {"mismatched quotes kept", B("[S]\r\nk=\"v'\r\n"), "S", "k", "\"v'"},
        {"lone quote kept", B("[S]\r\nk=\"\r\n"), "S", "k", "\""},
        {"only one pair dropped", B("[S]\r\nk=\"\"v\"\"\r\n"), "S", "k", "\"v\""},
        {"other quotes inside a pair kept", B("[S]\r\nk='\"v\"'\r\n"), "S", "k", "\"v\""},
        {"quote only at the start kept", B("[S]\r\nk=\"v\r\n"), "S", "k", "\"v"},
        {"empty pair", B("[S]\r\nk=\"\"\r\n"), "S", "k", ""},
        {"comment line", B("[S]\r\n;k=v\r\n"), "S", "k", ""},
        {"indented comment line", B("[S]\r\n \t; k=v\r\n"), "S", "; k", ""},
        {"semicolon later belongs to the value", B("[S]\r\nk=a ; b\r\n"), "S", "k", "a ; b"},
        {"semicolon first in a value", B("[S]\r\nk=;b\r\n"), "S", "k", ";b"},
        {"semicolon inside a key name", B("[S]\r\na;b=1\r\n"), "S", "a;b", "1"},
        {"line without = is no key", B("[S]\r\nk\r\nk=2\r\n"), "S", "k", "2"},
        {"line without = only", B("[S]\r\nk\r\n"), "S", "k", ""},
        {"first = splits", B("[S]\r\nk=a=b\r\n"), "S", "k", "a=b"},
        {"empty value", B("[S]\r\nk=\r\n"), "S", "k", ""},
        {"name ends at first ]", B("[a]b]\r\nk=v\r\n"), "a", "k", "v"},
        {"text after ] ignored", B("[S] junk ; x\r\nk=v\r\n"), "S", "k", "v"},
        {"not the whole bracket text", B("[a]b]\r\nk=v\r\n"), "a]b", "k", ""},
        {"header without ] is no header", B("[S]\r\n[T\r\nk=v\r\n"), "S", "k", "v"},
        {"unterminated header line is not a section T", B("[S]\r\n[T\r\nk=v\r\n"), "T", "k", ""},
        {"empty section name", B("[]\r\nk=v\r\n"), "", "k", "v"},
        {"key before any section unreachable", B("k=v\r\n[S]\r\n"), "", "k", ""},
        {"key before any section not in the first one", B("k=v\r\n[S]\r\n"), "S", "k", ""},
        {"first of duplicate sections searched", B("[S]\r\na=1\r\n[T]\r\n[s]\r\na=2\r\nb=3\r\n"), "S", "a", "1"},
        {"later duplicate section never searched", B("[S]\r\na=1\r\n[T]\r\n[s]\r\na=2\r\nb=3\r\n"), "S", "b", ""},
        {"first of duplicate keys wins", B("[S]\r\nk=1\r\nK=2\r\n"), "S", "k", "1"},
        {"CR alone ends lines", B("[S]\rk=v\rj=w\r"), "S", "j", "w"},
        {"LF alone ends lines", B("[S]\nk=v\nj=w\n"), "S", "k", "v"},
        {"mixed line ends", B("[S]\r\nk=v\rj=w\nm=x\r\n"), "S", "m", "x"},
        {"last line unterminated", B("[S]\r\nk=v"), "S", "k", "v"},
        {"value looking like a header", B("[S]\r\nk=[x]\r\n"), "S", "k", "[x]"},
        {"header wins over =", B("[S]\r\n[x]=y\r\nk=1\r\n"), "x", "k", "1"},
        {"missing section", B("[S]\r\nk=v\r\n"), "T", "k", ""},
        {"missing key", B("[S]\r\nk=v\r\n"), "S", "j", ""},
        {"key of the next section not reached", B("[S]\r\n[T]\r\nk=v\r\n"), "S", "k", ""},
        {"windows-1252 by default", B("[S]\r\nk=\x93hi\x94 \x80\r\n"), "S", "k", S(u"\u201Chi\u201D \u20AC")},
        {"utf-8 with multi-byte sequences", B("[S]\r\nk=\xC3\xA9t\xC3\xA9\r\n"), "S", "k", S(u"\u00E9t\u00E9")},
        {"more stray bytes than utf-8 characters means windows-1252", B("[S]\r\nk=\xC3\xA9\xE9\xE8\r\n"), "S", "k",
         S(u"\u00C3\u00A9\u00E9\u00E8")},
        {"as many utf-8 characters as stray bytes means utf-8", B("[S]\r\nk=\xC3\xA9\xE9\r\n"), "S", "k",
         S(u"\u00E9\uFFFD")},
        {"byte-order mark means utf-8", B("\xEF\xBB\xBF[S]\r\nk=\xE2\x82\xAC\r\n"), "S", "k", S(u"\u20AC")},
        {"non-ASCII names ignore case (1252)", B("[S]\r\n\xC9t\xE9=1\r\n"), "S", S(u"\u00C9T\u00C9"), "1"},
        {"non-ASCII names ignore case (utf-8)", B("[\xC3\x89t\xC3\xA9]\r\nk=1\r\n"), S(u"\u00E9T\u00C9"), "k", "1"},
        {"numbered page sections", B("[1]\r\nk=a\r\n[10]\r\nk=b\r\n[2]\r\nk=c\r\n"), "10", "k", "b"},
    };
    return cases;
}

TEST(IniRead, ParsedTextFollowsTheRules)
{
    for (const ReadCase &c : readCases()) {
        SCOPED_TRACE(c.what);
        const IniFile f = IniFile::parse(c.text);
        EXPECT_EQ(f.value(c.section, c.key).value_or(QString()), c.expected);
    }
}

// A whole page read at once answers as key by key reads do, cut to the
// longest read and empty where the section or key is missing.
TEST(IniRead, SeveralKeysReadAtOnceAnswerAsSingleReads)
{
    std::vector<ReadCase> cases = readCases();
    cases.push_back({"a value longer than a read takes", "[S]\r\nk=" + QByteArray(9100, 'v') + "\r\n", "S", "k",
                     QString(9100, QLatin1Char('v'))});
    cases.push_back({"a missing section", "[S]\r\nk=1\r\n", "T", "k", QString()});
    for (const ReadCase &c : cases) {
        SCOPED_TRACE(c.what);
        const IniFile f = IniFile::parse(c.text);
        const QString key = c.key;
        const QStringView keys[] = {key, u"no such key", key};
        QString out[3] = {QStringLiteral("stale"), QStringLiteral("stale"), QStringLiteral("stale")};
        f.readValues(c.section, keys, out);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(out[i], f.readValue(c.section, keys[i])) << i;
        EXPECT_LE(out[0].size(), IniFile::kMaxReadLength);
        EXPECT_TRUE(out[1].isEmpty());
    }
}

TEST(IniRead, FilesFollowTheRules)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    int n = 0;
    for (const ReadCase &c : readCases()) {
        SCOPED_TRACE(c.what);
        const QString path = dir.filePath(QStringLiteral("case%1.ini").arg(n++));
        ASSERT_TRUE(fc::test::writeFile(path, c.text));
        EXPECT_EQ(fc::ReadIni(path, c.section, c.key), c.expected);
    }
}

TEST(IniRead, MissingAndPresentKeysAreTold)
{
    const IniFile f = IniFile::parse("[S]\r\nempty=\r\n");
    EXPECT_TRUE(f.value(u"S", u"empty").has_value());
    EXPECT_FALSE(f.value(u"S", u"other").has_value());
    EXPECT_FALSE(f.value(u"T", u"empty").has_value());
    EXPECT_EQ(f.sectionCount(), 1);
}

TEST(IniRead, LongSectionsUseTheFirstOfDuplicateKeys)
{
    // Sections with many keys take another lookup path than short ones.
    QByteArray text = "[Big]\r\n";
    for (int i = 0; i < 300; ++i)
        text += "Key" + QByteArray::number(i) + "=" + QByteArray::number(i) + "\r\n";
    text += "KEY7=late\r\nkey299 = again\r\n";
    const IniFile f = IniFile::parse(text);
    EXPECT_EQ(f.value(u"big", u"key7").value_or(QString()), "7");
    EXPECT_EQ(f.value(u"big", u"Key299").value_or(QString()), "299");
    EXPECT_EQ(f.value(u"big", u"Key150").value_or(QString()), "150");
    EXPECT_FALSE(f.value(u"big", u"Key300").has_value());
}

TEST(IniRead, ManySectionsAllFound)
{
    QByteArray text;
    for (int i = 1; i <= 5000; ++i)
        text += "[" + QByteArray::number(i) + "]\r\nPage Text=page " + QByteArray::number(i) + "\r\n";
    const IniFile f = IniFile::parse(text);
    EXPECT_EQ(f.sectionCount(), 5000);
    for (int i = 1; i <= 5000; i += 97)
        EXPECT_EQ(f.value(QString::number(i), u"page text").value_or(QString()), QStringLiteral("page %1").arg(i));
}

// A plain line-by-line reader of the same rules, to compare the indexed
// reader with on random text.
std::optional<QString> referenceRead(const QByteArray &text, const QString &section, const QString &key)
{
    QList<QByteArray> lines;
    QByteArray cur;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines << cur;
            cur.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            cur += c;
        }
    }
    lines << cur;
    auto trim = [](QByteArray s) {
        while (!s.isEmpty() && (s.front() == ' ' || s.front() == '\t'))
            s.remove(0, 1);
        while (!s.isEmpty() && (s.back() == ' ' || s.back() == '\t'))
            s.chop(1);
        return s;
    };
    const QByteArray wantSection = trim(section.toLatin1()).toLower();
    const QByteArray wantKey = trim(key.toLatin1()).toLower();
    int state = 0; // 0 before, 1 inside wanted, 2 done with it
    for (const QByteArray &raw : lines) {
        const QByteArray line = trim(raw);
        if (line.startsWith('[') && line.contains(']')) {
            const QByteArray name = trim(line.mid(1, line.indexOf(']') - 1)).toLower();
            if (state == 1)
                state = 2;
            else if (state == 0 && name == wantSection)
                state = 1;
            continue;
        }
        if (state != 1 || line.startsWith(';') || !line.contains('='))
            continue;
        const qsizetype eq = line.indexOf('=');
        if (trim(line.left(eq)).toLower() != wantKey)
            continue;
        QByteArray v = trim(line.mid(eq + 1));
        if (v.size() >= 2 && v.front() == v.back() && (v.front() == '"' || v.front() == '\''))
            v = v.mid(1, v.size() - 2);
        return QString::fromLatin1(v);
    }
    return std::nullopt;
}

TEST(IniRead, AgreesWithAPlainReaderOnRandomText)
{
    const char alphabet[] = "[]=; \t\r\n\"'aAbB";
    const QString names[] = {"", "a", "A", "b", "ab", "a b", "[a", "a]"};
    QRandomGenerator rng(20260101);
    for (int round = 0; round < 3000; ++round) {
        QByteArray text;
        const int len = rng.bounded(80);
        for (int i = 0; i < len; ++i)
            text += alphabet[rng.bounded(int(sizeof(alphabet) - 1))];
        const IniFile f = IniFile::parse(text);
        for (const QString &s : names) {
            for (const QString &k : names) {
                const auto want = referenceRead(text, s, k);
                const auto got = f.value(s, k);
                if (want != got) {
                    ADD_FAILURE() << "text " << text.toPercentEncoding().constData() << " section '" << s.toStdString()
                                  << "' key '" << k.toStdString() << "' want " << (want ? want->toStdString() : "(none)")
                                  << " got " << (got ? got->toStdString() : "(none)");
                    return;
                }
            }
        }
    }
}

TEST(Cp1252, EveryByteRoundTrips)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    const QString text = fc::cp1252::decode(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(text[0x80], QChar(0x20AC));
    EXPECT_EQ(text[0x93], QChar(0x201C));
    EXPECT_EQ(text[0x9F], QChar(0x0178));
    for (int undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(text[undefined], QChar(undefined));
    QByteArray back;
    ASSERT_TRUE(fc::cp1252::encode(text, back));
    EXPECT_EQ(back, all);
    QByteArray none;
    EXPECT_FALSE(fc::cp1252::encode(QStringView(u"\u0080"), none)); // 0x80 is the euro sign
    EXPECT_FALSE(fc::cp1252::canEncode(u"\u03A9"));
}

TEST(Utf8, ValidationRejectsMalformedForms)
{
    bool multi = false;
    EXPECT_TRUE(fc::utf8::isValid("plain", 5, &multi));
    EXPECT_FALSE(multi);
    EXPECT_TRUE(fc::utf8::isValid("\xF0\x9F\x98\x80", 4, &multi));
    EXPECT_TRUE(multi);
    EXPECT_FALSE(fc::utf8::isValid("\xC0\xAF", 2));         // overlong
    EXPECT_FALSE(fc::utf8::isValid("\xE0\x80\xAF", 3));     // overlong
    EXPECT_FALSE(fc::utf8::isValid("\xED\xA0\x80", 3));     // surrogate
    EXPECT_FALSE(fc::utf8::isValid("\xF4\x90\x80\x80", 4)); // above U+10FFFF
    EXPECT_FALSE(fc::utf8::isValid("\xC3", 1));             // cut short
    EXPECT_FALSE(fc::utf8::isValid("abcdefgh\x93", 9));
}

} // namespace
