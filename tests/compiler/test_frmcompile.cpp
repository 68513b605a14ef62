// The compile form over the core: names, keyboard, and events forwarded.
#include "compiler/ui/frmcompile.h"
#include "compiler_fixture.h"
#include "app/program.h"
#include "editor/editor.h"
#include "engine/ui/qt_ports.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QTest>
#include <QTimer>
#include <QTreeView>

class FrmCompileTest : public CompilerTest
{
protected:
    void SetUp() override
    {
        CompilerTest::SetUp();
        frm = std::make_unique<fc::FrmCompile>(*compiler);
    }
    template <typename W> W *child(const char *name) { return frm->findChild<W *>(QString::fromLatin1(name)); }
    std::unique_ptr<fc::FrmCompile> frm;
};

TEST_F(FrmCompileTest, EveryControlIsNamedAndReachableByKeyboard)
{
    compiler->open(quest);
    ASSERT_TRUE(frm->isVisible());
    EXPECT_EQ(frm->windowTitle(), "Compile");
    for (const QString &name : fc::CompileForm::controlNames()) {
        QWidget *w = frm->findChild<QWidget *>(name);
        ASSERT_NE(w, nullptr) << name.toStdString();
        EXPECT_FALSE(w->accessibleName().isEmpty()) << name.toStdString();
    }
    // Tab walks the inputs and buttons in reading order.
    QStringList order;
    QWidget *w = child<QLineEdit>("Text1");
    for (int i = 0; i < 11; ++i) {
        order << w->objectName();
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || w->objectName().isEmpty())
            w = w->nextInFocusChain();
    }
    EXPECT_EQ(order, QStringList({"Text1", "Text2", "Command4", "Dir1", "Check1", "Check2", "Check3", "Command1",
                                  "Command3", "Command2", "Command5"}));
    EXPECT_FALSE(child<QPushButton>("Command5")->isEnabled()); // Cancel only while compiling
    EXPECT_TRUE(child<QCheckBox>("Check1")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("Check2")->isChecked());
}

TEST_F(FrmCompileTest, TypingClickingAndClosing)
{
    compiler->open(quest);
    EXPECT_EQ(child<QLineEdit>("Text1")->text(), "cave"); // the quest's file name
    child<QLineEdit>("Text1")->selectAll();
    QTest::keyClicks(child<QLineEdit>("Text1"), "Cave");
    EXPECT_EQ(form.gameName(), "Cave");
    QTreeView *tree = frm->folderTree();
    EXPECT_EQ(form.folder(), questDir);
    auto *model = static_cast<QFileSystemModel *>(tree->model());
    EXPECT_EQ(model->filePath(tree->currentIndex()), questDir);
    compiler->selectFolder(target); // the tree follows the state
    EXPECT_EQ(model->filePath(tree->currentIndex()), target);
    tree->setCurrentIndex(model->index(questDir)); // and the state the tree
    EXPECT_EQ(form.folder(), questDir);
    tree->setCurrentIndex(model->index(target));
    EXPECT_EQ(form.folder(), target);
    EXPECT_EQ(child<QLineEdit>("Text2")->text(), target); // the path box follows the tree
    child<QLineEdit>("Text2")->selectAll();
    QTest::keyClicks(child<QLineEdit>("Text2"), questDir); // and the tree the path box
    EXPECT_EQ(model->filePath(tree->currentIndex()), questDir);
    child<QLineEdit>("Text2")->selectAll();
    QTest::keyClicks(child<QLineEdit>("Text2"), target);
    EXPECT_EQ(form.folder(), target);
    QTest::mouseClick(child<QCheckBox>("Check1"), Qt::LeftButton);
    EXPECT_FALSE(form.includeRuntime());
    ports.dialogs.answers = {fc::Answer::No};
    ports.dialogs.shown.clear();
    QTest::mouseClick(frm->findChild<QAbstractButton *>("Command1"), Qt::LeftButton);
    ASSERT_EQ(ports.dialogs.shown.size(), 2);
    EXPECT_TRUE(QFileInfo(target + "/Cave/game.dat").isFile());
    EXPECT_TRUE(ports.launcher.launched.isEmpty());
    QTest::mouseClick(frm->findChild<QAbstractButton *>("Command3"), Qt::LeftButton);
    EXPECT_EQ(ports.launcher.launched, QStringList({"open-folder:" + target}));

    QTest::keyClick(frm.get(), Qt::Key_Escape); // as "Close": hidden, still loaded
    EXPECT_FALSE(frm->isVisible());
    EXPECT_TRUE(form.loaded());
    compiler->open(quest);
    EXPECT_TRUE(frm->isVisible());
    frm->close(); // the close box unloads
    EXPECT_FALSE(form.loaded());
    EXPECT_FALSE(frm->isVisible());
}

