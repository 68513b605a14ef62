#pragma once
// Two saved games that share no value, so a file mixing them is told apart.

#include "storage/saved_game.h"

namespace fc::test {

inline SavedGame savedGame(int which)
{
    SavedGame g;
    const QString tag = which == 0 ? QStringLiteral("first") : QStringLiteral("second");
    g.room = tag + QStringLiteral(" room text, ") + QString(which == 0 ? 40 : 300, QLatin1Char('x'));
    for (int i = 0; i < 4; ++i)
        g.options[std::size_t(i)] = tag + QStringLiteral(" option %1").arg(i + 1);
    g.page = which == 0 ? QStringLiteral("12") : QStringLiteral("345");
    g.score = which == 0 ? QStringLiteral("7") : QStringLiteral("-20");
    for (int i = 0; i < (which == 0 ? 3 : 9); ++i)
        g.inventory << tag + QStringLiteral(" item %1").arg(i);
    return g;
}

} // namespace fc::test
