#pragma once
// A game on recording ports over quest files written into a temporary
// program directory.

#include "engine/game.h"
#include "engine/recording_ports.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace fc::test {

class EngineTest : public ::testing::Test, protected RecordingPortSet
{
protected:
    EngineTest();

    // Writes an INI file into the program directory from lines joined with
    // CR LF; returns its full path.
    QString writeQuest(const QString &name, const QStringList &lines);
    // Loads the quest through the load menu, as if the player picked it.
    void loadQuest(const QString &path);
    // Selects option n (1..4) and clicks the picture button.
    void choose(int n);

    QString log() const { return screen.state().log(); }
    QStringList captions() const;

    QTemporaryDir dir;
    QString programDir;
    GameScreen screen;
    std::unique_ptr<Game> game;
};

} // namespace fc::test
