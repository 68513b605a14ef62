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

} // namespace fc::quest
