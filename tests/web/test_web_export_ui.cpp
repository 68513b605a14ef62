// The editor's "Export for &Web…" and the compile dialog's choice
// "Web page (one HTML file)".
#include "tests/support/testsupport.h"

#include "app/program.h"
#include "compiler/ui/frmcompile.h"
#include "editor/editor.h"
#include "editor/ui/createquest.h"
#include "engine/recording_ports.h"
#include "engine/ui/qt_ports.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(WebExportUi, ExportForWebOpensTheDialogWithTheWebChoiceAndWritesThePage)
{
    QTemporaryDir tmp;
    const QString quest = tmp.filePath(QStringLiteral("tale.qst"));
    ASSERT_TRUE(fc::test::writeFile(quest, "[Story Info]\r\nTitle=Tale\r\n[1]\r\nPage Text=Hello.\r\n"));
    fc::RecordingPortSet ports;
    fc::ProgramParts parts(ports.ports(), tmp.path());
    fc::Editor &editor = parts.editor();
    editor.show();
    parts.editorFileDialog().setNextFileName(quest);
    editor.menuLoad();
    fc::CompileWindow *dialog = &parts.compileWindow();

    // The editor's "&Compile" menu: the game folder, or the web page.
    fc::CreateQuest &window = parts.createquest();
    auto *menu = window.findChild<QMenu *>(QStringLiteral("mnucompilemenu"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), QStringLiteral("&Compile"));
    QStringList entries;
    for (QAction *a : menu->actions())
        entries << a->objectName() + QLatin1Char('=') + a->text();
    EXPECT_EQ(entries, QStringList({QStringLiteral("mnucompile=&Compile Game\u2026"), QStringLiteral("mnuexportweb=Export for &Web\u2026")}));

    dialog->dialogs().setNextAnswer(fc::Answer::Yes); // the compiler's notice
    menu->actions().at(1)->trigger();
    fc::FrmCompile &form = dialog->window();
    ASSERT_TRUE(form.isVisible());
    auto *web = form.findChild<QCheckBox *>(QStringLiteral("Check3"));
    ASSERT_NE(web, nullptr);
    EXPECT_TRUE(web->isChecked());
    EXPECT_EQ(web->accessibleName(), QStringLiteral("Web page (one HTML file)"));
    EXPECT_FALSE(form.findChild<QCheckBox *>(QStringLiteral("Check1"))->isEnabled());

    dialog->compiler().typeGameName(QStringLiteral("shared"));
    dialog->dialogs().setNextAnswer(fc::Answer::Yes); // the report
    form.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    const QString page = QDir(dialog->compiler().form().folder()).filePath(QStringLiteral("shared.html"));
    EXPECT_TRUE(fc::test::readFile(page).startsWith("<!DOCTYPE html>")) << page.toStdString();
    EXPECT_TRUE(dialog->dialogs().lastText().contains(page)) << dialog->dialogs().lastText().toStdString();
    EXPECT_FALSE(QFileInfo::exists(QDir(dialog->compiler().form().folder()).filePath(QStringLiteral("shared/shared"))));

    // "&Compile" afterwards is the game folder again.
    dialog->dialogs().setNextAnswer(fc::Answer::Yes);
    editor.menuCompile();
    EXPECT_FALSE(web->isChecked());
}
