// The media pickers, the MIDI and sound previews, and the help line.
#include "tests/editor/editor_fixture.h"

#include "editor/help_texts.h"
#include "tests/support/testsupport.h"

namespace fc::test {
namespace {

using EditorMedia = EditorTest;

TEST_F(EditorMedia, PickersStoreTheChosenPathAndACancelChangesNothing)
{
    const struct
    {
        const char *button, *field, *key, *filter, *ext;
    } cases[] = {
        {"Command3", "Text18", "Music", "*.mid|*.mid", "mid"},
        {"Command6", "Text20", "Image",
         "Pictures (*.png *.jpg *.jpeg *.bmp *.gif)|*.png;*.jpg;*.jpeg;*.bmp;*.gif|*.jpg|*.jpg", "jpg"},
        {"Command9", "Text25", "Movie", "*.avi|*.avi", "avi"},
        {"Command10", "Text26", "Mp3", "Sounds (*.wav *.mp3)|*.wav;*.mp3|*.mp3|*.mp3|*.wav|*.wav", "mp3"},
    };
    for (const auto &c : cases) {
        const QString path = dir.filePath(QStringLiteral("my media/") + QLatin1String(c.key) + QStringLiteral(".x"));
        files.names = {path};
        EXPECT_TRUE(editor->click(cq(), QLatin1String(c.button)));
        EXPECT_EQ(text(QLatin1String(c.field)), path);
        EXPECT_EQ(stored(QStringLiteral("1"), QLatin1String(c.key)), path);
        EXPECT_EQ(files.requests.last().filter, QLatin1String(c.filter));
        EXPECT_EQ(files.requests.last().defaultExt, QLatin1String(c.ext));
        // A cancel leaves the field and the key alone; the dialog offers the
        // name chosen before.
        files.names.clear();
        editor->click(cq(), QLatin1String(c.button));
        EXPECT_EQ(files.requests.last().fileName, path);
        EXPECT_EQ(text(QLatin1String(c.field)), path);
        EXPECT_EQ(stored(QStringLiteral("1"), QLatin1String(c.key)), path);
    }
    // The picker-only fields can be cleared, which writes the empty value.
    for (const char *field : {"Text25", "Text26"}) {
        EXPECT_TRUE(state.ctl(cq(), QLatin1String(field)).readOnly);
        EXPECT_TRUE(editor->clearPickedFile(cq(), QLatin1String(field)));
        EXPECT_EQ(text(QLatin1String(field)), QString());
    }
    EXPECT_EQ(stored(QStringLiteral("1"), QStringLiteral("Movie")), QString());
    EXPECT_EQ(stored(QStringLiteral("1"), QStringLiteral("Mp3")), QString());
    EXPECT_FALSE(editor->clearPickedFile(cq(), QStringLiteral("Text20"))); // typed fields are cleared by typing
}

TEST_F(EditorMedia, Previews)
{
    const QString sound = dir.filePath(QStringLiteral("s.mp3"));
    writeFile(sound, "ID3");
    const struct
    {
        const char *midiField, *soundField;
        QStringList clicks;
        QStringList media;
        QStringList messages;
    } cases[] = {
        {"", "", {"Command4", "Command11"}, {}, {"You must first select a Midi to play!", "You must first select an mp3 to play!"}},
        {"/m/a.mid", "", {"Command4", "Command4", "Command5"}, {"midi-start:/m/a.mid", "midi-start:/m/a.mid", "midi-stop"}, {}},
        {"", "SOUND", {"Command11", "Command12"}, {"sound:SOUND"}, {}},
        {"", "/no/such.mp3", {"Command11"}, {}, {"Error playing file!!"}},
        {"", "", {"Command5", "Command12"}, {"midi-stop"}, {}},
    };
    for (const auto &c : cases) {
        media.clear();
        dialogs.shown.clear();
        editor->setText(cq(), QStringLiteral("Text18"), QLatin1String(c.midiField));
        files.names = {QString(c.soundField).replace(QStringLiteral("SOUND"), sound)};
        editor->click(cq(), QStringLiteral("Command10"));
        if (QLatin1String(c.soundField).isEmpty())
            editor->clearPickedFile(cq(), QStringLiteral("Text26"));
        for (const QString &b : c.clicks)
            EXPECT_TRUE(editor->click(cq(), b));
        QStringList expected = c.media;
        expected.replaceInStrings(QStringLiteral("SOUND"), sound);
        EXPECT_EQ(media, expected);
        QStringList shown;
        for (const ShownMessage &m : dialogs.shown)
            shown << m.text;
        EXPECT_EQ(shown, c.messages);
    }
}

TEST_F(EditorMedia, HelpLineFollowsPointerAndFocus)
{
    const struct
    {
        const char *control, *help;
    } cases[] = {
        {"pg", "This is the page you are working on."},
        {"Text1", "The text for the page. Don't make it too long! (up to 1,000 characters)"},
        {"Text4", "The text for an option or choice the user get's in the story (up to 60 characters)"},
        {"Text8", "The destination page for the option once clicked. Leave blank if no option is given."},
        {"Text13", "Specific page number to add. If not specified a page is added in increments."},
        {"Text15", "The score change the person get's for that choice. Example: +2 or -2 (up to 3 characters)"},
        {"Text18", "MiDi file to play on this page. (up to 1,000 characters)"},
        {"Text26", "MP3 to play on this page. (up to 1,000 characters)"},
        {"Check3", "When checked, the key item is added to the users inventory when they make this choice."},
        {"Check7", "When checked, the key item is required for this option to be available."},
        {"Command1", "Click to add a new page"},
        {"Command2", "Click to delete the selected page"},
        {"Command11", "Play File."},
        {"Command5", "Stop File."},
        {"filepath", "The file path and file name of the quest file. If blank the file was not saved."},
    };
    for (const auto &c : cases) {
        EXPECT_TRUE(editor->hover(cq(), QLatin1String(c.control))) << c.control;
        EXPECT_EQ(state.info(), QLatin1String(c.help)) << c.control;
        EXPECT_EQ(state.ctl(cq(), QLatin1String(c.control)).help, QLatin1String(c.help)) << c.control;
    }
    // Every control the user reaches has a help text, the dialogs' included;
    // labels have none and leave the line as it is. Focus works alike.
    editor->focus(cq(), QStringLiteral("Text19"));
    const QString shown = state.info();
    EXPECT_EQ(shown, QStringLiteral("The room or place the character is currently in. (up to 1,000 characters)"));
    for (const char *control : {"Label2", "info"}) {
        editor->hover(cq(), QLatin1String(control));
        EXPECT_EQ(state.info(), shown) << control;
    }
    for (const FormState &form : state.forms())
        for (const Control &c : form.controls())
            if (c.kind == ControlKind::TextBox || c.kind == ControlKind::CheckBox || c.kind == ControlKind::Button
                || c.kind == ControlKind::PageList)
                EXPECT_FALSE(c.help.isEmpty()) << qPrintable(form.name()) << "." << qPrintable(c.name);
    EXPECT_EQ(helpText(fb(), QStringLiteral("Text9")), QStringLiteral("Page the player goes to after winning."));
}

} // namespace
} // namespace fc::test
