#include "storage/cp1252.h"
#include "storage/encoder.h"

#include <gtest/gtest.h>

namespace {

QString fromCodes(std::initializer_list<int> codes)
{
    QByteArray bytes;
    for (int c : codes)
        bytes += char(c);
    return fc::cp1252::decode(bytes);
}

TEST(Encoder, WorkedExamplesEncodeAndDecodeBack)
{
    const struct {
        QString plain;
        QString scrambled;
    } cases[] = {
        {QStringLiteral("abc"), QStringLiteral("]^_")},
        {QStringLiteral("12"), QStringLiteral("-.")},
        {QStringLiteral("-5"), QStringLiteral(")1")},
        {QStringLiteral("0"), QStringLiteral(",")},
        {QStringLiteral("\r\n"), fromCodes({9, 6})},
        {QStringLiteral("$"), QStringLiteral(" ")},
        {QString(), QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.plain.toStdString());
        const auto enc = fc::EncodeText(c.plain);
        ASSERT_TRUE(enc.has_value());
        EXPECT_EQ(*enc, c.scrambled);
        const auto dec = fc::DecodeText(c.scrambled);
        ASSERT_TRUE(dec.has_value());
        EXPECT_EQ(*dec, c.plain);
    }
}

// The shift works on Windows-1252 codes, not on Unicode code points: files
// saved on Windows must load here byte for byte.
TEST(Encoder, ShiftsWindows1252CodesNotUnicode)
{
    EXPECT_EQ(fc::EncodeText(QStringLiteral("\u20AC")), QStringLiteral("|"));              // 0x80 -> 0x7C
    EXPECT_EQ(fc::EncodeText(QStringLiteral("\u201E")), QStringLiteral("\u20AC"));         // 0x84 -> 0x80
    EXPECT_EQ(fc::EncodeText(QStringLiteral("\u201C")), QStringLiteral("\u008F"));         // 0x93 -> 0x8F (undefined byte)
    EXPECT_EQ(fc::DecodeText(QStringLiteral("\u008D")), QStringLiteral("\u2018"));         // 0x8D -> 0x91
    EXPECT_EQ(fc::DecodeText(QStringLiteral("\u00A0")), QStringLiteral("\u00A4"));         // Latin-1 range unchanged
    EXPECT_EQ(fc::DecodeText(QStringLiteral("|")), QStringLiteral("\u20AC"));
}

TEST(Encoder, EveryConvertibleCodeRoundTrips)
{
    QByteArray bytes;
    for (int c = 4; c <= 255; ++c)
        bytes += char(c);
    const QString all = fc::cp1252::decode(bytes);
    const auto enc = fc::EncodeText(all);
    ASSERT_TRUE(enc.has_value());
    ASSERT_EQ(enc->size(), all.size());
    for (int i = 0; i < enc->size(); ++i)
        ASSERT_EQ(fc::cp1252::byteOf(enc->at(i).unicode()), i) << "code " << i + 4;
    EXPECT_EQ(fc::DecodeText(*enc), all);
}

TEST(Encoder, FailsAsAWhole)
{
    // Codes 0-3 cannot be encoded, 252-255 cannot be decoded; a character
    // Windows-1252 has no byte for fails both ways. One bad character in
    // the middle of good text gives no result at all.
    for (int c = 0; c <= 3; ++c) {
        EXPECT_FALSE(fc::EncodeText(QStringLiteral("ab") + QChar(c) + QStringLiteral("cd")).has_value()) << c;
        EXPECT_TRUE(fc::DecodeText(QString(QChar(c))).has_value()) << c;
    }
    for (int c = 252; c <= 255; ++c) {
        EXPECT_FALSE(fc::DecodeText(QStringLiteral("ab") + QChar(c) + QStringLiteral("cd")).has_value()) << c;
        EXPECT_TRUE(fc::EncodeText(QString(QChar(c))).has_value()) << c;
    }
    const QString cjk = QStringLiteral("page \u4E00 text");
    EXPECT_FALSE(fc::EncodeText(cjk).has_value());
    EXPECT_FALSE(fc::DecodeText(cjk).has_value());
    const QString emoji = QStringLiteral("x\U0001F600");
    EXPECT_FALSE(fc::EncodeText(emoji).has_value());
    EXPECT_FALSE(fc::DecodeText(emoji).has_value());
    // U+0080 is not the Windows-1252 character of byte 0x80.
    EXPECT_FALSE(fc::EncodeText(QStringLiteral("\u0080")).has_value());
}

} // namespace
