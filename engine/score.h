#pragma once
// Score arithmetic of a choice.

#include <QString>

#include <optional>

namespace fc {

// A decimal number with an optional sign ("+2", "-2", "5", "2.5"); nullopt
// for empty or malformed text. Blanks around the number are allowed.
std::optional<double> parseDecimal(const QString &text);

// The score label's text as a whole number; 0 when it is not one.
int scoreValue(const QString &scoreText);

// The new score text after adding an option's score value: the sum rounded to
// the nearest whole number, halves to even. The old score stands when the
// value is not a number or the result leaves -32768..32767.
QString addToScore(const QString &scoreText, const QString &optionScore);

// The same on numbers: the score after adding a parsed option score.
int addToScore(int score, double optionScore);

} // namespace fc
