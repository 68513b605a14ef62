#pragma once
// The text-mode player's session, shared by fablecraft-cli play and edit (whose
// "Test Game" plays on the same game screen).

#include "engine/game.h"
#include "engine/recording_ports.h"

#include <QFileInfo>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace fc::cli {

struct Options
{
    QString programDir;
    Answer answer = Answer::Yes;
    bool json = false;
    bool seeded = false;
    quint32 seed = 0;
    QString quest;
    QStringList steps;
};

// Reads the options play and edit share from the front of args: --json,
// --program-dir DIR, --answer yes|no and, for play, --seed N. Returns the
// index of the first argument that is no option, or -1 with *error saying
// what is wrong.
int parseCommonOptions(const QStringList &args, bool takesSeed, Options &o, QString *error);

// The whole session: the game, its recording ports and what the run printed.
class Session
{
public:
    explicit Session(const Options &o);

    Game &game() { return *m_game; }
    GameScreen &screen() { return m_screen; }
    bool ended() const { return m_ended; }
    const QList<ShownMessage> &messages() const { return m_ports.dialogs.shown; }
    // Runs one command whose file dialog, if it opens at all, returns path
    // ("" = cancelled). A command that ends before its dialog opens uses the
    // path up: no later dialog ever returns it.
    template <typename Command> void withFile(const QString &path, Command command)
    {
        m_ports.files.names.assign(1, path.isEmpty() ? path : QFileInfo(path).absoluteFilePath());
        command();
        m_ports.files.names.clear();
    }

    // Runs one step; returns 0, or the exit status that ends the run.
    int step(const QString &step);

    QByteArray output(bool json) const;
    // The state as play --json prints it.
    QJsonObject json() const;

private:
    int choose(const QString &number, bool full);

    RecordingPortSet m_ports;
    GameScreen m_screen;
    std::unique_ptr<Game> m_game;
    bool m_ended = false;
};

} // namespace fc::cli
