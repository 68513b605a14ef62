#include "engine/picture_file.h"

#include "storage/regular_file.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>

namespace fc {

std::optional<QImage> LoadPictureFile(const QString &path, bool autoTransform)
{
    FileRead read = ReadRegularFile(path, filelimit::kPicture);
    if (!read.ok())
        return std::nullopt;
    QBuffer buffer(&read.bytes);
    buffer.open(QIODevice::ReadOnly);
    // The suffix names formats that carry no signature (TGA); the content
    // decides when it is wrong.
    QImageReader reader(&buffer, QFileInfo(path).suffix().toLower().toLatin1());
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(autoTransform);
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return image;
}

} // namespace fc
