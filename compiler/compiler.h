#pragma once
// The compile dialog's operations: one per user event, on CompileForm and the
// ports. Packaging itself is packageGame() (packager.h).

#include "compiler/compile_form.h"
#include "compiler/packager.h"
#include "engine/ports.h"

#include <QObject>
#include <QString>

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
    // notice) unless it is loaded, then shows it.
    void open(const QString &questFile);

    void typeGameName(const QString &text); // Text1
    void selectFolder(const QString &path); // Dir1: only changes the selection
    void setIncludeRuntime(bool on);        // Check1
    void setCopyMedia(bool on);             // Check2
    void clickCompile();                    // Command1
    void clickOpenDirectory();              // Command3
    void clickClose();                      // Command2: hides the dialog
    void closeBox();                        // the window's close box: unloads it

    // Generic access by control name for scripted use: set the text of Text1
    // or the folder of Dir1; click a button or toggle a check box. False when
    // the control is unknown, not settable or clickable, hidden or disabled,
    // or the dialog is not shown.
    bool setControlText(const QString &name, const QString &text);
    bool clickControl(const QString &name);

    // The outcome of the last compile that got past the field checks.
    const PackageResult &lastResult() const { return m_lastResult; }

    static const QString kNotice;

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
};

} // namespace fc