// While the game is written the dialog goes on handling events: it shows
// the step, and Cancel ends the compile and leaves nothing behind.
TEST_F(FrmCompileTest, ProgressShowsTheStepAndCancelLeavesNothing)
{
    compiler->open(quest);
    compiler->selectFolder(target);
    QSemaphore held, release;
    compiler->setStepHook([&](const QString &step) {
        if (step == QLatin1String("Copying the quest")) { // hold the packaging thread here
            held.release();
            release.acquire();
        }
    });
    auto *cancel = child<QPushButton>("Command5");
    auto *bar = child<QProgressBar>("ProgressBar1");
    for (const bool byEscape : {false, true}) {
        SCOPED_TRACE(byEscape ? "Escape" : "Cancel");
        bool sawProgress = false;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!held.tryAcquire())
                return;
            poll.stop();
            // The step before the held one arrives as a queued notice.
            for (int i = 0; i < 1000 && child<QLabel>("Label3")->text() != "Copying the program"; ++i)
                QTest::qWait(10);
            sawProgress = child<QLabel>("Label3")->text() == "Copying the program" && bar->maximum() > 0
                          && cancel->isEnabled() && !child<QPushButton>("Command1")->isEnabled()
                          && !child<QLineEdit>("Text1")->isEnabled();
            if (byEscape)
                QTest::keyClick(frm.get(), Qt::Key_Escape);
            else
                QTest::mouseClick(cancel, Qt::LeftButton);
            release.release();
        });
        poll.start();
        QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton); // returns when the compile has ended
        EXPECT_TRUE(sawProgress);
        EXPECT_TRUE(compiler->lastResult().canceled);
        EXPECT_TRUE(frm->isVisible());
        EXPECT_EQ(child<QLabel>("Label3")->text(), "Canceled: nothing was written.");
        EXPECT_TRUE(child<QPushButton>("Command1")->isEnabled());
        EXPECT_FALSE(cancel->isEnabled());
        EXPECT_EQ(ports.dialogs.shown.size(), 1); // the notice only
        EXPECT_EQ(QDir(target).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList());
    }
}

TEST(QtLauncherTest, StartsProgramsDetachedAndRefusesWhatIsNoProgram)
{
    QTemporaryDir tmp;
    const QString script = tmp.filePath("game");
    const QString marker = tmp.filePath("started");
    fc::test::writeFile(script, "#!/bin/sh\necho \"$PWD\" > started\n");
    QFile::setPermissions(script, QFile::permissions(script) | QFileDevice::ExeOwner);
    fc::QtLauncher launcher;
    ASSERT_TRUE(launcher.startDetached(script));
    for (int i = 0; i < 500 && fc::test::readFile(marker).isEmpty(); ++i) // up to 10 s on a busy machine
        QTest::qWait(20);
    EXPECT_EQ(fc::test::readFile(marker).trimmed(), tmp.path().toUtf8()); // runs in its own folder
    EXPECT_FALSE(launcher.startDetached(tmp.filePath("missing")));
    fc::test::writeFile(tmp.filePath("plain"), "x");
    EXPECT_FALSE(launcher.startDetached(tmp.filePath("plain"))); // not executable
    EXPECT_FALSE(launcher.openFolder(tmp.filePath("missing")));
}

// The editor's "&Compile" opens the dialog on the editor's quest file.
TEST_F(FrmCompileTest, EditorCompileOpensTheDialog)
{
    fc::ProgramParts parts(ports.ports(), programDir);
    fc::Editor &editor = parts.editor();
    editor.show();
    parts.editorFileDialog().setNextFileName(quest);
    editor.menuLoad();
    fc::CompileWindow *dialog = &parts.compileWindow();
    dialog->dialogs().setNextAnswer(fc::Answer::Yes); // the notice
    editor.menuCompile();
    EXPECT_EQ(dialog->dialogs().lastText(), fc::Compiler::kNotice);
    EXPECT_TRUE(dialog->window().isVisible());
    EXPECT_EQ(dialog->compiler().questFile(), quest);
    EXPECT_EQ(dialog->compiler().form().folder(), questDir);
}
