#include "fuzz/fuzz_entries.h"

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

const char *checkIni(const QByteArray &bytes, IniEncoding mode)
{
    const ini::IniFile file = ini::IniFile::parse(bytes, mode);
    const QString text = QString::fromLatin1(bytes);
    QStringList sections, keys;
    collectNames(text, sections, keys);
    for (const QString &s : sections) {
        for (const QString &k : keys) {
            const std::optional<QString> v = file.value(s, k);
            if (v && (v->contains(u'\r') || v->contains(u'\n')))
                return "a value read back holds a line break";
        }
    }
    (void)file.sectionCount();

    // Write one value, named from the input, and read it back.
    const QString section = sections.size() > 3 ? sections[3] : QStringLiteral("new section");
    const QString key = keys.size() > 3 ? keys[3] : QStringLiteral("new key");
    const QString value = text.right(40);
    const std::optional<QByteArray> written = file.withValue(section, key, value);
    if (!written)
        return nullptr; // refused names or, in Windows-1252 mode, characters
    const ini::IniFile after = ini::IniFile::parse(*written, mode);
    const std::optional<QString> back = after.value(section, key);
    if (!back || *back != storedPart(value))
        return "a written value does not read back";
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
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const char *failure = checkIni(bytes, IniEncoding::Detect))
        return failure;
    return checkIni(bytes, IniEncoding::Windows1252);
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
