// The game screen's pictures, loaded once from the program's resources.
#include "engine/ui/artwork.h"

#include <QFile>
#include <QHash>

// Resources of a static library are registered by hand: nothing else would
// pull them into the program.
static void initArtResources()
{
#ifdef FABLECRAFT_HAS_ART
    static const bool done = [] {
        Q_INIT_RESOURCE(art);
        return true;
    }();
    Q_UNUSED(done);
#endif
}

namespace fc::art {

namespace {
QString resourcePath(const QString &name)
{
    return QStringLiteral(":/art/") + name + QStringLiteral(".png");
}
} // namespace

bool hasResource(const QString &name)
{
    initArtResources();
    return QFile::exists(resourcePath(name));
}

QPixmap pixmap(const QString &name, const QSize &fallbackSize)
{
    static QHash<QString, QPixmap> resources;
    initArtResources();
    if (auto it = resources.constFind(name); it != resources.constEnd())
        return *it;
    QPixmap pm;
    if (pm.load(resourcePath(name))) {
        resources.insert(name, pm);
        return pm;
    }
    // Every picture ships with the program; a missing one leaves a clear
    // space rather than a hole.
    pm = QPixmap(fallbackSize.isValid() && !fallbackSize.isEmpty() ? fallbackSize : QSize(64, 64));
    pm.fill(Qt::transparent);
    return pm;
}

QIcon windowIcon()
{
    return QIcon(pixmap(QStringLiteral("app_icon"), QSize(64, 64)));
}

} // namespace fc::art
