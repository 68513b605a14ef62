#include "engine/score.h"

#include <QRegularExpression>

#include <cfenv>
#include <cmath>

namespace fc {

namespace {
constexpr double kMinScore = -32768;
constexpr double kMaxScore = 32767;

double roundHalfEven(double v)
{
    const int old = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(v);
    std::fesetround(old);
    return r;
}
} // namespace

std::optional<double> parseDecimal(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*[+-]?(\\d+(\\.\\d*)?|\\.\\d+)\\s*$"));
    if (!number.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

int scoreValue(const QString &scoreText)
{
    const auto v = parseDecimal(scoreText);
    if (!v)
        return 0;
    const double r = roundHalfEven(*v);
    if (r < kMinScore || r > kMaxScore)
        return 0;
    return int(r);
}

QString addToScore(const QString &scoreText, const QString &optionScore)
{
    const int s = scoreValue(scoreText);
    const auto add = parseDecimal(optionScore);
    if (!add)
        return QString::number(s);
    return QString::number(addToScore(s, *add));
}

int addToScore(int score, double optionScore)
{
    const double sum = roundHalfEven(double(score) + optionScore);
    if (sum < kMinScore || sum > kMaxScore)
        return score;
    return int(sum);
}

} // namespace fc
