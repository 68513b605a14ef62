#include "storage/encoder.h"

#include "storage/cp1252.h"

namespace fc {

namespace {

// Through the Windows-1252 bytes, so the shift is the same as on a system
// whose code page this is, whatever the characters' Unicode numbers are.
std::optional<QString> shift(QStringView text, int by)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    if (!cp1252::encode(text, bytes))
        return std::nullopt;
    for (char &b : bytes) {
        const int shifted = int(uchar(b)) + by;
        if (shifted < 0 || shifted > 255)
            return std::nullopt;
        b = char(shifted);
    }
    return cp1252::decode(bytes);
}

} // namespace

std::optional<QString> EncodeText(QStringView text)
{
    return shift(text, -4);
}

std::optional<QString> DecodeText(QStringView text)
{
    return shift(text, 4);
}

} // namespace fc
