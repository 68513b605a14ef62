#pragma once
// Packaging a quest as a game folder that runs on its own.
//
// The game N compiled into folder D is the folder D/N holding:
// - N: a copy of the player program (run permission kept), and
//   lib/fablecraft-media.so: a copy of its media back-ends' module;
// - N.qst: the quest, byte for byte (with media: its media values rewritten);
// - game.dat: the launch file, section "loaddat" key "QuestFile" = N.qst,
//   then section "Game Data" key "Title" = the quest's "Title" (N when the
//   quest has none);
// - .fablecraft-game: the marker that says the folder is a game of ours;
// - with media: media/NAME for every picture, movie, music and sound file the
//   quest names that the media rules admit (media_rules.h);
// - with runtime: the libraries, plugins and SoundFont the player needs on a
//   desktop that has none of them, only those the quest's media need
//   (runtime_bundle.h).
//
// The folder is built as a new temporary folder in D and renamed to D/N when
// every step has succeeded: a failed or canceled compile leaves nothing, every
// file is created new (never written through a link or over a file of
// someone else), and an existing D/N is replaced whole, only once the new
// folder is complete. A D/N that holds the quest or the program, or is not a
// game folder of ours and not meant to be replaced, is refused before
// anything is written.

#include "compiler/media_rules.h"
#include "compiler/runtime_bundle.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace fc {

// The marker file in every game folder the packager writes.
inline constexpr QLatin1String kGameFolderMarker(".fablecraft-game");

struct PackageRequest
{
    QString questFile;   // the quest to package
    QString gameName;    // N
    QString targetDir;   // D: the game goes into D/N
    QString programDir;  // P: where the player program is found
    QString programName = QStringLiteral("fablecraft"); // the player program in P
    bool runtime = false; // copy the runtime files
    bool media = false;   // copy the media and point the quest at the copies
    bool allowOutside = false; // media from outside the quest's folder may be copied
    bool replace = false;      // an existing D/N that is not a game of ours may be replaced
};

// The media keys of a quest, as (section, key): every page's "Image",
// "Movie", "Music", "Mp3", "BattleImage", "BattleMusic", and "CharImage" of
// "CharacterData". Only keys with a non-empty value are listed.
struct MediaReference
{
    QString section;
    QString key;
    QString value;
    // "VALUE (page SECTION, KEY)", for lists shown to the author.
    QString describe() const;
};
QList<MediaReference> questMediaReferences(const QString &questFile);

// What a compile would do, found before anything is written.
struct PackagePlan
{
    // Set when the compile must not start: the step and why.
    QString failedStep;
    QString cause;
    bool refused() const { return !failedStep.isEmpty(); }

    struct Media
    {
        MediaReference ref;
        MediaAdmission admission;
    };
    QList<Media> media;      // with request.media: every media value and its admission
    QStringList notAdmitted; // "VALUE (page S, KEY): reason"
    QStringList outside;     // admitted files from outside the quest's folder, each once
    bool targetExists = false; // D/N exists (a folder, file or link)
    bool targetIsGame = false; // ... and is a game folder of ours
    bool needsReplaceConfirmation() const { return targetExists && !targetIsGame; }
    QString title;             // the launch file's "Title"
    RuntimeNeeds runtimeNeeds; // what the quest's media need of the runtime
};

PackagePlan planPackage(const PackageRequest &request);

// Told of each step while a game is written; canceled() is asked between
// files and between blocks of large files. Both are called on the thread that
// runs packageGame.
struct PackageProgress
{
    // step: what is being done ("Copying the program"); done of total units of
    // the whole compile.
    std::function<void(const QString &step, int done, int total)> step;
    std::function<bool()> canceled;
};

struct PackageResult
{
    bool ok = false;
    bool canceled = false;
    QString gameDir;    // D/N
    QString executable; // D/N/N
    // When !ok: the step that failed ("create the game folder D/N", ...) and
    // the system's reason.
    QString failedStep;
    QString cause;
    // Media not admitted and best-effort files that could not be copied, each
    // as "PATH: reason".
    QStringList notCopied;
    int mediaCopied = 0;
    int runtimeCopied = 0;
    qint64 runtimeBytes = 0; // the runtime files written
    qint64 gameBytes = 0;    // every file of the game folder

    // "Could not STEP: CAUSE"
    QString failureMessage() const;
};

// Why name cannot be a game name ("" when it can): it must name one folder,
// so it may not hold "/" or "\", be "." or "..", or hold control characters;
// and the program named after it must not take the place of game.dat,
// media, lib, qt.conf, the SoundFont or the marker in the game folder.
// An empty name is left to the caller.
QString gameNameProblem(const QString &name);

// Writes the game as planned. Refuses (before writing) what the plan refuses,
// media from outside the quest's folder without request.allowOutside, and an
// existing D/N that is not a game of ours without request.replace.
PackageResult packageGame(const PackageRequest &request, const PackagePlan &plan, const PackageProgress &progress = {});
// Plans and writes.
PackageResult packageGame(const PackageRequest &request);

// The file a media value names, found as the engine finds it (a relative
// value is taken from the quest file's folder), or "" when there is none.
QString resolveMediaFile(const QString &questFile, const QString &value);

// "1.5 MB"
QString megabytes(qint64 bytes);

} // namespace fc
