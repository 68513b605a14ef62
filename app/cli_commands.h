#pragma once
// Sub-commands of fablecraft-cli. Each takes the arguments after its own name
// and returns the process exit status.

#include <QString>
#include <QStringList>

namespace fc::cli {

inline constexpr char kUsage[] =
    "usage: fablecraft-cli ini get FILE SECTION KEY\n"
    "       fablecraft-cli ini set FILE SECTION KEY VALUE\n"
    "       fablecraft-cli play [--program-dir DIR] [--answer yes|no] [--json] QUEST|- [STEP ...]\n"
    "       fablecraft-cli edit [--program-dir DIR] [--answer yes|no] [--json] [STEP ...]\n"
    "                (find[/cwr]:TEXT, replace[/cwr]:FIND:WITH: c match case, w whole words,\n"
    "                 r regular expression)\n"
    "       fablecraft-cli compile [--program-dir DIR] QUEST NAME --into DIR [--runtime] [--media]\n"
    "                              [--allow-outside] [--replace]\n"
    "       fablecraft-cli check [--json] QUEST\n"
    "       fablecraft-cli playtest [--runs N] [--seed S] [--json] QUEST\n"
    "       fablecraft-cli export-web [--program-dir DIR] QUEST OUT.html [--allow-outside]\n"
    "       fablecraft-cli map QUEST [--json] [--svg FILE]\n";

int runIni(const QStringList &args);      // cli_ini.cpp
int runPlay(const QStringList &args);     // cli_play.cpp
int runEdit(const QStringList &args);     // cli_edit.cpp
int runCompile(const QStringList &args);  // cli_compile.cpp
int runCheck(const QStringList &args);    // cli_check.cpp
int runPlaytest(const QStringList &args); // cli_check.cpp
int runExportWeb(const QStringList &args); // cli_export_web.cpp
int runMap(const QStringList &args);      // cli_map.cpp

// Exit statuses the sub-commands share.
inline constexpr int kExitUsage = 2;       // the command line is wrong
inline constexpr int kExitUnavailable = 3; // a step cannot be carried out here

// Prints "fablecraft-cli COMMAND: why" (when there is a why) and the usage;
// returns kExitUsage.
int usageError(const char *command, const QString &why);
// Says on stderr that step is not available; returns kExitUnavailable.
int stepUnavailable(const QString &step);

} // namespace fc::cli
