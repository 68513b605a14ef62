#pragma once
// The compile dialog's operations: one per user event, on CompileForm and the
// ports. Packaging itself is packageGame() (packager.h).

#include "compiler/compile_form.h"
#include "compiler/packager.h"
#include "engine/ports.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <optional>

namespace fc {

class Compiler : public QObject
{
    Q_OBJECT
public:
    // programDir: P, the folder the player program (programName) is copied
    // from. The ports must outlive the Compiler; either may be null.
    Compiler(CompileForm &form, Dialogs *dialogs, Launcher *launcher, const QString &programDir,
             const QString &programName = QStringLiteral("fablecraft"), QObject *parent = nullptr);

    CompileForm &form() { return m_form; }
    const QString &questFile() const { return m_questFile; }

    // The editor's "&Compile" on its quest file: loads the dialog (with the
    // notice) unless it is loaded, then shows it. A freshly loaded dialog
    // offers the quest's file name as the game name, and the quest's folder
    // (the documents folder when the quest's folder is not writable).
    void open(const QString &questFile);

    void typeGameName(const QString &text); // Text1
    void selectFolder(const QString &path); // Dir1 (and the path box Text2): only changes the selection
    void typeFolderPath(const QString &text); // Text2: a folder that exists is selected
    // Command4 "New Folder": makes "New Folder" ("New Folder 2", ...) in the
    // selected folder and selects it; its path, or "" (with a message) when
    // it cannot be made.
    QString clickNewFolder();
    void setIncludeRuntime(bool on);        // Check1
    void setCopyMedia(bool on);             // Check2
    // Command1. Plans the game, asks about files from outside the quest's
    // folder and about replacing a folder that is not a game of ours, then
    // writes the game on a thread of its own while events go on being
    // handled, showing each step in ProgressBar1 and Label3. Returns when
    // the compile has ended.
    void clickCompile();
    void clickCancel();                     // Command5: ends a running compile, leaving nothing (any thread)
    void clickOpenDirectory();              // Command3
    void clickClose();                      // Command2: hides the dialog
    void closeBox();                        // the window's close box: unloads it (and cancels a compile)

    // Answers given in advance instead of asking (the command-line tool):
    // whether files from outside the quest's folder are copied, and whether
    // a folder that is not a game of ours is replaced.
    void presetAnswers(std::optional<bool> allowOutside, std::optional<bool> replace);

    // Called on the packaging thread at the start of each step, before the
    // step is shown (tests hold the thread there).
    void setStepHook(std::function<void(const QString &step)> hook) { m_stepHook = std::move(hook); }

    // Generic access by control name for scripted use: set the text of Text1
    // or the folder of Dir1; click a button or toggle a check box. False when
    // the control is unknown, not settable or clickable, hidden or disabled,
    // or the dialog is not shown.
    bool setControlText(const QString &name, const QString &text);
    bool clickControl(const QString &name);

    // The outcome of the last compile that got past the field checks.
    const PackageResult &lastResult() const { return m_lastResult; }

    static const QString kNotice;

    // The folder a freshly loaded dialog selects: the quest's folder when
    // writable(folder), else the user's documents folder.
    static QString startFolder(const QString &questFile, const std::function<bool(const QString &)> &writable);

Q_SIGNALS:
    // Each step of a running compile, as Label3 shows it, once per step.
    void stepStarted(const QString &step);

private:
    void load();
    bool usable(const QString &name) const;

    CompileForm &m_form;
    Dialogs *m_dialogs;
    Launcher *m_launcher;
    QString m_programDir;
    QString m_programName;
    QString m_questFile;
    PackageResult m_lastResult;
    std::optional<bool> m_presetOutside, m_presetReplace;
    std::function<void(const QString &)> m_stepHook;
    std::atomic<bool> m_cancel{false};
    int m_run = 0; // numbers the compiles, so a late progress notice of an ended one is dropped
    QString m_lastStep;
};

} // namespace fc
