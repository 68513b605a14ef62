// SectionReader, the one-pass reader of a few keys of a section, against
// IniFile's reads of the same keys.
#include "storage/cp1252.h"
#include "storage/ini_file.h"
#include "storage/ini_section_reader.h"

#include <QStringDecoder>

#include <gtest/gtest.h>

#include <span>
#include <vector>

using fc::ini::FileEncoding;
using fc::ini::IniFile;
using fc::ini::SectionReader;

namespace {

struct ReaderCase
{
    const char *what;
    QByteArray file; // section "S" is read
    FileEncoding encoding; // as IniFile detects it
    QStringList keys;
};

QByteArray bom(const QString &text) { return QByteArray("\xEF\xBB\xBF") + text.toUtf8(); }

std::vector<ReaderCase> readerCases()
{
    const QString pastCut = QString(IniFile::kMaxReadLength - 1, QLatin1Char('x')) + QStringLiteral("\U0001F5DD tail");
    const QByteArray longAscii = QByteArray(IniFile::kMaxReadLength + 50, 'y');
    const QStringList abc{QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("C"), QStringLiteral("Missing")};
    return {
        {"duplicate keys: the first wins, in any case",
         "[S]\r\nA=1\r\na=2\r\n A =3\r\nB=x\r\nb=y\r\n[S]\r\nC=later section\r\n", FileEncoding::Windows1252, abc},
        {"quotes: one pair of equal quotes dropped",
         "[S]\r\nA=\"  spaced  \"\r\nB='single'\r\nC=\"\r\nD=\"\"\r\nE=\"mixed'\r\nF= \"q\"\"r\" \r\nG=''x''\r\n",
         FileEncoding::Windows1252,
         {"A", "B", "C", "D", "E", "F", "G"}},
        {"comments and lines without a key",
         "[S]\r\n; A=comment\r\n \t;B=comment\r\nno key here\r\n=no name\r\nA=after; not a comment\r\n"
         "[abc=not a header\r\nB = spaced = twice \r\n\r\n",
         FileEncoding::Windows1252,
         {"A", "B", "[abc", "", "no key here"}},
        {"CR-only lines", "[S] rest=ignored\rA=1\rB = two\r;C=3\rC=4\r", FileEncoding::Windows1252, abc},
        {"LF-only lines", "[S]\nA=1\nB = two\n;C=3\nC=4", FileEncoding::Windows1252, abc},
        {"mixed line ends", "[S]\r\nA=1\n\rB=2\r\r\nC=3\n\r\n", FileEncoding::Windows1252, abc},
        {"blanks and tabs around names and values",
         "[S]\r\n\t Page Text \t=\t first \t\r\nPAGE TEXT=second\r\n  Option One Destination Page  =  2  \r\n",
         FileEncoding::Windows1252,
         {" page text ", "Option One Destination Page", "Page"}},
        {"a long value cut before a surrogate pair",
         bom(QStringLiteral("[S]\r\nA=%1\r\nB=\"%1\"\r\nC=short\r\n").arg(pastCut)), FileEncoding::Utf8WithBom, abc},
        {"a long value in Windows-1252", "[S]\r\nA=" + longAscii + "\r\nB=" + longAscii + "\x93\r\n",
         FileEncoding::Windows1252, abc},
        {"names outside ASCII, UTF-8",
         bom(QStringLiteral("[S]\r\nKéy=1\r\n\u212Aey Item3=folded to k\r\nÉCOLE=2\r\nstraße=3\r\n")),
         FileEncoding::Utf8WithBom,
         {QStringLiteral("KÉY"), QStringLiteral("key item3"), QStringLiteral("école"), QStringLiteral("STRASSE"),
          QStringLiteral("Straße")}},
        {"names outside ASCII, Windows-1252", "[S]\r\nCaf\xE9=1\r\n\x8A" "a=2\r\nna\xEFve=3\r\n", FileEncoding::Windows1252,
         {QStringLiteral("CAFÉ"), QStringLiteral("\u0161A"), QStringLiteral("naïve"), QStringLiteral("naive")}},
        {"Windows-1252 values", "[S]\r\nA=\x80 \x93quoted\x94 caf\xE9\r\nB='\x85'\r\nC=\x9F\xFF\r\n",
         FileEncoding::Windows1252, abc},
        {"UTF-8 values", bom(QStringLiteral("[S]\r\nA=Ünïcödé \U0001F5DD\r\nB=\uFEFFa mark first\r\nC= ' é ' \r\n")),
         FileEncoding::Utf8WithBom, abc},
        {"UTF-8 without a byte-order mark", QStringLiteral("[S]\nA=café\nb=naïve\n").toUtf8(), FileEncoding::Utf8, abc},
        {"a long name",
         "[S]\r\n" + QByteArray(70, 'N') + "=long name\r\n" + QByteArray(63, 'n') + "=63\r\n", FileEncoding::Windows1252,
         {QString(70, QLatin1Char('n')), QString(63, QLatin1Char('N')), QString(64, QLatin1Char('n'))}},
        {"a header only", "[S]", FileEncoding::Windows1252, abc},
        {"a header with no keys after it", "[S]\r\n\r\n;\r\n[T]\r\nA=other\r\n", FileEncoding::Windows1252, abc},
    };
}

// Section "S" of file as the reader is given it: its piece of the text.
QByteArray sectionText(const IniFile &file)
{
    for (const IniFile::SectionSpan &s : file.sectionSpans())
        if (s.name == QLatin1String("S"))
            return file.text().mid(s.start, s.end - s.start);
    return QByteArray();
}

QString decoded(const QByteArray &bytes, FileEncoding encoding)
{
    if (encoding == FileEncoding::Windows1252)
        return fc::cp1252::decode(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return utf8.decode(bytes);
}

} // namespace

// read() and keyOfLineAt() both give each key what readValue gives it, and a
// key has a value exactly when the store holds it.
TEST(IniSectionReader, ReadsAsIniFileReads)
{
    for (const ReaderCase &c : readerCases()) {
        SCOPED_TRACE(c.what);
        const IniFile file = IniFile::parse(c.file);
        ASSERT_EQ(file.encoding(), c.encoding);
        const QByteArray text = sectionText(file);
        ASSERT_FALSE(text.isEmpty());

        std::vector<QStringView> keys(c.keys.begin(), c.keys.end());
        std::vector<QString> want(keys.size());
        file.readValues(u"S", keys, want);

        SectionReader whole(c.keys, file.encoding());
        whole.read(text);
        // The same, a line at a time: asked for the line of every byte in turn.
        SectionReader stepped(c.keys, file.encoding());
        stepped.start(text);
        QList<int> lineKeys;
        for (qsizetype at = 0, lineEnd = 0; at < text.size(); at = lineEnd + 1) {
            const int k = stepped.keyOfLineAt(at, &lineEnd);
            ASSERT_GE(lineEnd, at);
            if (k >= 0)
                lineKeys << k;
        }
        for (int k = 0; k < whole.count(); ++k) {
            SCOPED_TRACE(c.keys[k].left(20).toStdString());
            const bool stored = file.value(u"S", keys[size_t(k)]).has_value();
            EXPECT_EQ(whole.has(k), stored);
            EXPECT_EQ(stepped.has(k), stored);
            EXPECT_EQ(lineKeys.count(k), stored ? 1 : 0);
            EXPECT_EQ(whole.value(k), want[size_t(k)]);
            EXPECT_EQ(stepped.value(k), want[size_t(k)]);
            if (stored) {
                // The span is the stored value, before the cut.
                const auto [vs, ve] = whole.span(k);
                EXPECT_EQ(decoded(text.mid(vs, ve - vs), c.encoding), *file.value(u"S", keys[size_t(k)]));
            }
        }
    }
}
