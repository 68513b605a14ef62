#pragma once
// The quest editor's ports as windows: its message boxes, file dialogs and
// questions about unsaved work open over the editor window the user works in
// (the active one of the editor's windows, else editorWindow).

#include "editor/editor.h"
#include "engine/ports.h"
#include "engine/ui/qt_ports.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <deque>

namespace fc {

// Message boxes over the editor window in use. Tests answer them in
// advance through boxes.
class EditorBoxes : public Dialogs
{
public:
    QtDialogs boxes;
    QPointer<QWidget> editorWindow;

    void information(const QString &title, const QString &text) override;
    Answer question(const QString &title, const QString &text) override;
    Answer questionDefaultNo(const QString &title, const QString &text) override;
    void critical(const QString &title, const QString &text) override;

private:
    void place();
};

// File dialogs over the editor window in use. Tests answer them in advance
// through files.
class EditorFiles : public FileDialog
{
public:
    QtFileDialog files;
    QPointer<QWidget> editorWindow;

    QString openFile(const FileDialogOptions &options) override;
    QString saveFile(const FileDialogOptions &options) override;

private:
    void place();
};

// The questions about unsaved work as message boxes over the editor window:
// "Save changes to NAME?" (Save, Discard, Cancel; Cancel the default) and
// "Recover unsaved work on NAME from TIME?" (Recover, Discard). Queued
// answers are taken first (tests).
class QtSaveQuestions : public SaveQuestions
{
public:
    QPointer<QWidget> editorWindow;
    std::deque<SaveAnswer> queued;
    std::deque<bool> queuedRecover;
    SaveAnswer saveChanges(const QString &text) override;
    bool recover(const QString &text) override;
};

} // namespace fc
