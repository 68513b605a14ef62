#pragma once
// The compile dialog in the game program: the editor's "&Compile" opens
// FrmCompile on the editor's quest file. The dialog is made on first use and
// lives as long as the game screen window.

#include <QString>

class QWidget;

namespace fc {

class CompileWindow;
class Editor;

// programDir: the folder of the running player program, which compiling
// copies.
void wireCompiler(Editor &editor, QWidget &window, const QString &programDir);

// The compile dialog wired to window (made now if it was not yet), or
// nullptr when wireCompiler was not called for window.
CompileWindow *compileWindowOf(QWidget &window);

} // namespace fc
