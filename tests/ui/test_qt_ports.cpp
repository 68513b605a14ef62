// The Qt ports: the answers given in advance for tests, filter translation,
// picture loading, program lookup and waiting.
#include "engine/ui/qt_ports.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QAbstractItemView>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace fc;

TEST(QtDialogs, NextAnswerIsUsedOnceAndRecordsTheBox)
{
    QtDialogs dialogs;
    dialogs.setNextAnswer(Answer::No);
    EXPECT_TRUE(dialogs.hasNextAnswer());
    EXPECT_EQ(dialogs.question(QStringLiteral("WARNING!!!!"), QStringLiteral("Sure?")), Answer::No);
    EXPECT_FALSE(dialogs.hasNextAnswer());
    EXPECT_EQ(dialogs.lastTitle(), QStringLiteral("WARNING!!!!"));
    EXPECT_EQ(dialogs.lastText(), QStringLiteral("Sure?"));

    dialogs.setNextAnswer(Answer::Yes);
    EXPECT_EQ(dialogs.question(QString(), QStringLiteral("Again?")), Answer::Yes);

    // An information box is acknowledged by any answer given in advance.
    dialogs.setNextAnswer(Answer::Yes);
    dialogs.information(QString(), QStringLiteral("Could not locate the autoupdate.exe!"));
    EXPECT_EQ(dialogs.lastText(), QStringLiteral("Could not locate the autoupdate.exe!"));
    dialogs.setNextAnswer(Answer::Yes);
    dialogs.critical(QStringLiteral("Error!"), QStringLiteral("bad"));
    EXPECT_EQ(dialogs.count(), 4);

    // Answers set in a row serve the boxes in turn.
    dialogs.setNextAnswer(Answer::No);
    dialogs.setNextAnswer(Answer::Yes);
    EXPECT_EQ(dialogs.question(QString(), QStringLiteral("first")), Answer::No);
    EXPECT_EQ(dialogs.question(QString(), QStringLiteral("second")), Answer::Yes);
    EXPECT_FALSE(dialogs.hasNextAnswer());
}

TEST(QtDialogs, EmptyTitleShowsTheApplicationName)
{
    const QString before = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("Fablecraft"));
    EXPECT_EQ(QtDialogs::shownTitle(QString()), QStringLiteral("Fablecraft"));
    EXPECT_EQ(QtDialogs::shownTitle(QStringLiteral("What's New:")), QStringLiteral("What's New:"));
    QCoreApplication::setApplicationName(before);
}

TEST(QtFileDialog, FiltersBecomeNameFilters)
{
    EXPECT_EQ(QtFileDialog::nameFilters(QStringLiteral("*.qst|*.qst")), QStringList{QStringLiteral("*.qst (*.qst)")});
    EXPECT_EQ(QtFileDialog::nameFilters(QStringLiteral("Pictures|*.bmp;*.jpg|All files|*.*")),
              (QStringList{QStringLiteral("Pictures (*.bmp *.jpg)"), QStringLiteral("All files (*.*)")}));
    EXPECT_EQ(QtFileDialog::nameFilters(QStringLiteral("Saved (*.sav)|*.sav")),
              QStringList{QStringLiteral("Saved (*.sav)")});
    // A description without a pattern is not a filter.
    EXPECT_TRUE(QtFileDialog::nameFilters(QStringLiteral("lonely")).isEmpty());
}

TEST(QtFileDialog, NextFileNameAnswersOpenAndSaveOnce)
{
    QtFileDialog files;
    FileDialogOptions options;
    options.initialDir = QStringLiteral("/games");
    options.filter = QStringLiteral("*.sav|*.sav");
    options.defaultExt = QStringLiteral("sav");
    options.fileName = QStringLiteral("last.sav");

    files.setNextFileName(QStringLiteral("/games/one.sav"));
    EXPECT_EQ(files.saveFile(options), QStringLiteral("/games/one.sav"));
    EXPECT_EQ(files.lastOptions().initialDir, QStringLiteral("/games"));
    EXPECT_EQ(files.lastOptions().defaultExt, QStringLiteral("sav"));
    EXPECT_EQ(files.lastOptions().fileName, QStringLiteral("last.sav"));

    // An empty name stands for a cancelled dialog.
    files.setNextFileName(QString());
    EXPECT_EQ(files.openFile(options), QString());
}

// Dialogs open in the folder last used for their kind of file, else in the
// documents folder; the folders are kept for the next run.
TEST(QtFileDialog, StartsInTheFolderLastUsedForItsKindOfFile)
{
    QTemporaryDir games;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    ASSERT_TRUE(QDir().mkpath(documents));
    QFile::remove(QtFileDialog::foldersFile());
    const QString saves = QStringLiteral("*.sav|*.sav"), quests = QStringLiteral("*.qst|*.qst");

    EXPECT_EQ(QtFileDialog::startFolder(saves), documents);
    QtFileDialog::rememberFolder(saves, games.filePath(QStringLiteral("one.sav")));
    EXPECT_EQ(QtFileDialog::startFolder(saves), games.path());
    EXPECT_EQ(QtFileDialog::startFolder(quests), documents); // another kind of file
    EXPECT_EQ(QtFileDialog::startFolder(QString()), documents);
    EXPECT_TRUE(QtFileDialog::foldersFile().startsWith(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)));
    EXPECT_TRUE(QFileInfo(QtFileDialog::foldersFile()).isFile()); // kept for the next run

    // A remembered folder that is gone gives way to the documents folder.
    const QString gone = games.filePath(QStringLiteral("gone"));
    ASSERT_TRUE(QDir().mkpath(gone));
    QtFileDialog::rememberFolder(quests, gone + QStringLiteral("/q.qst"));
    EXPECT_EQ(QtFileDialog::startFolder(quests), gone);
    ASSERT_TRUE(QDir(gone).removeRecursively());
    EXPECT_EQ(QtFileDialog::startFolder(quests), documents);
    QFile::remove(QtFileDialog::foldersFile());
}

