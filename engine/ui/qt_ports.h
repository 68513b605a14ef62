#pragma once
// The engine's ports on Qt: message boxes, the file dialog, picture loading,
// starting programs and waiting. No form calls QMessageBox or QFileDialog
// directly; they all go through these, so tests can answer every box.

#include "engine/ports.h"

#include <QPointer>
#include <QWidget>

#include <deque>
#include <optional>

namespace fc {

// Message boxes on QMessageBox. An empty title shows the application's
// display name. setNextAnswer() answers the next box of any kind at once,
// without showing it (tests); answers set one after another serve the boxes
// in turn. lastTitle()/lastText() tell what the last box said.
class QtDialogs : public Dialogs
{
public:
    // parent: the window the boxes are modal to; may be null.
    explicit QtDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    void information(const QString &title, const QString &text) override;
    Answer question(const QString &title, const QString &text) override;
    Answer questionDefaultNo(const QString &title, const QString &text) override;
    void critical(const QString &title, const QString &text) override;

    // One-shot: the next box not yet answered is not shown and gives this
    // answer (an information or critical box is simply acknowledged).
    void setNextAnswer(Answer answer) { m_next.push_back(answer); }
    bool hasNextAnswer() const { return !m_next.empty(); }
    const QString &lastTitle() const { return m_lastTitle; }
    const QString &lastText() const { return m_lastText; }
    // Number of boxes asked for so far, shown or answered in advance.
    int count() const { return m_count; }

    // The title the box shows for a given title: the application's display
    // name when it is empty.
    static QString shownTitle(const QString &title);

private:
    std::optional<Answer> takeNext(const QString &title, const QString &text);

    QPointer<QWidget> m_parent;
    std::deque<Answer> m_next;
    QString m_lastTitle, m_lastText;
    int m_count = 0;
};

// The common file dialog on QFileDialog. setNextFileName() answers the next
// dialog at once without showing it ("" = cancelled); lastOptions() tells
// what the engine asked for.
class QtFileDialog : public FileDialog
{
public:
    explicit QtFileDialog(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }

    QString openFile(const FileDialogOptions &options) override;
    QString saveFile(const FileDialogOptions &options) override;

    void setNextFileName(const QString &name) { m_next = name; }
    bool hasNextFileName() const { return m_next.has_value(); }
    const FileDialogOptions &lastOptions() const { return m_lastOptions; }

    // "desc|pattern|desc|pattern" as QFileDialog's "desc (pattern);;..."
    // name filters; a description that has parentheses is kept as it is.
    static QStringList nameFilters(const QString &filter);

    // Dialogs open in the folder last used for their kind of file (their
    // filter), remembered across runs in the user's configuration folder;
    // else in the user's documents folder. The program's folder is never
    // offered: games and quests of the user's own do not belong there.
    static QString startFolder(const QString &filter);
    static void rememberFolder(const QString &filter, const QString &chosenFile);
    // The file that remembers the folders.
    static QString foldersFile();

private:
    QString run(const FileDialogOptions &options, bool save);

    QPointer<QWidget> m_parent;
    std::optional<QString> m_next;
    FileDialogOptions m_lastOptions;
};

// Pictures through QImageReader (EXIF orientation applied). An empty path
// gives a null image (the control is cleared); an unreadable file nullopt.
class QtPictureLoader : public PictureLoader
{
public:
    std::optional<QImage> load(PictureSlot slot, const QString &path) override;
};

// Programs and addresses. startProgram looks for the bare name in the
// program directory first, then on the search path, and starts it detached.
class QtLauncher : public Launcher
{
public:
    bool startProgram(const QString &name) override;
    void openUrl(const QString &url) override;
    bool openFolder(const QString &path) override;
    bool startDetached(const QString &program) override;

    // Full path startProgram would start, or "" when the name is not found.
    static QString findProgram(const QString &name);
};

// Waits with Pause (engine/ui/pause.h): events go on being handled.
class QtClock : public Clock
{
public:
    void pause(double seconds) override;
};

} // namespace fc
