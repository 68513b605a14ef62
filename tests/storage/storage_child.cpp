// A second process for the storage tests: writers that race the test's own
// process or each other, and a saver that is killed in the middle.
//   storage_child keys FILE PREFIX COUNT     WriteIniChecked PREFIX0..PREFIX<COUNT-1>
//   storage_child saves FILE                 saves two games in turn until killed
//   storage_child set FILE SECTION KEY VALUE one WriteIniChecked; prints the error
// With FC_CHILD_UID set the process first takes that user and group id.
#include "storage/profile_store.h"
#include "storage/saved_game.h"
#include "tests/storage/storage_games.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("FC_CHILD_UID")) {
        const int id = qEnvironmentVariableIntValue("FC_CHILD_UID");
        if (::setgid(gid_t(id)) != 0 || ::setuid(uid_t(id)) != 0)
            return 3;
    }
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0);
    if (mode == QLatin1String("keys") && args.size() == 4) {
        const int count = args[3].toInt();
        for (int i = 0; i < count; ++i) {
            QString error;
            if (!fc::WriteIniChecked(args[1], QStringLiteral("S"), args[2] + QString::number(i), QString::number(i),
                                     &error)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return 1;
            }
        }
        return 0;
    }
    if (mode == QLatin1String("saves") && args.size() == 2) {
        for (unsigned n = 0;; ++n) {
            if (!fc::WriteSavedGame(args[1], fc::test::savedGame(n % 2)).ok())
                return 1;
            // Tell the parent that at least one save is complete.
            if (n == 0) {
                std::fputs("saved\n", stdout);
                std::fflush(stdout);
            }
        }
    }
    if (mode == QLatin1String("set") && args.size() == 5) {
        QString error;
        if (!fc::WriteIniChecked(args[1], args[2], args[3], args[4], &error)) {
            std::fprintf(stdout, "%s\n", qPrintable(error));
            return 1;
        }
        return 0;
    }
    return 2;
}
