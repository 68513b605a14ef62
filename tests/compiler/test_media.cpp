// Check2: the quest's media copied into media/ and the packaged quest pointed
// at the copies; nothing else of the quest changes.
#include "compiler_fixture.h"

#include "storage/profile_store.h"

#include <QFileInfo>

namespace {
// The default adventure's media beside the real player program.
QString realMedia(const char *name)
{
    return QFileInfo(QStringLiteral(FABLECRAFT_PLAYER)).absolutePath() + QStringLiteral("/media/") + QLatin1String(name);
}
} // namespace

TEST_F(CompilerTest, MediaAreCopiedAndRenamedInThePackagedQuest)
{
    QDir().mkpath(questDir + "/pics");
    QDir().mkpath(tmp.filePath("elsewhere"));
    QFile::copy(realMedia("cave.png"), questDir + "/pics/cave.png");
    QFile::copy(realMedia("cave.mid"), questDir + "/song.mid");
    QFile::copy(realMedia("chime.wav"), questDir + "/boom.wav");
    const QString otherBoom = tmp.filePath("elsewhere/Boom.wav"); // differs only in case
    QFile::copy(realMedia("bell.mp3"), otherBoom);
    const QString hero = tmp.filePath("elsewhere/hero.png");
    QFile::copy(realMedia("hero.png"), hero);
    fc::test::writeFile(questDir + "/notes.png", "an author's notes, not a picture");
    questBytes = "; an author's comment\r\n"
                 "[Story Info]\r\nTitle=Cave\r\n"
                 "[1]\r\nLocation=Mouth\r\nImage=pics/cave.png\r\nMusic=song.mid\r\nMp3=boom.wav\r\n"
                 "[2]\r\nImage=pics/cave.png\r\nMp3=" + otherBoom.toUtf8() + "\r\nMovie=gone.avi\r\n"
                 "BattleImage=pics/cave.png\r\nBattleMusic=song.mid\r\n"
                 "[3]\r\nImage=notes.png\r\n"
                 "[CharacterData]\r\nCharImage=" + hero.toUtf8() + "\r\nCharHp=30\r\n";
    fc::test::writeFile(quest, questBytes);

    ports.dialogs.answers = {fc::Answer::Yes, fc::Answer::No}; // copy the files from outside; do not run
    compile("Cave", false, true);
    const QString dir = target + "/Cave";
    const QString packaged = dir + "/Cave.qst";
    ASSERT_TRUE(compiler->lastResult().ok);

    // The files from outside the quest's folder were shown first.
    ASSERT_EQ(ports.dialogs.shown.size(), 3);
    EXPECT_EQ(ports.dialogs.shown[0].text,
              "These files from outside the quest's folder will be copied into the game: \r\n" + otherBoom + "\r\n"
                  + hero + "\r\n\r\nCopy them?");
    // Same file, same name; same name of another file (whatever its case), a distinct name.
    EXPECT_EQ(QDir(dir + "/media").entryList(QDir::Files),
              QStringList({"Boom-2.wav", "boom.wav", "cave.png", "hero.png", "song.mid"}));
    EXPECT_EQ(fc::test::readFile(dir + "/media/boom.wav"), fc::test::readFile(realMedia("chime.wav")));
    EXPECT_EQ(fc::test::readFile(dir + "/media/Boom-2.wav"), fc::test::readFile(realMedia("bell.mp3")));
    const QByteArray expected = "; an author's comment\r\n"
                                "[Story Info]\r\nTitle=Cave\r\n"
                                "[1]\r\nLocation=Mouth\r\nImage=media/cave.png\r\nMusic=media/song.mid\r\nMp3=media/boom.wav\r\n"
                                "[2]\r\nImage=media/cave.png\r\nMp3=media/Boom-2.wav\r\nMovie=gone.avi\r\n"
                                "BattleImage=media/cave.png\r\nBattleMusic=media/song.mid\r\n"
                                "[3]\r\nImage=notes.png\r\n"
                                "[CharacterData]\r\nCharImage=media/hero.png\r\nCharHp=30\r\n";
    EXPECT_EQ(fc::test::readFile(packaged), expected);
    EXPECT_EQ(fc::test::readFile(quest), questBytes); // the author's quest is untouched

    // The missing movie and the text named as a picture are listed in the
    // closing message with the reason, and their values left as they were.
    const QString closing = ports.dialogs.shown[1].text;
    EXPECT_TRUE(closing.contains("These files could not be copied:\r\ngone.avi (page 2, Movie): not found\r\n"
                                 "notes.png (page 3, Image): not a picture"))
        << closing.toStdString();
}

TEST_F(CompilerTest, FilesFromOutsideAreNotCopiedWithoutConsent)
{
    const QString outside = tmp.filePath("elsewhere/hero.png");
    QDir().mkpath(tmp.filePath("elsewhere"));
    QFile::copy(realMedia("hero.png"), outside);
    questBytes += "Image=" + outside.toUtf8() + "\r\n";
    fc::test::writeFile(quest, questBytes);
    ports.dialogs.answers = {fc::Answer::No};
    compile("Cave", false, true);
    ASSERT_EQ(ports.dialogs.shown.size(), 1);
    EXPECT_EQ(ports.dialogs.shown[0].kind, fc::ShownMessage::Question);
    EXPECT_TRUE(ports.dialogs.shown[0].text.contains(outside));
    EXPECT_TRUE(QDir(target).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));

    // Answered in advance (the command-line tool without --allow-outside).
    compiler->presetAnswers(false, std::nullopt);
    compile("Cave", false, true);
    ASSERT_EQ(ports.dialogs.shown.size(), 1);
    EXPECT_EQ(ports.dialogs.shown[0].kind, fc::ShownMessage::Critical);
    EXPECT_TRUE(ports.dialogs.shown[0].text.startsWith(
        "These files from outside the quest's folder will be copied into the game: \r\n" + outside));
    EXPECT_TRUE(QDir(target).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

TEST_F(CompilerTest, WithoutCheck2NoMediaAreCopied)
{
    QFile::copy(realMedia("cave.mid"), questDir + "/song.mid");
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
    const QString text = QStringLiteral("[1]\r\nImage=a.png\r\n[1]\r\nImage=b.png\r\n[Quest Data]\r\nImage=x\r\n"
                                        "[Caf\u00e9]\r\nMp3=a.png\r\n");
    // The same quest in every encoding the store reads lists the same media.
    QByteArray utf16("\xFF\xFE", 2);
    for (QChar c : text)
        utf16.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    const QList<QPair<const char *, QByteArray>> encodings = {
        {"Windows-1252", text.toLatin1()}, {"UTF-8", text.toUtf8()}, {"UTF-16", utf16}};
    for (const auto &[name, bytes] : encodings) {
        SCOPED_TRACE(name);
        fc::test::writeFile(quest, bytes);
        const QList<fc::MediaReference> refs = fc::questMediaReferences(quest);
        ASSERT_EQ(refs.size(), 2); // the first of equal sections only; no media in "Quest Data"
        EXPECT_EQ(refs[0].value, "a.png");
        EXPECT_EQ(refs[1].section, QStringLiteral("Caf\u00e9"));
    }
    EXPECT_EQ(fc::resolveMediaFile(quest, "a.png"), tmp.filePath("a.png"));
    EXPECT_EQ(fc::resolveMediaFile(quest, tmp.filePath("a.png")), tmp.filePath("a.png"));
    EXPECT_EQ(fc::resolveMediaFile(quest, "missing.png"), "");
    EXPECT_EQ(fc::resolveMediaFile(quest, "."), ""); // a folder is no media file
}
