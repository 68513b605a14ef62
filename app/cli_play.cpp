#include "app/cli_commands.h"
int fc::cli::runPlay(const QStringList &) { return 2; }
