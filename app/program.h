#pragma once
// The whole game program: the game screen over the engine, wired to the
// platform's dialogs, pictures, sound, music, launcher and clock. The entry
// point makes one; so does the start-up benchmark.

#include <QString>

#include <memory>

namespace fc {

class FrmGame;
class Game;

class Program
{
public:
    // programDir: where the launch file and the default adventure are found.
    explicit Program(const QString &programDir);
    ~Program();

    // Runs the start-up (reads the launch file), plays `quest` when one is
    // given (as the load menu does once a file is chosen), and shows the
    // game screen.
    void start(const QString &quest = {});
    FrmGame &window();
    Game &game();

private:
    struct Parts;
    std::unique_ptr<Parts> m;
};

} // namespace fc
