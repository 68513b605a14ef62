#include "storage/aohider.h"
#include <gtest/gtest.h>

TEST(AOHider, MissingFileReadsEmpty)
{
    EXPECT_EQ(fc::ReadIni(QStringLiteral("does-not-exist.ini"), QStringLiteral("a"), QStringLiteral("b")), QString());
}
