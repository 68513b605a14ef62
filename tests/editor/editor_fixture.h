#pragma once
// An editor on recording ports over a fresh working copy, with a game screen
// for test play. Quest files go to a temporary folder.

#include "editor/editor.h"
#include "engine/game.h"
#include "engine/recording_ports.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace fc::test {

class EditorTest : public ::testing::Test, protected RecordingPortSet
{
protected:
    explicit EditorTest(WorkingCopy::Mode mode = WorkingCopy::Mode::Synchronous);
    ~EditorTest() override;

    static QString cq() { return QString::fromLatin1(kCreateQuest); }
    static QString fb() { return QString::fromLatin1(kFrmBattle); }
    static QString fch() { return QString::fromLatin1(kFrmCharCreate); }

    // Writes a file into the temporary folder from lines joined with CR LF.
    QString writeQuest(const QString &name, const QStringList &lines);
    // "&Load A Quest File" whose dialog returns path ("" = cancelled).
    void load(const QString &path);
    void save(const QString &path);
    // Key of the working copy as the file holds it now (after a flush).
    QString stored(const QString &section, const QString &key);
    QByteArray workingCopyBytes();
    QString text(const QString &form, const QString &control) const { return state.text(form, control); }
    QString text(const QString &control) const { return state.text(cq(), control); }
    int checked(const QString &form, const QString &control) const { return state.checked(form, control); }
    bool enabled(const QString &form, const QString &control) const { return state.ctl(form, control).enabled; }
    QStringList entries() const { return state.createquest().pageList().entries; }
    QString lastMessage() const { return dialogs.shown.isEmpty() ? QString() : dialogs.shown.last().text; }

    QTemporaryDir dir;
    EditorState state;
    std::unique_ptr<WorkingCopy> wc;
    GameScreen screen;
    std::unique_ptr<Game> game;
    std::unique_ptr<Editor> editor;
};

} // namespace fc::test
