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

// The whole session: the game, its recording ports and what the run printed.
class Session
{
public:
    explicit Session(const Options &o);

    Game &game() { return *m_game; }
    GameScreen &screen() { return m_screen; }
    bool ended() const { return m_ended; }
    // Queues the name the next file dialog returns ("" = cancelled).
    void pickFile(const QString &path) { m_ports.files.names.push_back(path.isEmpty() ? path : QFileInfo(path).absoluteFilePath()); }

    // Runs one step; returns 0, or the exit status that ends the run.
    int step(const QString &step);

    QByteArray output(bool json) const;
    // The state as play --json prints it.
    QJsonObject json() const;

private:
    int unavailable(const QString &step);
    int choose(const QString &number, bool full);

    RecordingPortSet m_ports;
    GameScreen m_screen;
    std::unique_ptr<Game> m_game;
    bool m_ended = false;
};

} // namespace fc::cli
