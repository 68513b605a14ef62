#pragma once
// Module encoder: the character-shifting scrambler of saved games.
//
// Each character is taken as its Windows-1252 code (0-255), so a file saved
// on any system loads on any other. EncodeText shifts every code down by 4,
// DecodeText up by 4; the result has the same length as the input.
// Both fail as a whole, returning nothing (never a partial result), when a
// character cannot be converted: a code 0-3 when encoding, a code 252-255
// when decoding, or a character that Windows-1252 cannot hold.
// DecodeText(*EncodeText(t)) == t for every text whose codes are all 4-255.

#include <QString>
#include <QStringView>

#include <optional>

namespace fc {

std::optional<QString> EncodeText(QStringView text);
std::optional<QString> DecodeText(QStringView text);

} // namespace fc
