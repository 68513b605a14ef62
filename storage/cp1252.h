#pragma once
// Windows-1252, the single-byte code page of every file the program keeps.
// All 256 byte values map to a character and back: the five bytes the code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control
// characters of the same number, as Windows itself does.

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <QString>
#include <QStringView>

#include <optional>

namespace fc::cp1252 {

// Character of byte b.
QChar toUnicode(uchar b);

// Byte of character c, or -1 when Windows-1252 has no byte for c (this
// includes every half of a surrogate pair).
int fromUnicode(QChar c);

// True when every character of text has a Windows-1252 byte.
bool canEncode(QStringView text);

// Text of bytes; never fails.
QString decode(QByteArrayView bytes);

// Bytes of text, or nothing when a character has no Windows-1252 byte.
std::optional<QByteArray> encode(QStringView text);

} // namespace fc::cp1252
