#include "editor/help_texts.h"

#include "editor/editor_state.h"

#include <QHash>

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
    return t;
}

} // namespace

QString helpText(const QString &form, const QString &control)
{
    static const QHash<QString, QString> table = buildTable();
    if (form != QLatin1String(kCreateQuest))
        return {};
    return table.value(control);
}

} // namespace fc
