// The media pickers "X" of createquest and the MIDI and sound previews.
#include "editor/editor_parts.h"

#include "engine/skip.h"
#include "storage/quest_format.h"

#include <QDir>
#include <QFileInfo>

namespace fc {

using namespace quest;

namespace {

struct PickerSpec
{
    const char *button;
    int dialog; // CommonDialogN - 1
    const char *filter;
    const char *defaultExt;
    const char *field;
    QLatin1String key;
};

const PickerSpec kPickers[] = {
    {"Command3", 0, "*.mid|*.mid", "mid", "Text18", kMusic},
    {"Command6", 1, kPictureFilter, "jpg", "Text20", kImage},
    {"Command9", 2, "*.avi|*.avi", "avi", "Text25", kMovie},
    {"Command10", 3, kSoundFilter, "mp3", "Text26", kMp3},
};

const PickerSpec *pickerOf(const QString &control)
{
    for (const PickerSpec &p : kPickers)
        if (control == QLatin1String(p.button) || control == QLatin1String(p.field))
            return &p;
    return nullptr;
}

} // namespace

bool Pickers::isPicker(const QString &control) const
{
    const PickerSpec *p = pickerOf(control);
    return p && control == QLatin1String(p->button);
}

void Pickers::pick(const QString &control)
{
    const PickerSpec *p = pickerOf(control);
    if (!p)
        return;
    const QString path = c.openFile(QString::fromLatin1(p->filter), QString::fromLatin1(p->defaultExt),
                                    m_remembered[p->dialog]);
    const QString page = c.page();
    if (path.isEmpty() || page.isEmpty())
        return; // cancelled: the field, its key and the preview stay as they are
    c.state.setText(EditorContext::cq(), QString::fromLatin1(p->field), path);
    c.wc.write(page, p->key, path);
}

void Pickers::clear(const QString &control)
{
    const PickerSpec *p = pickerOf(control);
    const QString page = c.page();
    if (!p || page.isEmpty())
        return;
    c.state.setText(EditorContext::cq(), QString::fromLatin1(p->field), QString());
    c.wc.write(page, p->key, QString());
}

// A relative path names a file beside the quest, as in play.
static QString previewPath(const EditorContext &c, const QString &value)
{
    if (value.isEmpty() || QFileInfo(value).isAbsolute() || c.questFile.isEmpty())
        return value;
    return QDir(QFileInfo(c.questFile).absolutePath()).filePath(value);
}

void Pickers::playMidi()
{
    const QString file = c.state.text(EditorContext::cq(), QStringLiteral("Text18"));
    if (file.isEmpty()) {
        c.message(QStringLiteral("You must first select a Midi to play!"));
        return;
    }
    if (c.ports.music)
        skipOnFailure([&] { c.ports.music->start(previewPath(c, file)); });
}

void Pickers::stopMidi()
{
    if (c.ports.music)
        skipOnFailure([&] { c.ports.music->stop(); });
}

void Pickers::playSound()
{
    const QString file = c.state.text(EditorContext::cq(), QStringLiteral("Text26"));
    if (file.isEmpty()) {
        c.message(QStringLiteral("You must first select an mp3 to play!"));
        return;
    }
    const QString path = previewPath(c, file);
    bool ok = c.ports.sound && QFileInfo(path).isFile() && QFileInfo(path).isReadable();
    if (ok) {
        try {
            c.ports.sound->setFileName(path);
            c.ports.sound->play();
        } catch (...) {
            ok = false;
        }
    }
    if (!ok)
        c.message(QStringLiteral("Error playing file!!"));
}

void Pickers::stopSound()
{
    if (c.ports.sound)
        skipOnFailure([&] { c.ports.sound->stop(); });
}

} // namespace fc
