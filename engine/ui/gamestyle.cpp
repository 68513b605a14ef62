#include "engine/ui/gamestyle.h"

namespace fc {

QString gameStyleSheet()
{
    // Dark wood around parchment, gold for headings, ink for text.
    return QStringLiteral(R"(
#screen {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3a2414, stop:0.5 #4e311c, stop:1 #2e1b0f);
}
#screen QLabel { color: #ecdcb4; }
#screen QLabel[caption="true"] { color: #c9a862; font-size: 9pt; letter-spacing: 1px; }
#screen QLabel[badge="true"] {
    color: #3b2a1a; background: #ecdcb4; border: 1px solid #9a7a44; border-radius: 9px;
    padding: 1px 10px; font-family: "DejaVu Serif"; font-weight: bold; min-width: 22px;
}
#screen QLabel[badge="true"]:focus { border: 2px dashed #fff0c0; }
#Text1:focus { border-color: #fff0c0; }
#screen QLabel#questfil { color: #b7a27a; font-style: italic; font-size: 9pt; }
#screen QLabel#Label16 { color: #f6dc93; font-family: "DejaVu Serif"; font-weight: bold; }
#Text1 {
    background: #f3e7c9; color: #3b2a1a; selection-background-color: #c9a862;
    border: 2px solid #8a6a3a; border-radius: 6px; padding: 8px 10px;
    font-family: "DejaVu Serif"; font-size: 12pt;
}
#screen QScrollBar:vertical { background: #e6d6ae; width: 12px; margin: 0; border: none; border-radius: 6px; }
#screen QScrollBar::handle:vertical { background: #a8844c; min-height: 30px; border-radius: 5px; margin: 1px; }
#screen QScrollBar::handle:vertical:hover { background: #8a6a3a; }
#screen QScrollBar::add-line:vertical, #screen QScrollBar::sub-line:vertical { height: 0; }
#screen QScrollBar::add-page:vertical, #screen QScrollBar::sub-page:vertical { background: none; }
#choices {
    background: #efe1bd; border: 2px solid #8a6a3a; border-radius: 6px;
}
#choices QRadioButton { color: #3b2a1a; font-family: "DejaVu Serif"; font-size: 11pt; padding: 2px 4px; }
#choices QRadioButton:hover { color: #7a2a12; }
#choices QRadioButton:focus {
    border: 2px solid #7a2a12; border-radius: 4px; background: #f6dc93; padding: 0px 2px;
}
#screen QLabel#endingText { color: #3b2a1a; font-family: "DejaVu Serif"; font-size: 14pt; font-weight: bold; }
#screen QPushButton, #screen QPushButton:default {
    color: #f6e6bf; font-family: "DejaVu Serif"; font-weight: bold;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #8a5a2e, stop:1 #5a3418);
    border: 1px solid #2c1a0c; border-radius: 5px; padding: 5px 14px;
}
#screen QPushButton:focus { border: 2px solid #f0c040; padding: 4px 13px; }
#screen QPushButton:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #a06a36, stop:1 #6a3e1c); }
#screen QPushButton:pressed { background: #4a2a12; }
#screen QPushButton:disabled { color: #9a8a6a; background: #5a4838; }
#screen QProgressBar {
    background: #2a1a0e; border: 1px solid #8a6a3a; border-radius: 4px; color: #f3e7c9; text-align: center;
}
#screen QProgressBar::chunk { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #d0453a, stop:1 #8a1f18); border-radius: 3px; }
#screen QProgressBar#ProgressBar4::chunk { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #e8c35a, stop:1 #a07a20); }
#screen QProgressBar#ProgressBar1::chunk, #screen QProgressBar#HPPlay::chunk {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #5fb552, stop:1 #2e7a24);
}
#screen QFrame[panel="true"] {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f6ebd0, stop:1 #e6d3a6);
    border: 3px solid #6a4420; border-radius: 10px;
}
#screen QFrame[panel="true"] QLabel { color: #3b2a1a; }
#screen QFrame[panel="true"] QLabel[heading="true"] {
    color: #7a2a12; font-family: "DejaVu Serif"; font-size: 15pt; font-weight: bold;
    border-bottom: 1px solid #b0905a; padding-bottom: 4px;
}
#screen QFrame[panel="true"] QPlainTextEdit, #screen QFrame[panel="true"] QListWidget, #screen QFrame[panel="true"] QLineEdit {
    background: #fbf5e4; color: #3b2a1a; border: 1px solid #a0804c; border-radius: 4px;
    font-family: "DejaVu Serif"; font-size: 11pt;
}
#screen QFrame#MovBox { background: #120a04; }
#Picture2 QLabel[menuTitle="true"] {
    color: #f3d58a; font-family: "DejaVu Serif"; font-size: 30pt; font-weight: bold;
}
#Picture2 QLabel[menuSubtitle="true"] { color: #d9c08a; font-family: "DejaVu Serif"; font-size: 12pt; font-style: italic; }
#Picture2 QLabel#Label2 { color: #fff1c8; font-family: "DejaVu Serif"; font-size: 15pt; font-weight: bold; }
#Picture2 QLabel#Label14, #Picture2 QLabel#Label15 { color: #d9c08a; font-size: 9pt; text-decoration: underline; }
)");
}

} // namespace fc
