#pragma once
// Helpers shared by the tests.

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QTemporaryDir>

class QTimer;

namespace fc::test {

// Whole contents of a file, or an empty array when it cannot be read.
QByteArray readFile(const QString &path);

// Writes bytes to path, replacing the file; returns false on failure.
bool writeFile(const QString &path, const QByteArray &bytes);

// Folder of test input files in the source tree (tests/data).
QString dataDir();

// The seed for a test's random moments: FABLECRAFT_TEST_SEED when it is set
// (to replay a failure), else a fresh one. Printed either way.
quint32 randomSeed();

// Handles events until condition() holds; false when ms passed first.
template <typename F> bool waitFor(F condition, int ms = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Starts watch: a modal window that no test answered in advance, which
// would wait for a user who is not there, fails the test and is closed
// instead of hanging it.
void failOnUnansweredModals(QTimer &watch);

} // namespace fc::test
