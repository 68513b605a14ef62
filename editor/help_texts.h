#pragma once
// The help line of createquest: the text the label info shows while the
// pointer is over a control or the control has keyboard focus. The same text
// is the control's accessible description.

#include <QString>

namespace fc {

// The help text of control on form; "" when it has none (the help line then
// keeps what it shows).
// Every control of the three forms the user can reach has one.
QString helpText(const QString &form, const QString &control);

// help with the field's limit said: "... (up to 1,000 characters)"; help
// itself for a field without one.
QString withLimit(const QString &help, int maxLength);

} // namespace fc
