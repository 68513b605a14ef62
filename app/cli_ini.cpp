// fablecraft-cli ini get|set: the profile store from the command line, through
// the same ReadIni / WriteIni the program uses.
#include "app/cli_commands.h"

#include "storage/profile_store.h"
#include "storage/regular_file.h"
#include "storage/user_folders.h"

#include <QDir>
#include <QFile>

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

namespace fc::cli {

namespace {

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

// A file (the target of a link) that exists and may not be written: no
// write permission at all, or none for this user. The superuser may write
// anything, but a file nobody may write is read-only for it too.
bool readOnly(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(name.constData(), W_OK) != 0;
}

} // namespace

int runIni(const QStringList &args)
{
    const QString verb = args.value(0);
    if (verb == QLatin1String("get") && args.size() == 4) {
        // A missing file reads as empty; a FIFO, device or oversized file is
        // refused with its cause rather than read (or waited on).
        QString error;
        const FileStatus status = CheckRegularFile(ResolveIniPath(args[1]), filelimit::kProfile, &error);
        if (status != FileStatus::Ok && status != FileStatus::Missing) {
            const QByteArray msg = "fablecraft-cli: cannot read " + error.toUtf8() + '\n';
            std::fputs(msg.constData(), stderr);
            return 1;
        }
        const QByteArray out = ReadIni(args[1], args[2], args[3]).toUtf8() + '\n';
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (verb == QLatin1String("set") && args.size() == 5) {
        // A file its owner made read-only is left alone, as the editor's Save
        // leaves it: a write would replace it with a writable file.
        const QString path = ResolveIniPath(args[1]);
        if (readOnly(path)) {
            const QByteArray msg = "fablecraft-cli: cannot write " + QDir::toNativeSeparators(path).toUtf8() + ": "
                                   + QDir::toNativeSeparators(path).toUtf8() + " is read-only\n";
            std::fputs(msg.constData(), stderr);
            return 1;
        }
        // WriteIni itself reports nothing; a tool must not claim success for
        // a write that did not happen, so ask the checked variant.
        QString error;
        if (!WriteIniChecked(args[1], args[2], args[3], args[4], &error)) {
            // Most of the store's messages name the file already.
            const QString file = QDir::toNativeSeparators(ResolveIniPath(args[1]));
            if (!error.startsWith(file + QLatin1String(": ")))
                error = file + QLatin1String(": ") + error;
            const QByteArray msg = "fablecraft-cli: cannot write " + error.toUtf8() + '\n';
            std::fputs(msg.constData(), stderr);
            return 1;
        }
        return 0;
    }
    return usage();
}

} // namespace fc::cli
