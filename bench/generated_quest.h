#pragma once
// The quest the storage and editor benchmarks share: pages pages, every page
// with all of its keys written out (four choices, key items, media, battle
// settings), so a page is about the size an author's page is.

#include <QByteArray>

namespace fc::bench {

enum class QuestMix {
    Plain,  // no battles, no item given: the store reads and writes alike pages
    Varied, // every other page a battle and every other item given, so the
            // editor's forms change on each page turn
};

inline QByteArray generateQuest(int pages, QuestMix mix = QuestMix::Plain)
{
    static const char *const optionWords[] = {"One", "Two", "Three", "Four"};
    const bool varied = mix == QuestMix::Varied;
    QByteArray out;
    out.reserve(qsizetype(pages) * (varied ? 1300 : 1500));
    out += "[Quest Data]\r\nNumber Of Pages=" + QByteArray::number(pages) + "\r\n";
    out += "[Story Info]\r\nTitle=Generated quest\r\nAuthor=Bench\r\nVersion=1\r\n";
    for (int p = 1; p <= pages; ++p) {
        const QByteArray n = QByteArray::number(p);
        out += "[" + n + "]\r\n";
        out += "Location=Room number " + n + " of the old keep\r\n";
        out += "Page Text=";
        for (int i = 0; i < 6; ++i)
            out += "You stand in a dusty hall lit by a single torch; page " + n + " goes on. ";
        out += "\r\n";
        for (int o = 0; o < 4; ++o) {
            const QByteArray w = optionWords[o];
            out += "Option " + w + "=Walk through door " + QByteArray::number(o + 1) + "\r\n";
            out += "Option " + w + " Destination Page=" + QByteArray::number((p * 7 + o) % pages + 1) + "\r\n";
            out += "Option " + w + " Score=+" + QByteArray::number(o) + "\r\n";
        }
        for (int i = 1; i <= 4; ++i) {
            out += "Key Item" + QByteArray::number(i) + "=Brass key\r\n";
            out += "Add" + QByteArray::number(i) + "=" + QByteArray::number(varied ? (p + i) % 2 : 0) + "\r\n";
            out += "Required" + QByteArray::number(i) + "=0\r\n";
        }
        if (varied) {
            out += "Battle=" + QByteArray::number(p % 2) + "\r\nImage=C:\\Quests\\pictures\\hall" + n
                   + ".bmp\r\nMusic=C:\\Quests\\music\\theme.mid\r\n";
            out += "BattleEscapecheck=1\r\nBattleMonName=Goblin " + n + "\r\nBattleMonHp=10\r\nBattleMonAtk=3\r\n";
        } else {
            out += "Battle=0\r\nImage=C:\\Quests\\pictures\\hall" + n
                   + ".bmp\r\nMovie=\r\nMusic=C:\\Quests\\music\\theme.mid\r\n";
            out += "Mp3=\r\nBattleEscapecheck=1\r\nBattleMonName=Goblin\r\nBattleMonHp=10\r\nBattleMonAtk=3\r\n";
        }
        out += "BattleMonDef=2\r\nBattleWin=1\r\nBattleLose=1\r\nBattleEscape=1\r\n";
    }
    return out;
}

} // namespace fc::bench
