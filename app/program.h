#pragma once
// The whole game program: the game screen over the engine, wired to the
// platform's dialogs, pictures, sound, music, launcher and clock. The entry
// point makes one; so does the start-up benchmark.

#include <QString>
#include <QStringList>

#include <memory>

namespace fc {

class FrmGame;
class Game;
class MediaModule;

class Program
{
public:
    // programDir: where the launch file and the default adventure are found.
    // The media module is looked for beside the running program
    // (MediaModule::candidates).
    explicit Program(const QString &programDir);
    // ... or in these files, in order.
    Program(const QString &programDir, const QStringList &mediaModuleFiles);
    ~Program();

    // Runs the start-up (reads the launch file), plays `quest` when one is
    // given (as the load menu does once a file is chosen), and shows the
    // game screen.
    void start(const QString &quest = {});
    FrmGame &window();
    Game &game();
    // The media back-ends' module: loaded after the first frame, or on first
    // need before.
    MediaModule &media();

private:
    struct Parts;
    std::unique_ptr<Parts> m;
};

} // namespace fc
