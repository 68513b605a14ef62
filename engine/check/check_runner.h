#pragma once
// Runs the quest checker off the caller's thread, for a window that must keep
// taking keystrokes while a quest is checked (the editor's "Check Quest").
//
// The caller hands over a file that nobody writes while it is checked (for
// the editor: a flushed copy of the working copy, made beside it so that
// relative media names resolve as in a test play; WorkingCopy::copyTo makes
// one). finished() then arrives on the runner's thread. A request while a
// check runs waits and replaces any older waiting one, so a burst of requests
// costs at most two checks.

#include "engine/check/checker.h"

#include <QObject>
#include <QString>

#include <memory>

namespace fc::check {

class CheckRunner : public QObject
{
    Q_OBJECT
public:
    explicit CheckRunner(QObject *parent = nullptr);
    ~CheckRunner() override; // waits for a running check

    // Checks questFile; with removeAfter the file is deleted once checked
    // (or when a newer request replaces it before its check starts).
    void start(const QString &questFile, bool removeAfter = false, const CheckOptions &options = {});
    bool running() const;

Q_SIGNALS:
    // questFile as given to start(); report as checkQuest gives it.
    void finished(const QString &questFile, const fc::check::CheckReport &report);

private:
    struct Request
    {
        QString file;
        bool remove = false;
        CheckOptions options;
    };
    void launch(const Request &r);
    void done(const Request &r, const CheckReport &report);

    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace fc::check

Q_DECLARE_METATYPE(fc::check::CheckReport)
