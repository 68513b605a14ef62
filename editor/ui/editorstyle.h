#pragma once
// The look of the quest editor and its two dialogs: the game's dark wood and
// parchment around the fields, the fields themselves green on dark blue.
// Scoped to the forms' own content widgets (property editorForm), so message
// boxes and file dialogs keep the platform's look.

#include <QString>

class QWidget;

namespace fc {

// Style sheet for a content widget marked with markEditorForm().
QString editorStyleSheet();

// Marks a form's content widget and gives it the editor's style sheet.
void markEditorForm(QWidget *content);

} // namespace fc
