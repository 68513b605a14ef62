#include "compiler/media_rules.h"

#include "engine/picture_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fc {

namespace {

// The first bytes of a regular file, read without blocking; nullopt with
// *error when it cannot be read.
std::optional<QByteArray> fileHead(const QString &path, qsizetype size, QString *error)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    QByteArray head(size, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, head.data() + got, size_t(size - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    head.resize(got);
    return head;
}

quint32 be32(const QByteArray &b, qsizetype at)
{
    return (quint32(quint8(b[at])) << 24) | (quint32(quint8(b[at + 1])) << 16) | (quint32(quint8(b[at + 2])) << 8)
           | quint32(quint8(b[at + 3]));
}

bool riffOf(const QByteArray &head, const char *form)
{
    return head.size() >= 12 && head.startsWith("RIFF") && head.mid(8, 4) == form;
}

// An MPEG audio frame header (any version, layer I-III, valid bit rate and
// sample rate) at offset at.
bool mpegAudioFrameAt(const QByteArray &head, qsizetype at)
{
    if (head.size() < at + 4)
        return false;
    const quint8 b0 = quint8(head[at]), b1 = quint8(head[at + 1]), b2 = quint8(head[at + 2]);
    return b0 == 0xFF && (b1 & 0xE0) == 0xE0 && ((b1 >> 3) & 3) != 1 && ((b1 >> 1) & 3) != 0 && (b2 >> 4) != 0xF
           && (b2 >> 4) != 0 && ((b2 >> 2) & 3) != 3;
}

bool isMidi(const QByteArray &head) { return head.size() >= 14 && head.startsWith("MThd") && be32(head, 4) == 6; }

bool isSound(const QByteArray &head)
{
    if (riffOf(head, "WAVE"))
        return true;
    if (head.startsWith("ID3") && head.size() >= 10) {
        // An ID3v2 tag: the audio follows it; its size is a 28-bit synchsafe number.
        const quint32 size = (quint32(quint8(head[6]) & 0x7F) << 21) | (quint32(quint8(head[7]) & 0x7F) << 14)
                             | (quint32(quint8(head[8]) & 0x7F) << 7) | quint32(quint8(head[9]) & 0x7F);
        return (quint8(head[6]) | quint8(head[7]) | quint8(head[8]) | quint8(head[9])) < 0x80 && size > 0;
    }
    return mpegAudioFrameAt(head, 0);
}

// Containers the player's media stack demuxes: AVI, MP4/QuickTime,
// Matroska/WebM and Ogg.
bool isMovie(const QByteArray &head)
{
    if (riffOf(head, "AVI ") || riffOf(head, "AVIX"))
        return true;
    if (head.size() >= 12) {
        const QByteArray box = head.mid(4, 4);
        if (box == "ftyp" || box == "moov" || box == "mdat" || box == "wide" || box == "free")
            return true;
    }
    if (head.startsWith("\x1A\x45\xDF\xA3"))
        return true;
    return head.startsWith("OggS");
}

bool underFolder(const QString &path, const QString &folder)
{
    if (folder.isEmpty())
        return false;
    if (folder == QLatin1String("/"))
        return true;
    return path.startsWith(folder + QLatin1Char('/'));
}

bool hasHiddenComponent(const QString &relative)
{
    const QStringList parts = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (part.startsWith(QLatin1Char('.')))
            return true;
    }
    return false;
}

QString canonicalFolder(const QString &dir)
{
    return dir.isEmpty() ? QString() : QFileInfo(dir).canonicalFilePath();
}

} // namespace

std::optional<MediaKind> mediaKindForKey(const QString &key)
{
    static const struct
    {
        const char *key;
        MediaKind kind;
    } table[] = {
        {"Image", MediaKind::Picture},       {"BattleImage", MediaKind::Picture}, {"CharImage", MediaKind::Picture},
        {"Music", MediaKind::Music},         {"BattleMusic", MediaKind::Music},   {"Mp3", MediaKind::Sound},
        {"Movie", MediaKind::Movie},
    };
    for (const auto &row : table) {
        if (key.compare(QLatin1String(row.key), Qt::CaseInsensitive) == 0)
            return row.kind;
    }
    return std::nullopt;
}

MediaAdmission admitMediaFile(MediaKind kind, const QString &path, const QString &questDir, const QString &programDir)
{
    MediaAdmission a;
    const auto refuse = [&a](const QString &reason) {
        a.admitted = false;
        a.reason = reason;
        return a;
    };
    if (path.isEmpty())
        return refuse(QStringLiteral("not found"));
    const QString named = QDir::isAbsolutePath(path) ? path : QDir(questDir).filePath(path);
    const QString real = QFileInfo(named).canonicalFilePath(); // links followed; "" when missing
    if (real.isEmpty())
        return refuse(QStringLiteral("not found"));
    a.resolvedPath = real;

    // Inside: the quest's folder and the program's default media. There only
    // the part below that folder decides whether the file is hidden; a file
    // elsewhere must have no hidden folder anywhere on its path.
    const QString quest = canonicalFolder(questDir);
    QStringList insideFolders{quest};
    if (!programDir.isEmpty()) {
        insideFolders << canonicalFolder(programDir + QStringLiteral("/media"))
                      << canonicalFolder(programDir + QStringLiteral("/../share/fablecraft/media"));
    }
    QString within;
    for (const QString &folder : insideFolders) {
        if (underFolder(real, folder)) {
            within = folder;
            break;
        }
    }
    a.outsideQuestFolder = within.isEmpty();

    static const char *const systemFolders[] = {"/proc", "/sys", "/dev", "/run", "/etc"};
    for (const char *folder : systemFolders) {
        if (real == QLatin1String(folder) || underFolder(real, QLatin1String(folder)))
            return refuse(QStringLiteral("system file"));
    }

    const QString checked = within.isEmpty() ? real : real.mid(within.size());
    if (hasHiddenComponent(checked))
        return refuse(QStringLiteral("hidden file"));

    struct stat st{};
    if (::stat(QFile::encodeName(real).constData(), &st) != 0)
        return refuse(QStringLiteral("not found"));
    if (!S_ISREG(st.st_mode))
        return refuse(QStringLiteral("not a regular file"));

    QString error;
    switch (kind) {
    case MediaKind::Picture:
        if (!LoadPictureFile(real))
            return refuse(QStringLiteral("not a picture"));
        break;
    case MediaKind::Music:
    case MediaKind::Sound:
    case MediaKind::Movie: {
        const std::optional<QByteArray> head = fileHead(real, 64, &error);
        if (!head)
            return refuse(QStringLiteral("cannot be read: %1").arg(error));
        if (kind == MediaKind::Music && !isMidi(*head))
            return refuse(QStringLiteral("not a MIDI file"));
        if (kind == MediaKind::Sound && !isSound(*head))
            return refuse(QStringLiteral("not a sound"));
        if (kind == MediaKind::Movie && !isMovie(*head))
            return refuse(QStringLiteral("not a movie"));
        break;
    }
    }
    a.admitted = true;
    return a;
}

} // namespace fc
