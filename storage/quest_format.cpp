#include "storage/quest_format.h"

#include <array>

namespace fc::quest {

namespace {

// Choice numbers as they appear in the long key names.
constexpr const char *kNumberWords[kOptionCount] = {"One", "Two", "Three", "Four"};

bool inRange(int i)
{
    return i >= 1 && i <= kOptionCount;
}

QString numbered(const char *prefix, int i)
{
    return inRange(i) ? QLatin1String(prefix) + QString::number(i) : QString();
}

QString worded(const char *suffix, int i)
{
    if (!inRange(i))
        return {};
    return QLatin1String("Option ") + QLatin1String(kNumberWords[i - 1]) + QLatin1String(suffix);
}

// The names are read on every turn: build each once.
template <typename Make> QString fromTable(int i, Make make)
{
    static const std::array<QString, kOptionCount> names = [&] {
        std::array<QString, kOptionCount> n;
        for (int k = 1; k <= kOptionCount; ++k)
            n[size_t(k - 1)] = make(k);
        return n;
    }();
    return inRange(i) ? names[size_t(i - 1)] : QString();
}

} // namespace

QString optionKey(int i) { return fromTable(i, [](int k) { return worded("", k); }); }
QString destinationKey(int i) { return fromTable(i, [](int k) { return worded(" Destination Page", k); }); }
QString scoreKey(int i) { return fromTable(i, [](int k) { return worded(" Score", k); }); }
QString keyItemKey(int i) { return fromTable(i, [](int k) { return numbered("Key Item", k); }); }
QString addKey(int i) { return fromTable(i, [](int k) { return numbered("Add", k); }); }
QString requiredKey(int i) { return fromTable(i, [](int k) { return numbered("Required", k); }); }

bool pageNameLess(const QString &a, const QString &b)
{
    auto number = [](const QString &s) {
        bool ok = !s.isEmpty();
        for (QChar c : s)
            ok = ok && c.isDigit() && c.unicode() < 128;
        return ok;
    };
    const bool na = number(a), nb = number(b);
    if (na != nb)
        return na;
    if (na) {
        QStringView x(a), y(b);
        while (x.size() > 1 && x.front() == QLatin1Char('0'))
            x = x.mid(1);
        while (y.size() > 1 && y.front() == QLatin1Char('0'))
            y = y.mid(1);
        if (x.size() != y.size())
            return x.size() < y.size();
        return x != y ? x < y : a < b;
    }
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
}

} // namespace fc::quest
