#include "editor/ui/editorports.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace fc {

namespace {

// The window of the editor the user works in: the active one of the three,
// else the editor form.
QWidget *ownerWindow(QWidget *fallback)
{
    QWidget *active = QApplication::activeWindow();
    for (QWidget *w = active; w; w = w->parentWidget())
        if (w == fallback)
            return active;
    return fallback;
}

} // namespace

void EditorBoxes::information(const QString &title, const QString &text)
{
    place();
    boxes.information(title, text);
}

Answer EditorBoxes::question(const QString &title, const QString &text)
{
    place();
    return boxes.question(title, text);
}

Answer EditorBoxes::questionDefaultNo(const QString &title, const QString &text)
{
    place();
    return boxes.questionDefaultNo(title, text);
}

void EditorBoxes::critical(const QString &title, const QString &text)
{
    place();
    boxes.critical(title, text);
}

void EditorBoxes::place() { boxes.setParent(editorWindow ? ownerWindow(editorWindow) : nullptr); }

QString EditorFiles::openFile(const FileDialogOptions &options)
{
    place();
    return files.openFile(options);
}

QString EditorFiles::saveFile(const FileDialogOptions &options)
{
    place();
    return files.saveFile(options);
}

void EditorFiles::place() { files.setParent(editorWindow ? ownerWindow(editorWindow) : nullptr); }

SaveAnswer QtSaveQuestions::saveChanges(const QString &text)
{
    if (!queued.empty()) {
        const SaveAnswer a = queued.front();
        queued.pop_front();
        return a;
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Create 'A' Quest"), text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                    editorWindow ? editorWindow->window() : nullptr);
    box.setObjectName(QStringLiteral("saveChangesQuestion"));
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save: return SaveAnswer::Save;
    case QMessageBox::Discard: return SaveAnswer::Discard;
    default: return SaveAnswer::Cancel;
    }
}

bool QtSaveQuestions::recover(const QString &text)
{
    if (!queuedRecover.empty()) {
        const bool a = queuedRecover.front();
        queuedRecover.pop_front();
        return a;
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Create 'A' Quest"), text, QMessageBox::NoButton,
                    editorWindow ? editorWindow->window() : nullptr);
    box.setObjectName(QStringLiteral("recoverQuestion"));
    QPushButton *recover = box.addButton(QStringLiteral("&Recover"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(QStringLiteral("&Discard"), QMessageBox::DestructiveRole);
    box.setDefaultButton(recover);
    box.setEscapeButton(discard);
    box.exec();
    return box.clickedButton() != discard;
}

} // namespace fc
