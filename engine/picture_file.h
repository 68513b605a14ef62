#pragma once
// Pictures named by quests: read through the regular-file check and size
// limit of storage/regular_file.h, then decoded.

#include <QImage>
#include <QString>

#include <optional>

namespace fc {

// The picture in the file at path, or nothing when it is missing, not a
// regular file, too large, or not a picture Qt can decode.
std::optional<QImage> LoadPictureFile(const QString &path, bool autoTransform = false);

} // namespace fc
