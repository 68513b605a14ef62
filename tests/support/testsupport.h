#pragma once
// Helpers shared by the tests.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

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

} // namespace fc::test
