#pragma once
// Windows-1252 and UTF-8 helpers for the INI layer.
//
// The Windows-1252 mapping here is total in both directions for bytes: every
// byte value 0x00-0xFF decodes to one character and encodes back to the same
// byte. The five codes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) map to the C1 control characters of the same number (U+0081 ...), as
// Windows' own conversion does, so files holding them survive a round trip.

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace fc::cp1252 {

// Characters of the bytes, one character per byte.
QString decode(const char *data, qsizetype size);
inline QString decode(const QByteArray &bytes) { return decode(bytes.constData(), bytes.size()); }

// Appends the Windows-1252 bytes of text to out. Returns false, leaving out
// with an unspecified partial tail, when some character has no byte.
bool encode(QStringView text, QByteArray &out);

// True when every character of text has a Windows-1252 byte.
bool canEncode(QStringView text);

// The byte of one character, or -1 when it has none.
int byteOf(char16_t c);
inline int fromUnicode(QChar c) { return byteOf(c.unicode()); }

// The character of one byte.
QChar toUnicode(uchar b);

} // namespace fc::cp1252

namespace fc::utf8 {

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogate
// code points, nothing above U+10FFFF). *multiByte (when given) tells whether
// at least one multi-byte sequence occurs; it is only meaningful on success.
bool isValid(const char *data, qsizetype size, bool *multiByte = nullptr);

// True when the bytes are UTF-8 text, perhaps with stray bytes: at least one
// well-formed multi-byte sequence, and at least as many of them as bytes that
// are not part of one. Windows-1252 text almost never holds such a sequence
// by chance (an accented letter followed by a symbol from 0x80-0xBF), and its
// accented letters count as stray bytes, so it does not pass.
bool isMostlyValid(const char *data, qsizetype size);

// True when some byte is 0x80 or above.
bool hasHighBytes(const char *data, qsizetype size);

} // namespace fc::utf8
