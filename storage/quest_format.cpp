#include "storage/quest_format.h"

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

} // namespace

QString optionKey(int i) { return worded("", i); }
QString destinationKey(int i) { return worded(" Destination Page", i); }
QString scoreKey(int i) { return worded(" Score", i); }
QString keyItemKey(int i) { return numbered("Key Item", i); }
QString addKey(int i) { return numbered("Add", i); }
QString requiredKey(int i) { return numbered("Required", i); }

} // namespace fc::quest
