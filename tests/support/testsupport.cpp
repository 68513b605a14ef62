#include "tests/support/testsupport.h"

#include <QApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdio>

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

quint32 randomSeed()
{
    bool ok = false;
    const quint32 given = qEnvironmentVariable("FABLECRAFT_TEST_SEED").toUInt(&ok);
    const quint32 seed = ok ? given : QRandomGenerator::global()->generate();
    std::printf("random seed %u (FABLECRAFT_TEST_SEED=%u replays it)\n", seed, seed);
    std::fflush(stdout);
    return seed;
}

void failOnUnansweredModals(QTimer &watch)
{
    QObject::connect(&watch, &QTimer::timeout, [] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            ADD_FAILURE() << "unanswered modal window: " << modal->windowTitle().toStdString();
            modal->close();
        }
    });
    watch.start(100);
}

} // namespace fc::test
