#include "editor/ui/editorstyle.h"

#include <QWidget>

namespace fc {

QString editorStyleSheet()
{
    // Dark wood behind parchment panels; the fields keep the editor's classic
    // green on dark blue; gold marks the control that has the focus.
    return QStringLiteral(R"(
QWidget[editorForm="true"] {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3a2414, stop:0.5 #4a2e1a, stop:1 #2e1b0f);
}
QWidget[editorForm="true"] QLabel { color: #ecdcb4; background: transparent; }
QWidget[editorForm="true"] QGroupBox {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f6ebd0, stop:1 #ead9b0);
    border: 2px solid #6a4420; border-radius: 8px;
    margin-top: 0; padding: 2px;
    color: #7a2a12; font-family: "DejaVu Serif"; font-weight: bold;
}
QWidget[editorForm="true"] QGroupBox[titled="true"] { margin-top: 12px; padding-top: 12px; }
QWidget[editorForm="true"] QGroupBox::title {
    subcontrol-origin: margin; subcontrol-position: top left; left: 12px; padding: 1px 8px;
    background: #f6ebd0; border: 1px solid #6a4420; border-radius: 5px;
}
QWidget[editorForm="true"] QGroupBox QLabel { color: #3b2a1a; }
QWidget[editorForm="true"] QGroupBox QLabel[columnHead="true"] { color: #7a2a12; font-weight: bold; }
QWidget[editorForm="true"] QLineEdit, QWidget[editorForm="true"] QPlainTextEdit,
QWidget[editorForm="true"] QListView {
    background: #000080; color: #00ff00;
    selection-background-color: #d8b05a; selection-color: #000040;
    border: 1px solid #5a3a18; border-radius: 3px; padding: 2px 4px;
    font-family: "DejaVu Sans Mono"; font-size: 10pt;
}
QWidget[editorForm="true"] QLineEdit:focus, QWidget[editorForm="true"] QPlainTextEdit:focus,
QWidget[editorForm="true"] QListView:focus {
    border: 2px solid #f0c040; padding: 1px 3px;
}
QWidget[editorForm="true"] QLineEdit:read-only { background: #101050; }
QWidget[editorForm="true"] QLineEdit:disabled, QWidget[editorForm="true"] QPlainTextEdit:disabled,
QWidget[editorForm="true"] QListView:disabled {
    background: #5a5a6e; color: #b8c8b8;
}
QWidget[editorForm="true"] QListView::item { padding: 1px 4px; }
QWidget[editorForm="true"] QListView::item:selected { background: #d8b05a; color: #000040; }
QWidget[editorForm="true"] QCheckBox { color: #3b2a1a; spacing: 5px; padding: 2px 4px; border-radius: 4px; }
QWidget[editorForm="true"] QCheckBox:focus { background: #f6dc93; border: 1px solid #a07a20; padding: 1px 3px; }
QWidget[editorForm="true"] QCheckBox:disabled { color: #9a8a6a; }
QWidget[editorForm="true"] QPushButton, QWidget[editorForm="true"] QToolButton {
    color: #f6e6bf; font-family: "DejaVu Serif"; font-weight: bold;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #8a5a2e, stop:1 #5a3418);
    border: 1px solid #2c1a0c; border-radius: 5px; padding: 4px 12px;
}
QWidget[editorForm="true"] QToolButton { padding: 3px 7px; min-width: 14px; }
QWidget[editorForm="true"] QPushButton:hover, QWidget[editorForm="true"] QToolButton:hover {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #a06a36, stop:1 #6a3e1c);
}
QWidget[editorForm="true"] QPushButton:pressed, QWidget[editorForm="true"] QToolButton:pressed { background: #4a2a12; }
QWidget[editorForm="true"] QPushButton:focus, QWidget[editorForm="true"] QToolButton:focus {
    border: 2px solid #f0c040; padding: 3px 11px;
}
QWidget[editorForm="true"] QToolButton:focus { padding: 2px 6px; }
QWidget[editorForm="true"] QPushButton:disabled, QWidget[editorForm="true"] QToolButton:disabled {
    color: #9a8a6a; background: #6a5848; border-color: #4a3a2a;
}
QWidget[editorForm="true"] QPushButton[accent="true"] {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3f7a34, stop:1 #24501c);
}
QWidget[editorForm="true"] QPushButton[accent="true"]:hover {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4c9040, stop:1 #2c6022);
}
QWidget[editorForm="true"] QLabel#info {
    color: #fff1c8; font-family: "DejaVu Serif"; font-style: italic;
    background: #2a180c; border: 1px solid #8a6a3a; border-radius: 4px; padding: 4px 8px;
}
QWidget[editorForm="true"] QLabel#filepath { color: #c9a862; font-size: 9pt; padding: 0 4px; }
QWidget[editorForm="true"] QLabel[preview="true"] {
    background: #efe1bd; border: 1px solid #8a6a3a; border-radius: 4px;
}
QWidget[editorForm="true"] QScrollBar:vertical { background: #1a1a50; width: 12px; margin: 0; border: none; }
QWidget[editorForm="true"] QScrollBar::handle:vertical { background: #a8844c; min-height: 24px; border-radius: 5px; margin: 1px; }
QWidget[editorForm="true"] QScrollBar::add-line:vertical, QWidget[editorForm="true"] QScrollBar::sub-line:vertical { height: 0; }
QWidget[editorForm="true"] QScrollBar::add-page:vertical, QWidget[editorForm="true"] QScrollBar::sub-page:vertical { background: none; }
)");
}

void markEditorForm(QWidget *content)
{
    content->setProperty("editorForm", true);
    content->setAttribute(Qt::WA_StyledBackground);
    content->setStyleSheet(editorStyleSheet());
}

} // namespace fc
