#pragma once
// Sub-commands of fablecraft-cli. Each takes the arguments after its own name
// and returns the process exit status.

#include <QStringList>

namespace fc::cli {

inline constexpr char kUsage[] =
    "usage: fablecraft-cli ini get FILE SECTION KEY\n"
    "       fablecraft-cli ini set FILE SECTION KEY VALUE\n"
    "       fablecraft-cli play [--program-dir DIR] [--answer yes|no] [--json] QUEST|- [STEP ...]\n"
    "       fablecraft-cli edit [--program-dir DIR] [--answer yes|no] [--json] [STEP ...]\n"
    "       fablecraft-cli check [--json] QUEST\n"
    "       fablecraft-cli playtest [--runs N] [--seed S] [--json] QUEST\n";

int runIni(const QStringList &args);  // cli_ini.cpp
int runPlay(const QStringList &args); // cli_play.cpp
int runEdit(const QStringList &args); // cli_edit.cpp
int runCheck(const QStringList &args);    // cli_check.cpp
int runPlaytest(const QStringList &args); // cli_check.cpp

} // namespace fc::cli
