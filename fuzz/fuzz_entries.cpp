#include "fuzz/fuzz_entries.h"

#include "storage/cp1252.h"
#include "storage/ini_file.h"
#include "storage/saved_game.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

namespace fc::fuzz {

namespace {

// Section and key names to look up: fixed ones, plus those the input spells
// (text between "[" and "]", text before "="), a few at most.
void collectNames(const QString &text, QStringList &sections, QStringList &keys)
{
    sections = {QStringLiteral("saved game"), QStringLiteral("1"), QString()};
    keys = {QStringLiteral("room"), QStringLiteral("Page Text"), QString()};
    QString unified = text;
    unified.replace(u'\r', u'\n');
    const QStringList lines = unified.split(u'\n');
    for (const QString &line : lines) {
        const qsizetype open = line.indexOf(u'[');
        const qsizetype close = line.indexOf(u']');
        if (open >= 0 && close > open && sections.size() < 12)
            sections.push_back(line.mid(open + 1, close - open - 1));
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0 && keys.size() < 12)
            keys.push_back(line.left(eq));
    }
}

// What a read of a value written as `value` returns: the text up to the
// first line break or NUL.
QString storedPart(const QString &value)
{
    qsizetype end = 0;
    while (end < value.size() && value[end] != u'\r' && value[end] != u'\n' && value[end] != u'\0')
        ++end;
    return value.left(end);
}

bool sameName(const QString &a, const QString &b)
{
    auto trim = [](QString s) {
        while (!s.isEmpty() && (s.front() == u' ' || s.front() == u'\t'))
            s.remove(0, 1);
        while (!s.isEmpty() && (s.back() == u' ' || s.back() == u'\t'))
            s.chop(1);
        return s;
    };
    return trim(a).compare(trim(b), Qt::CaseInsensitive) == 0;
}

const char *checkIni(const QByteArray &bytes, const QString &value, IniEncoding mode)
{
    const ini::IniFile file = ini::IniFile::parse(bytes, mode);
    // Names spelled as the file's own encoding reads them, so non-ASCII names
    // are found too.
    const QString text = file.encoding() == ini::FileEncoding::Windows1252 ? cp1252::decode(bytes) : QString::fromUtf8(bytes);
    QStringList sections, keys;
    collectNames(text, sections, keys);
    std::vector<std::optional<QString>> before;
    for (const QString &s : sections) {
        for (const QString &k : keys) {
            before.push_back(file.value(s, k));
            const std::optional<QString> &v = before.back();
            if (v && (v->contains(u'\r') || v->contains(u'\n')))
                return "a value read back holds a line break";
        }
    }
    (void)file.sectionCount();

    // Write one value, named from the input, and read it back.
    const QString section = sections.size() > 3 ? sections[3] : QStringLiteral("new section");
    const QString key = keys.size() > 3 ? keys[3] : QStringLiteral("new key");
    const std::optional<QByteArray> written = file.withValue(section, key, value);
    if (!written)
        return nullptr; // refused names or, in Windows-1252 mode, characters
    const ini::IniFile after = ini::IniFile::parse(*written, mode);
    const std::optional<QString> back = after.value(section, key);
    if (!back || *back != storedPart(value))
        return "a written value does not read back";

    // The same write in a batch with a second one (another key, then the
    // first key again) reads like the writes one by one.
    const QString otherKey = keys.size() > 4 ? keys[4] : QStringLiteral("other key");
    const ini::ValueWrite batch[] = {{section, key, u"first"}, {section, otherKey, value}, {section, key, value}};
    const std::optional<QByteArray> together = file.withValues(batch);
    std::optional<QByteArray> inTurn = bytes;
    for (const ini::ValueWrite &w : batch) {
        if (inTurn)
            inTurn = ini::IniFile::parse(*inTurn, mode).withValue(w.section, w.key, w.value);
    }
    if (together.has_value() != inTurn.has_value())
        return "a batch was refused where the writes in turn were not, or the other way round";
    if (together) {
        const ini::IniFile a = ini::IniFile::parse(*together, mode), b = ini::IniFile::parse(*inTurn, mode);
        for (const QString &s : sections) {
            for (const QString &k : keys) {
                if (a.value(s, k) != b.value(s, k))
                    return "a batch reads otherwise than its writes in turn";
            }
        }
    }

    // Every key of another name reads as before.
    std::size_t i = 0;
    for (const QString &s : sections) {
        for (const QString &k : keys) {
            const std::optional<QString> &old = before[i++];
            if (sameName(k, key))
                continue;
            if (after.value(s, k) != old)
                return "a write changed another key";
        }
    }
    return nullptr;
}

QTemporaryDir &scratch()
{
    static QTemporaryDir dir;
    return dir;
}

bool sameGame(const SavedGame &a, const SavedGame &b)
{
    return a.room == b.room && a.options == b.options && a.page == b.page && a.score == b.score
        && a.inventory == b.inventory;
}

} // namespace

const char *iniReader(const std::uint8_t *data, std::size_t size)
{
    // The input is the file, or "file|||value" to choose the value written;
    // otherwise the value is the input's last 40 bytes.
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype split = input.indexOf("|||");
    const QByteArray bytes = split >= 0 ? input.left(split) : input;
    const QByteArray valueBytes = split >= 0 ? input.mid(split + 3) : input.right(40);
    // Valid UTF-8 gives characters beyond Windows-1252 (CJK, emoji) too.
    const QString value =
        utf8::isValid(valueBytes.constData(), valueBytes.size()) ? QString::fromUtf8(valueBytes) : cp1252::decode(valueBytes);
    if (const char *failure = checkIni(bytes, value, IniEncoding::Detect))
        return failure;
    return checkIni(bytes, value, IniEncoding::Windows1252);
}

const char *savedGameReader(const std::uint8_t *data, std::size_t size)
{
    // A new name for every input: a read must never be served from an
    // earlier input's file.
    static unsigned long long counter = 0;
    const QString base = scratch().filePath(QString::number(++counter));
    const QString input = base + QStringLiteral(".sav");
    const QString copy = base + QStringLiteral("-copy.sav");
    {
        QFile f(input);
        if (!f.open(QIODevice::WriteOnly))
            return "cannot write the scratch file";
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    const char *failure = nullptr;
    // A small count limit keeps each run short; the reading path is the same.
    const SavedGameLoad load = ReadSavedGame(input, true, 64);
    const SavedGameLoad bare = ReadSavedGame(input, false, 64);
    if (load.ok() && !bare.ok())
        failure = "reading without the inventory refused a file read with it";
    else if (!load.ok() && !load.game.room.isEmpty())
        failure = "a refused file returned values";
    else if (load.ok()) {
        const SavedGameResult saved = WriteSavedGame(copy, load.game);
        if (saved.ok()) {
            const SavedGameLoad again = ReadSavedGame(copy, true, 64);
            if (!again.ok() || !sameGame(again.game, load.game))
                failure = "a saved game does not survive being written again";
        } else if (saved.error != SavedGameError::Unconvertible) {
            failure = "writing a saved game that was read failed";
        }
    }
    QFile::remove(input);
    QFile::remove(copy);
    return failure;
}

} // namespace fc::fuzz
