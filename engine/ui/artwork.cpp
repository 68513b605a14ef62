// The game screen's pictures, loaded once from the program's resources.
#include "engine/ui/artwork.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QStringList>

#include <future>
#include <thread>
#include <vector>

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

// Pictures being decoded by preload(), by name; used on the UI thread only.
QHash<QString, std::shared_future<QImage>> &pending()
{
    static QHash<QString, std::shared_future<QImage>> decoding;
    return decoding;
}
} // namespace

bool hasResource(const QString &name)
{
    initArtResources();
    return QFile::exists(resourcePath(name));
}

void preload(const QStringList &names)
{
    initArtResources();
    QStringList wanted;
    for (const QString &name : names)
        if (!pending().contains(name))
            wanted << name;
    if (wanted.isEmpty())
        return;
    // One thread decodes them in order; each becomes ready as it is done.
    auto promises = std::make_shared<std::vector<std::promise<QImage>>>(wanted.size());
    for (qsizetype i = 0; i < wanted.size(); ++i)
        pending().insert(wanted[i], (*promises)[size_t(i)].get_future().share());
    static std::vector<std::thread> decoders;
    if (decoders.empty())
        qAddPostRoutine([] {
            for (std::thread &t : decoders)
                t.join();
            decoders.clear();
        });
    decoders.emplace_back([wanted, promises] {
        for (qsizetype i = 0; i < wanted.size(); ++i)
            (*promises)[size_t(i)].set_value(QImage(resourcePath(wanted[i])));
    });
}

QPixmap pixmap(const QString &name, const QSize &fallbackSize)
{
    static QHash<QString, QPixmap> resources;
    initArtResources();
    if (auto it = resources.constFind(name); it != resources.constEnd())
        return *it;
    QPixmap pm;
    if (auto it = pending().find(name); it != pending().end()) {
        pm = QPixmap::fromImage(it->get());
        pending().erase(it);
    } else {
        pm.load(resourcePath(name));
    }
    if (!pm.isNull()) {
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
