// Check2: the quest's media copied into media/ and the packaged quest pointed
// at the copies; nothing else of the quest changes.
#include "compiler_fixture.h"

#include "storage/aohider.h"

TEST_F(CompilerTest, MediaAreCopiedAndRenamedInThePackagedQuest)
{
    QDir().mkpath(questDir + "/pics");
    QDir().mkpath(tmp.filePath("elsewhere"));
    fc::test::writeFile(questDir + "/pics/cave.png", "png-1");
    fc::test::writeFile(questDir + "/song.mid", "mid");
    fc::test::writeFile(questDir + "/boom.wav", "wav-1");
    const QString otherBoom = tmp.filePath("elsewhere/boom.wav");
    fc::test::writeFile(otherBoom, "wav-2");
    const QString hero = tmp.filePath("elsewhere/hero.png");
    fc::test::writeFile(hero, "hero");
    questBytes = "; an author's comment\r\n"
                 "[Story Info]\r\nTitle=Cave\r\n"
                 "[1]\r\nLocation=Mouth\r\nImage=pics/cave.png\r\nMusic=song.mid\r\nMp3=boom.wav\r\n"
                 "[2]\r\nImage=pics/cave.png\r\nMp3=" + otherBoom.toUtf8() + "\r\nMovie=gone.avi\r\n"
                 "BattleImage=pics/cave.png\r\nBattleMusic=song.mid\r\n"
                 "[CharacterData]\r\nCharImage=" + hero.toUtf8() + "\r\nCharHp=30\r\n";
    fc::test::writeFile(quest, questBytes);

    ports.dialogs.answers = {fc::Answer::No};
    compile("Cave", false, true);
    const QString dir = target + "/Cave";
    const QString packaged = dir + "/Cave.qst";
    ASSERT_TRUE(compiler->lastResult().ok);

    // Same file, same name; same name of another file, a distinct name.
    EXPECT_EQ(QDir(dir + "/media").entryList(QDir::Files),
              QStringList({"boom-2.wav", "boom.wav", "cave.png", "hero.png", "song.mid"}));
    EXPECT_EQ(fc::test::readFile(dir + "/media/boom.wav"), "wav-1");
    EXPECT_EQ(fc::test::readFile(dir + "/media/boom-2.wav"), "wav-2");
    const QByteArray expected = "; an author's comment\r\n"
                                "[Story Info]\r\nTitle=Cave\r\n"
                                "[1]\r\nLocation=Mouth\r\nImage=media/cave.png\r\nMusic=media/song.mid\r\nMp3=media/boom.wav\r\n"
                                "[2]\r\nImage=media/cave.png\r\nMp3=media/boom-2.wav\r\nMovie=gone.avi\r\n"
                                "BattleImage=media/cave.png\r\nBattleMusic=media/song.mid\r\n"
                                "[CharacterData]\r\nCharImage=media/hero.png\r\nCharHp=30\r\n";
    EXPECT_EQ(fc::test::readFile(packaged), expected);
    EXPECT_EQ(fc::test::readFile(quest), questBytes); // the author's quest is untouched

    // The missing movie is named in the closing message.
    const QString closing = ports.dialogs.shown[0].text;
    EXPECT_TRUE(closing.contains("These files could not be copied:\r\ngone.avi (page 2, Movie): not found"))
        << closing.toStdString();
}

TEST_F(CompilerTest, WithoutCheck2NoMediaAreCopied)
{
    fc::test::writeFile(questDir + "/song.mid", "mid");
    questBytes += "Music=song.mid\r\n";
    fc::test::writeFile(quest, questBytes);
    compile("Cave", false, false);
    EXPECT_FALSE(QFileInfo::exists(target + "/Cave/media"));
    EXPECT_EQ(fc::test::readFile(target + "/Cave/Cave.qst"), questBytes);
}

TEST(MediaReferences, FoundAsTheEngineFindsThem)
{
    QTemporaryDir tmp;
    const QString quest = tmp.filePath("q.qst");
    fc::test::writeFile(tmp.filePath("a.png"), "a");
    fc::test::writeFile(quest, "[1]\r\nImage=a.png\r\n[1]\r\nImage=b.png\r\n[Quest Data]\r\nImage=x\r\n");
    const QList<fc::MediaReference> refs = fc::questMediaReferences(quest);
    ASSERT_EQ(refs.size(), 1); // the first of equal sections only; no media in "Quest Data"
    EXPECT_EQ(refs[0].value, "a.png");
    EXPECT_EQ(fc::resolveMediaFile(quest, "a.png"), tmp.filePath("a.png"));
    EXPECT_EQ(fc::resolveMediaFile(quest, tmp.filePath("a.png")), tmp.filePath("a.png"));
    EXPECT_EQ(fc::resolveMediaFile(quest, "missing.png"), "");
    EXPECT_EQ(fc::resolveMediaFile(quest, "."), ""); // a folder is no media file
}
