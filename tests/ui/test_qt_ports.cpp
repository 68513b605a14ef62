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

// A real dialog opens in the folder last used for its kind of file, else in
// the documents folder, never in the folder the engine names.
TEST(QtFileDialog, OpensInTheFolderLastUsedForItsKindOfFile)
{
    QTemporaryDir games;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    ASSERT_TRUE(QDir().mkpath(documents));
    QFile::remove(QtFileDialog::foldersFile());
    const QString picked = games.filePath(QStringLiteral("one.sav"));
    ASSERT_TRUE(fc::test::writeFile(picked, "x"));

    // Answers the dialog when it shows: notes its folder, picks a file or cancels.
    QString shownFolder;
    // Polls until the dialog is up, so a slow start cannot leave it open.
    auto answer = [&](const QString &file) {
        auto *poll = new QTimer;
        poll->setInterval(20);
        QObject::connect(poll, &QTimer::timeout, [poll, &shownFolder, file] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll->stop();
            poll->deleteLater();
            shownFolder = dialog->directory().absolutePath();
            if (file.isEmpty()) {
                dialog->reject();
            } else {
                dialog->setDirectory(QFileInfo(file).absolutePath());
                dialog->selectFile(QFileInfo(file).fileName());
                QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
                if (dialog->isVisible()) // refused: never leave the test waiting
                    dialog->reject();
            }
        });
        poll->start();
    };
    QtFileDialog files;
    FileDialogOptions saves;
    saves.initialDir = QCoreApplication::applicationDirPath();
    saves.filter = QStringLiteral("*.sav|*.sav");
    FileDialogOptions quests = saves;
    quests.filter = QStringLiteral("*.qst|*.qst");

    answer(picked);
    EXPECT_EQ(files.openFile(saves), picked);
    EXPECT_EQ(shownFolder, QDir(documents).absolutePath());
    answer(QString());
    EXPECT_EQ(files.saveFile(saves), QString());
    EXPECT_EQ(shownFolder, QDir(games.path()).absolutePath()); // remembered
    answer(QString());
    files.openFile(quests);
    EXPECT_EQ(shownFolder, QDir(documents).absolutePath()); // another kind of file
    EXPECT_EQ(QtFileDialog::startFolder(saves.filter), games.path()); // kept for the next run
    EXPECT_TRUE(QtFileDialog::foldersFile().startsWith(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)));
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
