#pragma once
// Packaging a quest as a game folder that runs on its own.
//
// The game N compiled into folder D is the folder D/N holding:
// - N: a copy of the player program (run permission kept);
// - N.qst: the quest, byte for byte (with media: its media values rewritten);
// - game.dat: the launch file, section "loaddat" key "QuestFile" = N.qst,
//   then section "Game Data" key "Title" = N;
// - with media: media/NAME for every picture, movie, music and sound file the
//   quest names and the engine would find;
// - with runtime: the libraries, plugins and SoundFont the player needs on a
//   desktop that has none of them (runtime_bundle.h).
//
// The program, the quest and the launch file are required: the first of them
// that cannot be written stops the compile, and the result names that step
// and why. Media and runtime files are best effort: each one that cannot be
// copied is listed and the rest go on. Every file is written under a
// temporary name and renamed into place, so a failed or interrupted compile
// never leaves a half-written file, and game.dat is written last of the three.

#include <QString>
#include <QStringList>

namespace fc {

struct PackageRequest
{
    QString questFile;   // the quest to package
    QString gameName;    // N
    QString targetDir;   // D: the game goes into D/N
    QString programDir;  // P: where the player program is found
    QString programName = QStringLiteral("fablecraft"); // the player program in P
    bool runtime = false; // copy the runtime files
    bool media = false;   // copy the media and point the quest at the copies
};

struct PackageResult
{
    bool ok = false;
    QString gameDir;    // D/N
    QString executable; // D/N/N
    // When !ok: the step that failed ("create the game folder D/N", ...) and
    // the system's reason.
    QString failedStep;
    QString cause;
    // Best-effort files that could not be copied, each as "PATH: reason".
    QStringList notCopied;
    int mediaCopied = 0;
    int runtimeCopied = 0;

    // "Could not STEP: CAUSE"
    QString failureMessage() const;
};

// Why name cannot be a game name ("" when it can): it must name one folder,
// so it may not hold "/" or "\", be "." or "..", or hold control characters;
// and the program named after it must not take the place of game.dat,
// media, lib, qt.conf or the SoundFont in the game folder.
// An empty name is left to the caller.
QString gameNameProblem(const QString &name);

PackageResult packageGame(const PackageRequest &request);

// The media keys of a quest, as (section, key): every page's "Image",
// "Movie", "Music", "Mp3", "BattleImage", "BattleMusic", and "CharImage" of
// "CharacterData". Only keys with a non-empty value are listed.
struct MediaReference
{
    QString section;
    QString key;
    QString value;
};
QList<MediaReference> questMediaReferences(const QString &questFile);

// The file a media value names, found as the engine finds it (a relative
// value is taken from the quest file's folder), or "" when there is none.
QString resolveMediaFile(const QString &questFile, const QString &value);

// Copies source to target through a temporary file and a rename, with the
// source's permissions and modification time. False with *error on failure.
bool copyFileAtomically(const QString &source, const QString &target, QString *error);

} // namespace fc
