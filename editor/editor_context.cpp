// Helpers the editor's topic classes share: dialogs, file dialogs, pictures.
#include "editor/editor_parts.h"

#include "engine/skip.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace fc {

QString EditorContext::dialogFolder() const
{
    if (!questFile.isEmpty())
        return QFileInfo(questFile).absolutePath();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? QDir::homePath() : documents;
}

QString EditorContext::openFile(const QString &filter, const QString &defaultExt, QString &remembered)
{
    if (!ports.fileDialog)
        return {};
    FileDialogOptions options;
    options.initialDir = dialogFolder();
    options.filter = filter;
    options.defaultExt = defaultExt;
    options.fileName = remembered;
    QString chosen;
    skipOnFailure([&] { chosen = ports.fileDialog->openFile(options); });
    if (!chosen.isEmpty())
        remembered = chosen;
    return chosen;
}

void EditorContext::message(const QString &text)
{
    if (ports.dialogs)
        skipOnFailure([&] { ports.dialogs->information(QString(), text); });
}

void EditorContext::error(const QString &cause)
{
    if (ports.dialogs)
        skipOnFailure([&] { ports.dialogs->information(QStringLiteral("Error!"), cause); });
}

bool EditorContext::askNo(const QString &text)
{
    if (!ports.dialogs)
        return false;
    Answer answer = Answer::No;
    skipOnFailure([&] { answer = ports.dialogs->questionDefaultNo(QStringLiteral("WARNING!!!!"), text); });
    return answer == Answer::Yes;
}

std::optional<QImage> EditorContext::loadPicture(PictureSlot slot, const QString &path)
{
    if (!ports.pictures)
        return std::nullopt;
    std::optional<QImage> image;
    skipOnFailure([&] { image = ports.pictures->load(slot, path); });
    return image;
}

std::optional<int> checkValue(const QString &stored)
{
    bool ok = false;
    const int v = stored.trimmed().toInt(&ok);
    if (!ok || (v != 0 && v != 1))
        return std::nullopt;
    return v;
}

} // namespace fc
