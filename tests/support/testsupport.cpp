#include "tests/support/testsupport.h"

#include <QFile>

namespace fc::test {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

QString dataDir()
{
    return qEnvironmentVariable("FABLECRAFT_TEST_DATA");
}

} // namespace fc::test
