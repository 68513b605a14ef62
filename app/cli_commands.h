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
    "       fablecraft-cli compile [--program-dir DIR] QUEST NAME --into DIR [--runtime] [--media]\n";

int runIni(const QStringList &args);  // cli_ini.cpp
int runPlay(const QStringList &args); // cli_play.cpp
int runEdit(const QStringList &args); // cli_edit.cpp
int runCompile(const QStringList &args); // cli_compile.cpp

} // namespace fc::cli
