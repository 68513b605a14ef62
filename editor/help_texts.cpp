#include "editor/help_texts.h"

#include "editor/editor_state.h"

#include <QHash>
#include <QLocale>

namespace fc {

namespace {

QHash<QString, QString> buildTable()
{
    QHash<QString, QString> t;
    auto set = [&t](std::initializer_list<const char *> names, const char *text) {
        for (const char *n : names)
            t.insert(QString::fromLatin1(n), QString::fromLatin1(text));
    };
    set({"pg"}, "This is the page you are working on.");
    set({"Text1"}, "The text for the page. Don't make it too long!");
    set({"Text2", "Text3", "Text4", "Text5"}, "The text for an option or choice the user get's in the story");
    set({"Text6", "Text7", "Text8", "Text9"},
        "The destination page for the option once clicked. Leave blank if no option is given.");
    set({"Text10"}, "Title of the story.");
    set({"Text11"}, "Author of the story.");
    set({"Text12"}, "Version of the story.");
    set({"Text13"}, "Specific page number to add. If not specified a page is added in increments.");
    set({"Text14", "Text15", "Text16", "Text17"}, "The score change the person get's for that choice. Example: +2 or -2");
    set({"Text18"}, "MiDi file to play on this page.");
    set({"Text19"}, "The room or place the character is currently in.");
    set({"Text20"}, "Image to display on this page.");
    set({"Text21", "Text22", "Text23", "Text24"}, "This Key Item is linked to this option.");
    set({"Text25"}, "Movie to play on this page.");
    set({"Text26"}, "MP3 to play on this page.");
    set({"Check1", "Check2", "Check3", "Check4"},
        "When checked, the key item is added to the users inventory when they make this choice.");
    set({"Check5", "Check6", "Check7", "Check8"},
        "When checked, the key item is required for this option to be available.");
    set({"Command1"}, "Click to add a new page");
    set({"Command2"}, "Click to delete the selected page");
    set({"Command4", "Command11"}, "Play File.");
    set({"Command5", "Command12"}, "Stop File.");
    set({"filepath"}, "The file path and file name of the quest file. If blank the file was not saved.");
    // Controls the first editor left without a help text.
    set({"Check9"}, "When checked, a battle starts when the player reaches this page.");
    set({"Command3"}, "Choose the MIDI file to play on this page.");
    set({"Command6"}, "Choose the image to display on this page.");
    set({"Command9"}, "Choose the movie to play on this page.");
    set({"Command10"}, "Choose the MP3 or WAV sound to play on this page.");
    set({"Command7"}, "Open the battle settings of this page (check Battle Page first).");
    set({"Command8"}, "Open the character settings of the quest.");
    set({"Command13"}, "Play the quest from page 1 as it is now.");
    set({"banner"}, "Your changes are kept in the editor; save the quest to keep them on disk.");
    return t;
}

QHash<QString, QString> buildBattleTable()
{
    QHash<QString, QString> t;
    auto set = [&t](const char *name, const char *text) { t.insert(QString::fromLatin1(name), QString::fromLatin1(text)); };
    set("Text1", "The monster's name, shown in the battle.");
    set("Text2", "The monster's hit points.");
    set("Text3", "The monster's attack.");
    set("Text4", "The monster's defence.");
    set("Text5", "Picture shown during the battle.");
    set("Command6", "Choose the picture shown during the battle.");
    set("Text6", "MIDI music played when the battle begins.");
    set("Command1", "Choose the MIDI music played when the battle begins.");
    set("Text12", "The message shown when the monster attacks.");
    set("Text13", "Name of the monster's other attack or spell.");
    set("Text14", "Damage of the other attack or spell.");
    set("Check1", "When checked, the player may escape from this battle.");
    set("Text7", "Key item the player receives for winning.");
    set("Text8", "Experience the player receives for winning.");
    set("Text9", "Page the player goes to after winning.");
    set("Text10", "Page the player goes to after losing.");
    set("Text11", "Page the player goes to after escaping.");
    return t;
}

QHash<QString, QString> buildCharacterTable()
{
    QHash<QString, QString> t;
    auto set = [&t](const char *name, const char *text) { t.insert(QString::fromLatin1(name), QString::fromLatin1(text)); };
    set("Check1", "When checked, the player may load a saved character.");
    set("Check2", "When checked, the player may create and name a character.");
    set("Text1", "The default character's name.");
    set("Text2", "The default character's hit points.");
    set("Text3", "The default character's attack.");
    set("Text4", "The default character's defence.");
    set("Text5", "The character's picture; choose it with the X button.");
    set("Command1", "Choose the character's picture.");
    return t;
}

} // namespace

QString helpText(const QString &form, const QString &control)
{
    static const QHash<QString, QString> table = buildTable();
    static const QHash<QString, QString> battle = buildBattleTable();
    static const QHash<QString, QString> character = buildCharacterTable();
    if (form == QLatin1String(kFrmBattle))
        return battle.value(control);
    if (form == QLatin1String(kFrmCharCreate))
        return character.value(control);
    if (form != QLatin1String(kCreateQuest))
        return {};
    return table.value(control);
}

QString withLimit(const QString &help, int maxLength)
{
    if (help.isEmpty() || maxLength <= 0)
        return help;
    return help + QStringLiteral(" (up to %1 characters)").arg(QLocale(QLocale::English).toString(maxLength));
}

} // namespace fc
