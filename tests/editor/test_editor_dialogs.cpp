// The battle dialog FrmBattle and the character dialog FrmCharCreate.
#include "tests/editor/editor_fixture.h"

#include "tests/support/testsupport.h"

#include <QImage>

namespace fc::test {
namespace {

const char kPictures[] = "Pictures (*.png *.jpg *.jpeg *.bmp *.gif)|*.png;*.jpg;*.jpeg;*.bmp;*.gif|*.jpg|*.jpg";

class EditorDialogs : public EditorTest
{
protected:
    void openBattle(const QString &page)
    {
        editor->selectEntry(page);
        if (!checked(cq(), QStringLiteral("Check9")))
            editor->click(cq(), QStringLiteral("Check9"));
        ASSERT_TRUE(editor->click(cq(), QStringLiteral("Command7")));
        ASSERT_TRUE(state.battle().visible());
    }
    QString picture(const QString &form) const
    {
        const Picture &p = state.form(form)->picture();
        return p.kind == Picture::File ? p.path
               : p.kind == Picture::Placeholder ? QStringLiteral("placeholder")
               : p.kind == Picture::Icon        ? QStringLiteral("icon")
                                                : QString();
    }
    QString image(const QString &name)
    {
        const QString path = dir.filePath(name);
        QImage img(4, 4, QImage::Format_RGB32);
        img.fill(Qt::red);
        img.save(path, "PNG");
        return path;
    }
};

TEST_F(EditorDialogs, BattleFieldsWriteTheirKeysOnTheSelectedPage)
{
    load(writeQuest(QStringLiteral("q.qst"),
                    {QStringLiteral("[Quest Data]"), QStringLiteral("Number Of Pages=8"), QStringLiteral("[8]"),
                     QStringLiteral("BattleMonName=Wyrm"), QStringLiteral("BattleEscapecheck=1"),
                     QStringLiteral("BattleImage=/no/such.jpg"), QStringLiteral("BattleWin=1")}));
    openBattle(QStringLiteral("7"));
    EXPECT_EQ(state.battle().caption(), QStringLiteral("Battle Creation"));
    EXPECT_EQ(picture(fb()), QStringLiteral("icon")); // a page selection shows the icon for no picture
    const struct
    {
        const char *control, *key;
    } cases[] = {
        {"Text1", "BattleMonName"}, {"Text2", "BattleMonHp"},     {"Text3", "BattleMonAtk"},
        {"Text4", "BattleMonDef"},  {"Text5", "BattleImage"},     {"Text6", "BattleMusic"},
        {"Text7", "BattleMonKeyItem"}, {"Text8", "BattleMonExp"}, {"Text9", "BattleWin"},
        {"Text10", "BattleLose"},   {"Text11", "BattleEscape"},   {"Text12", "ATKMessage"},
        {"Text13", "AltAtk"},       {"Text14", "AltAtkDam"},
    };
    for (const auto &c : cases) {
        EXPECT_TRUE(editor->typeText(fb(), QLatin1String(c.control), QStringLiteral("v7"))) << c.control;
        EXPECT_EQ(stored(QStringLiteral("7"), QLatin1String(c.key)), QStringLiteral("v7")) << c.control;
    }
    // No "BattleEscapecheck": escape is allowed, the box shows it checked.
    EXPECT_EQ(checked(fb(), QStringLiteral("Check1")), 1);
    editor->click(fb(), QStringLiteral("Check1"));
    EXPECT_EQ(stored(QStringLiteral("7"), QStringLiteral("BattleEscapecheck")), QStringLiteral("0"));

    // Selecting page 8 refills every field from page 8.
    editor->selectEntry(QStringLiteral("8"));
    EXPECT_EQ(text(fb(), QStringLiteral("Text1")), QStringLiteral("Wyrm"));
    EXPECT_EQ(text(fb(), QStringLiteral("Text9")), QStringLiteral("1"));
    EXPECT_EQ(text(fb(), QStringLiteral("Text2")), QString());
    EXPECT_EQ(checked(fb(), QStringLiteral("Check1")), 1);
    EXPECT_EQ(picture(fb()), QStringLiteral("icon")); // an unloadable picture leaves the preview
    editor->click(fb(), QStringLiteral("Check1"));
    EXPECT_EQ(stored(QStringLiteral("8"), QStringLiteral("BattleEscapecheck")), QStringLiteral("0"));
    EXPECT_EQ(stored(QStringLiteral("7"), QStringLiteral("BattleMonName")), QStringLiteral("v7"));
}

TEST_F(EditorDialogs, BattleOpensFreshAfterItsCloseBox)
{
    openBattle(QStringLiteral("1"));
    editor->typeText(fb(), QStringLiteral("Text1"), QStringLiteral("Rat"));
    ASSERT_TRUE(editor->closeDialog(fb()));
    EXPECT_FALSE(state.battle().visible());
    EXPECT_EQ(text(fb(), QStringLiteral("Text1")), QString());
    EXPECT_EQ(picture(fb()), QStringLiteral("placeholder"));
    EXPECT_FALSE(editor->setText(fb(), QStringLiteral("Text1"), QStringLiteral("x"))); // closed
    ASSERT_TRUE(editor->click(cq(), QStringLiteral("Command7")));
    EXPECT_EQ(text(fb(), QStringLiteral("Text1")), QStringLiteral("Rat"));
    EXPECT_EQ(picture(fb()), QStringLiteral("placeholder")); // no picture on a fresh open
    EXPECT_EQ(checked(fb(), QStringLiteral("Check1")), 1); // no "BattleEscapecheck": escape allowed
}

TEST_F(EditorDialogs, BattlePickers)
{
    openBattle(QStringLiteral("1"));
    const QString picturePath = image(QStringLiteral("a monster.png"));
    const struct
    {
        const char *button, *name, *field, *key, *preview;
    } cases[] = {
        {"Command6", "", "Text5", "BattleImage", "icon"},            // cancelled on first use: nothing
        {"Command6", "PIC", "Text5", "BattleImage", "PIC"},           // path with blanks kept whole
        {"Command6", "", "Text5", "BattleImage", "PIC"},              // cancelled later: nothing
        {"Command6", "/no/picture.jpg", "Text5", "BattleImage", ""},  // not a picture: no preview, path kept
        {"Command1", "/m/fight.mid", "Text6", "BattleMusic", ""},
        {"Command1", "", "Text6", "BattleMusic", ""},
    };
    QString lastField[2];
    for (const auto &c : cases) {
        const QString name = QString::fromLatin1(c.name).replace(QStringLiteral("PIC"), picturePath);
        files.names = {name};
        EXPECT_TRUE(editor->click(fb(), QLatin1String(c.button)));
        QString &last = lastField[QLatin1String(c.field) == QLatin1String("Text5") ? 0 : 1];
        if (!name.isEmpty())
            last = name;
        EXPECT_EQ(text(fb(), QLatin1String(c.field)), last) << c.button << c.name;
        EXPECT_EQ(stored(QStringLiteral("1"), QLatin1String(c.key)), last) << c.button << c.name;
        EXPECT_EQ(picture(fb()), QString::fromLatin1(c.preview).replace(QStringLiteral("PIC"), picturePath))
            << c.button << c.name;
        EXPECT_EQ(files.requests.last().filter,
                  QLatin1String(c.button) == QLatin1String("Command6") ? QString::fromLatin1(kPictures)
                                                                      : QStringLiteral("*.mid|*.mid"));
    }
}

TEST_F(EditorDialogs, CharacterDialogEditsCharacterData)
{
    EXPECT_TRUE(editor->click(cq(), QStringLiteral("Command8")));
    EXPECT_TRUE(state.character().visible());
    EXPECT_TRUE(state.createquest().visible()); // modeless: the editor stays usable
    EXPECT_EQ(state.character().caption(), QStringLiteral("Character Creation"));
    EXPECT_EQ(checked(fch(), QStringLiteral("Check1")), 0);
    EXPECT_EQ(picture(fch()), QString());

    const struct
    {
        const char *control, *key, *value;
    } cases[] = {
        {"Check1", "CharLoadAllow", "1"}, {"Check2", "CharCreateAllow", "1"}, {"Text1", "CharName", "Ana"},
        {"Text2", "CharHp", "30"},        {"Text3", "CharAtk", "4"},          {"Text4", "CharDef", "2"},
    };
    for (const auto &c : cases) {
        const QString control = QLatin1String(c.control);
        if (control.startsWith(QLatin1String("Check")))
            editor->click(fch(), control);
        else
            editor->typeText(fch(), control, QLatin1String(c.value));
        EXPECT_EQ(stored(QStringLiteral("CharacterData"), QLatin1String(c.key)), QLatin1String(c.value)) << c.control;
    }
    editor->click(fch(), QStringLiteral("Check2"));
    EXPECT_EQ(stored(QStringLiteral("CharacterData"), QStringLiteral("CharCreateAllow")), QStringLiteral("0"));

    // Only the picker stores the picture; a cancel stores nothing.
    EXPECT_FALSE(editor->typeText(fch(), QStringLiteral("Text5"), QStringLiteral("typed.jpg")));
    files.names.clear();
    editor->click(fch(), QStringLiteral("Command1"));
    EXPECT_EQ(stored(QStringLiteral("CharacterData"), QStringLiteral("CharImage")), QString());
    const QString hero = image(QStringLiteral("hero.png"));
    files.names = {hero};
    editor->click(fch(), QStringLiteral("Command1"));
    EXPECT_EQ(text(fch(), QStringLiteral("Text5")), hero);
    EXPECT_EQ(stored(QStringLiteral("CharacterData"), QStringLiteral("CharImage")), hero);
    EXPECT_EQ(picture(fch()), hero);

    // Closing and opening again reads everything back.
    editor->closeDialog(fch());
    editor->click(cq(), QStringLiteral("Command8"));
    EXPECT_EQ(checked(fch(), QStringLiteral("Check1")), 1);
    EXPECT_EQ(checked(fch(), QStringLiteral("Check2")), 0);
    EXPECT_EQ(text(fch(), QStringLiteral("Text1")), QStringLiteral("Ana"));
    EXPECT_EQ(picture(fch()), hero);
    EXPECT_TRUE(editor->clearPickedFile(fch(), QStringLiteral("Text5")));
    EXPECT_EQ(stored(QStringLiteral("CharacterData"), QStringLiteral("CharImage")), QString());
}

TEST_F(EditorDialogs, CharacterDialogWithoutSectionOpensEmpty)
{
    load(writeQuest(QStringLiteral("q.qst"), {QStringLiteral("[CharacterData]"), QStringLiteral("CharLoadAllow=yes"),
                                              QStringLiteral("CharName=Bo")}));
    editor->click(cq(), QStringLiteral("Command8"));
    EXPECT_EQ(checked(fch(), QStringLiteral("Check1")), 0); // not a number: stays unchecked
    EXPECT_EQ(text(fch(), QStringLiteral("Text1")), QStringLiteral("Bo"));
    EXPECT_EQ(text(fch(), QStringLiteral("Text2")), QString());
}

} // namespace
} // namespace fc::test
