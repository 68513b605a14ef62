#include "engine/check/check_runner.h"

#include <QFile>
#include <QPointer>
#include <QThread>

#include <optional>

namespace fc::check {

struct CheckRunner::Impl
{
    QThread *thread = nullptr;
    std::optional<Request> waiting;
};

CheckRunner::CheckRunner(QObject *parent)
    : QObject(parent)
    , d(std::make_unique<Impl>())
{
    qRegisterMetaType<fc::check::CheckReport>();
}

CheckRunner::~CheckRunner()
{
    if (d->thread) {
        d->thread->wait();
        delete d->thread;
    }
    if (d->waiting && d->waiting->remove)
        QFile::remove(d->waiting->file);
}

bool CheckRunner::running() const
{
    return d->thread != nullptr;
}

void CheckRunner::start(const QString &questFile, bool removeAfter, const CheckOptions &options)
{
    const Request r{questFile, removeAfter, options};
    if (d->thread) {
        if (d->waiting && d->waiting->remove && d->waiting->file != questFile)
            QFile::remove(d->waiting->file);
        d->waiting = r;
        return;
    }
    launch(r);
}

void CheckRunner::launch(const Request &r)
{
    QPointer<CheckRunner> self(this);
    d->thread = QThread::create([self, r] {
        const CheckReport report = checkQuest(r.file, r.options);
        if (r.remove)
            QFile::remove(r.file);
        if (self)
            QMetaObject::invokeMethod(self, [self, r, report] {
                if (self)
                    self->done(r, report);
            }, Qt::QueuedConnection);
    });
    d->thread->start();
}

void CheckRunner::done(const Request &r, const CheckReport &report)
{
    d->thread->wait();
    delete d->thread;
    d->thread = nullptr;
    Q_EMIT finished(r.file, report);
    if (d->waiting) {
        const Request next = *d->waiting;
        d->waiting.reset();
        launch(next);
    }
}

} // namespace fc::check
