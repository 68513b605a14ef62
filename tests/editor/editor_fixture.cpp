#include "tests/editor/editor_fixture.h"

#include "storage/profile_store.h"
#include "tests/support/testsupport.h"

#include <QFile>

namespace fc::test {

EditorTest::EditorTest(WorkingCopy::Mode mode)
{
    // A working copy left by an earlier test must not matter: start-up
    // deletes it, as in every program run.
    wc = std::make_unique<WorkingCopy>(QStringLiteral("tmpquest.ini"), mode);
    game = std::make_unique<Game>(screen, ports(), dir.path());
    editor = std::make_unique<Editor>(state, *wc, ports(), dir.path());
    editor->setGame(game.get());
    editor->show();
}

EditorTest::~EditorTest() = default;

QString EditorTest::writeQuest(const QString &name, const QStringList &lines)
{
    const QString path = dir.filePath(name);
    writeFile(path, (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    return path;
}

void EditorTest::load(const QString &path)
{
    files.names = {path};
    editor->menuLoad();
    files.names.clear();
}

void EditorTest::save(const QString &path)
{
    files.names = {path};
    editor->menuSave();
    files.names.clear();
}

QString EditorTest::stored(const QString &section, const QString &key)
{
    (void)wc->flush(); // the bytes read tell
    return ReadIni(QStringLiteral("tmpquest.ini"), section, key);
}

QByteArray EditorTest::workingCopyBytes()
{
    (void)wc->flush(); // the bytes read tell
    return readFile(wc->path());
}

} // namespace fc::test
