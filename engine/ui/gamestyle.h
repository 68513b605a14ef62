#pragma once
// The look of the game screen: one style sheet, scoped to the screen's own
// widgets so message boxes and file dialogs keep the platform's look.

#include <QString>

namespace fc {

// Style sheet for FrmGame's central widget (objectName "screen").
QString gameStyleSheet();

} // namespace fc