// A real dialog: it shows the folder last used for its kind of file, and a
// name typed into it and opened is the file chosen, whose folder is then
// remembered.
TEST(QtFileDialog, RealDialogOpensWhatIsTypedAndRemembersItsFolder)
{
    QTemporaryDir games;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    ASSERT_TRUE(QDir().mkpath(documents));
    QFile::remove(QtFileDialog::foldersFile());
    const QString picked = games.filePath(QStringLiteral("one.sav"));
    ASSERT_TRUE(fc::test::writeFile(picked, "x"));

    // Answers the dialog once it is the active window: notes its folder,
    // types the file's full name into the name box and presses Open.
    QString shownFolder;
    bool typed = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isActiveWindow() || typed)
            return;
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (!name || !name->isVisible())
            return;
        typed = true;
        shownFolder = dialog->directory().absolutePath();
        name->setFocus();
        QTest::keyClicks(name, QDir::toNativeSeparators(picked));
        // The name box may offer completions; Open is pressed, not Enter in them.
        if (name->completer() && name->completer()->popup())
            name->completer()->popup()->hide();
        auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
        QPushButton *open = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
        if (open && open->isEnabled())
            QTest::mouseClick(open, Qt::LeftButton);
    });
    poll.start();
    // Never leaves the test waiting on a dialog that did not take the name.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    guard.start(60000);

    QtFileDialog files;
    FileDialogOptions saves;
    saves.initialDir = QCoreApplication::applicationDirPath();
    saves.filter = QStringLiteral("*.sav|*.sav");
    EXPECT_EQ(files.openFile(saves), QDir::toNativeSeparators(picked)); // accepted with the name typed
    EXPECT_TRUE(typed);
    EXPECT_EQ(shownFolder, QDir(documents).absolutePath());
    EXPECT_EQ(QtFileDialog::startFolder(saves.filter), games.path());
    QFile::remove(QtFileDialog::foldersFile());
}

TEST(QtPictureLoader, EmptyClearsBrokenFailsGoodLoads)
{
    QTemporaryDir dir;
    QtPictureLoader loader;

    const auto cleared = loader.load(PictureSlot::Page, QString());
    ASSERT_TRUE(cleared.has_value());
    EXPECT_TRUE(cleared->isNull());

    const QString broken = dir.filePath(QStringLiteral("broken.png"));
    ASSERT_TRUE(test::writeFile(broken, "not a picture"));
    EXPECT_FALSE(loader.load(PictureSlot::Page, broken).has_value());
    EXPECT_FALSE(loader.load(PictureSlot::Battle, dir.filePath(QStringLiteral("missing.png"))).has_value());

    QImage image(7, 5, QImage::Format_RGB32);
    image.fill(Qt::red);
    const QString good = dir.filePath(QStringLiteral("good.png"));
    ASSERT_TRUE(image.save(good));
    const auto loaded = loader.load(PictureSlot::Battle, good);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->size(), QSize(7, 5));

    // A picture named by its content, not its suffix, still loads.
    const QString misnamed = dir.filePath(QStringLiteral("good.bmp"));
    ASSERT_TRUE(QFile::copy(good, misnamed));
    EXPECT_TRUE(loader.load(PictureSlot::Page, misnamed).has_value());

    // A FIFO would block the open, a device never end: both refused at once.
    const QString fifo = dir.filePath(QStringLiteral("fifo.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(loader.load(PictureSlot::Page, fifo).has_value());
    EXPECT_FALSE(loader.load(PictureSlot::Page, QStringLiteral("/dev/zero")).has_value());
    EXPECT_LT(t.elapsed(), 1000);
}

TEST(QtLauncher, StartsAProgramFoundOnTheSearchPathOnly)
{
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("started"));
    const QString script = dir.filePath(QStringLiteral("fc-test-updater"));
    ASSERT_TRUE(test::writeFile(script, "#!/bin/sh\ntouch '" + marker.toUtf8() + "'\n"));
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString plain = dir.filePath(QStringLiteral("fc-test-not-executable"));
    ASSERT_TRUE(test::writeFile(plain, "#!/bin/sh\n"));
    QFile::setPermissions(plain, QFile::ReadOwner | QFile::WriteOwner);

    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.path()) + ':' + oldPath);
    QtLauncher launcher;
    EXPECT_EQ(QtLauncher::findProgram(QStringLiteral("fc-test-updater")), script);
    EXPECT_TRUE(QtLauncher::findProgram(QStringLiteral("fc-test-not-executable")).isEmpty());
    EXPECT_FALSE(launcher.startProgram(QStringLiteral("fc-test-no-such-program")));
    EXPECT_FALSE(launcher.startProgram(QString()));
    EXPECT_TRUE(launcher.startProgram(QStringLiteral("fc-test-updater")));
    qputenv("PATH", oldPath);

    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(marker) && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(QFile::exists(marker)) << "the started program did not run";
}

TEST(QtClock, PauseLetsEventsRunAndTakesItsTime)
{
    QtClock clock;
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    QElapsedTimer timer;
    timer.start();
    clock.pause(0.05);
    EXPECT_TRUE(ran);
    EXPECT_GE(timer.elapsed(), 45);
}
