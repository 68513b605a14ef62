#include "storage/quest_format.h"

#include <gtest/gtest.h>

namespace {

using namespace fc::quest;

TEST(QuestFormat, PerChoiceKeyNames)
{
    const struct {
        QString (*key)(int);
        const char *names[4];
    } rows[] = {
        {optionKey, {"Option One", "Option Two", "Option Three", "Option Four"}},
        {destinationKey,
         {"Option One Destination Page", "Option Two Destination Page", "Option Three Destination Page",
          "Option Four Destination Page"}},
        {scoreKey, {"Option One Score", "Option Two Score", "Option Three Score", "Option Four Score"}},
        {keyItemKey, {"Key Item1", "Key Item2", "Key Item3", "Key Item4"}},
        {addKey, {"Add1", "Add2", "Add3", "Add4"}},
        {requiredKey, {"Required1", "Required2", "Required3", "Required4"}},
    };
    for (const auto &row : rows) {
        for (int i = 1; i <= kOptionCount; ++i)
            EXPECT_EQ(row.key(i), QLatin1String(row.names[i - 1])) << "choice " << i;
        // Out of range names no key rather than a plausible wrong one.
        EXPECT_TRUE(row.key(0).isEmpty()) << row.names[0];
        EXPECT_TRUE(row.key(5).isEmpty()) << row.names[0];
        EXPECT_TRUE(row.key(-1).isEmpty()) << row.names[0];
    }
}

} // namespace
