#include "storage/saved_game.h"

#include "storage/cp1252.h"
#include "storage/encoder.h"

#include <QList>

#include <utility>

namespace fc {

namespace {

using namespace savedgame;

// All reads of this file go through this one; the writer uses one batch. Saved games are always
// Windows-1252: scrambled bytes can form valid UTF-8 by chance, and a file
// saved on Windows must load byte for byte.
QString readKey(const QString &file, QLatin1String section, const QString &key)
{
    return ReadIni(file, section, key, IniEncoding::Windows1252);
}

// A value the file can hold exactly: every character has a Windows-1252 byte
// and none would end the line (the store keeps only the text before a line
// break) or cut it short for readers that stop at NUL. Scrambling turns the
// control codes 4, 14 and 17 into NUL, LF and CR, so this is checked on the
// scrambled form.
bool storable(QStringView value)
{
    for (QChar c : value) {
        if (c == QChar(u'\0') || c == QChar(u'\n') || c == QChar(u'\r'))
            return false;
    }
    return cp1252::canEncode(value);
}

// "0", "1", ... without sign, blanks or leading zeros; -1 for anything else
// or a count above maxCount.
int parseCount(const QString &text, int maxCount)
{
    if (text.isEmpty() || text.size() > 10 || (text.size() > 1 && text.front() == QChar(u'0')))
        return -1;
    qint64 n = 0;
    for (QChar c : text) {
        if (c < QChar(u'0') || c > QChar(u'9'))
            return -1;
        n = n * 10 + (c.unicode() - u'0');
    }
    return n <= maxCount ? int(n) : -1;
}

SavedGameResult failure(SavedGameError error, QString detail)
{
    SavedGameResult r;
    r.error = error;
    r.detail = std::move(detail);
    return r;
}

} // namespace

SavedGameResult WriteSavedGame(const QString &file, const SavedGame &game)
{
    struct Entry {
        QLatin1String section;
        QString key;
        QString value;
    };
    QList<Entry> entries;
    entries.reserve(8 + game.inventory.size());

    // Convert everything first: a value that cannot be stored must leave the
    // file untouched rather than half overwritten.
    auto scrambled = [&](QLatin1String key, const QString &plain) {
        const std::optional<QString> enc = EncodeText(plain);
        if (!enc || !storable(*enc))
            return false;
        entries.push_back({kSection, key, *enc});
        return true;
    };
    if (!scrambled(kRoom, game.room))
        return failure(SavedGameError::Unconvertible, kRoom);
    for (int i = 0; i < 4; ++i) {
        if (!scrambled(kOptions[i], game.options[i]))
            return failure(SavedGameError::Unconvertible, kOptions[i]);
    }
    if (!scrambled(kPage, game.page))
        return failure(SavedGameError::Unconvertible, kPage);
    if (!scrambled(kScore, game.score))
        return failure(SavedGameError::Unconvertible, kScore);
    entries.push_back({kSection, kCount, QString::number(game.inventory.size())});
    for (qsizetype i = 0; i < game.inventory.size(); ++i) {
        const QString &item = game.inventory[i];
        if (item.isEmpty())
            continue; // leaves a gap; the count still includes it
        if (!storable(item))
            return failure(SavedGameError::Unconvertible, QLatin1String(kListSection) + u'/' + QString::number(i));
        entries.push_back({kListSection, QString::number(i), item});
    }

    // One replacement of the file: a saved game is always wholly the old one
    // or wholly the new one, whatever stops the program meanwhile.
    IniBatch batch(file, IniEncoding::Windows1252);
    for (const Entry &e : entries)
        batch.write(e.section, e.key, e.value);
    QString error;
    if (!batch.commit(&error))
        return failure(SavedGameError::WriteFailed, error);
    return {};
}

SavedGameLoad ReadSavedGame(const QString &file, bool withInventory, int maxCount)
{
    SavedGameLoad load;
    auto fail = [&](SavedGameError error, QString detail) {
        load.error = error;
        load.detail = std::move(detail);
        load.game = SavedGame();
        return load;
    };

    const QString rawRoom = readKey(file, kSection, kRoom);
    const QString rawOption1 = readKey(file, kSection, kOptions[0]);
    if (rawRoom.isEmpty() && rawOption1.isEmpty())
        return fail(SavedGameError::NotSavedGame, file);

    auto decoded = [](const QString &raw, QString &out) {
        const std::optional<QString> dec = DecodeText(raw);
        if (!dec)
            return false;
        out = *dec;
        return true;
    };
    SavedGame &g = load.game;
    if (!decoded(rawRoom, g.room))
        return fail(SavedGameError::Unconvertible, kRoom);
    if (!decoded(rawOption1, g.options[0]))
        return fail(SavedGameError::Unconvertible, kOptions[0]);
    for (int i = 1; i < 4; ++i) {
        if (!decoded(readKey(file, kSection, kOptions[i]), g.options[i]))
            return fail(SavedGameError::Unconvertible, kOptions[i]);
    }
    if (!decoded(readKey(file, kSection, kPage), g.page))
        return fail(SavedGameError::Unconvertible, kPage);
    if (!decoded(readKey(file, kSection, kScore), g.score))
        return fail(SavedGameError::Unconvertible, kScore);

    if (withInventory) {
        const QString countText = readKey(file, kSection, kCount);
        const int count = parseCount(countText, maxCount);
        if (count < 0)
            return fail(SavedGameError::BadCount, countText);
        for (int i = 0; i < count; ++i) {
            const QString item = readKey(file, kListSection, QString::number(i));
            if (!item.isEmpty())
                g.inventory.push_back(item);
        }
    }
    return load;
}

} // namespace fc
