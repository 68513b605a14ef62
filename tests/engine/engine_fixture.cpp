#include "tests/engine/engine_fixture.h"
#include "tests/support/testsupport.h"

namespace fc::test {

EngineTest::EngineTest()
{
    programDir = dir.path();
    game = std::make_unique<Game>(screen, ports(), programDir);
}

QString EngineTest::writeQuest(const QString &name, const QStringList &lines)
{
    const QString path = programDir + QLatin1Char('/') + name;
    EXPECT_TRUE(writeFile(path, (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1()));
    return path;
}

void EngineTest::loadQuest(const QString &path)
{
    files.names.push_back(path);
    game->questStart().menuLoadQuest();
}

void EngineTest::choose(int n)
{
    ASSERT_TRUE(game->pages().selectOption(n - 1)) << "option " << n << " is hidden";
    game->pages().pressPlayTurn();
}

QStringList EngineTest::captions() const
{
    QStringList c;
    for (int i = 0; i < 4; ++i)
        c << screen.state().option(i).caption;
    return c;
}

} // namespace fc::test
