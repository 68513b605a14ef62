// FrmCharCreate: the quest-wide character settings in "CharacterData".
#include "editor/editor_parts.h"

#include "storage/quest_format.h"

#include <QHash>

namespace fc {

using namespace quest;

namespace {

const QHash<QString, QString> &keyTable()
{
    static const QHash<QString, QString> table{
        {QStringLiteral("Check1"), kCharLoadAllow}, {QStringLiteral("Check2"), kCharCreateAllow},
        {QStringLiteral("Text1"), kCharName},       {QStringLiteral("Text2"), kCharHp},
        {QStringLiteral("Text3"), kCharAtk},        {QStringLiteral("Text4"), kCharDef},
    };
    return table;
}

} // namespace

void CharacterDialog::fieldChanged(const QString &control)
{
    const QString key = keyTable().value(control);
    if (key.isEmpty() || c.applying)
        return; // Text5: only the picker stores the picture
    const Control &ctl = c.state.ctl(EditorContext::charCreateForm(), control);
    c.wc.write(kCharacterDataSection, key, ctl.kind == ControlKind::CheckBox ? QString::number(ctl.checked) : ctl.text);
}

void CharacterDialog::refill()
{
    if (!m_loaded)
        return;
    const QString f = EditorContext::charCreateForm();
    m_loaded = false;
    for (const Control &ctl : c.state.character().controls()) {
        if (ctl.kind == ControlKind::TextBox)
            c.state.setText(f, ctl.name, QString());
        else if (ctl.kind == ControlKind::CheckBox)
            c.state.setChecked(f, ctl.name, 0);
    }
    c.state.setPicture(f, Picture{});
    const bool shown = c.state.character().visible();
    open();
    c.state.setFormVisible(f, shown);
}

void CharacterDialog::open()
{
    const QString f = EditorContext::charCreateForm();
    if (!m_loaded) {
        m_loaded = true;
        auto assign = [&](const QString &control, const QString &value) {
            if (c.state.text(f, control) == value)
                return;
            c.state.setText(f, control, value);
            fieldChanged(control);
        };
        for (const char *name : {"Check1", "Check2"}) {
            const QString control = QString::fromLatin1(name);
            if (const auto v = checkValue(c.wc.read(kCharacterDataSection, keyTable().value(control)));
                v && c.state.checked(f, control) != *v) {
                c.state.setChecked(f, control, *v);
                fieldChanged(control);
            }
        }
        const QString image = c.wc.read(kCharacterDataSection, kCharImage);
        c.state.setText(f, QStringLiteral("Text5"), image);
        if (!image.isEmpty()) {
            if (auto picture = c.loadPicture(PictureSlot::Page, image); picture && !picture->isNull())
                c.state.setPicture(f, Picture{Picture::File, image, *picture});
        }
        for (const char *name : {"Text1", "Text2", "Text3", "Text4"}) {
            const QString control = QString::fromLatin1(name);
            assign(control, c.wc.read(kCharacterDataSection, keyTable().value(control)));
        }
    }
    c.state.setFormVisible(f, true);
}

void CharacterDialog::close()
{
    const QString f = EditorContext::charCreateForm();
    c.state.setFormVisible(f, false);
    m_loaded = false;
    for (const Control &ctl : c.state.character().controls()) {
        if (ctl.kind == ControlKind::TextBox)
            c.state.setText(f, ctl.name, QString());
        else if (ctl.kind == ControlKind::CheckBox)
            c.state.setChecked(f, ctl.name, 0);
    }
    c.state.setPicture(f, Picture{});
}

void CharacterDialog::pick()
{
    const QString f = EditorContext::charCreateForm();
    const QString path = c.openFile(QString::fromLatin1(kPictureFilter), QStringLiteral("jpg"), m_remembered);
    if (path.isEmpty())
        return; // cancelled: field, key and preview stay as they are
    c.state.setText(f, QStringLiteral("Text5"), path);
    c.wc.write(kCharacterDataSection, kCharImage, path);
    const auto picture = c.loadPicture(PictureSlot::Page, path);
    if (picture && !picture->isNull())
        c.state.setPicture(f, Picture{Picture::File, path, *picture});
    else
        c.state.setPicture(f, Picture{});
}

void CharacterDialog::clear()
{
    const QString f = EditorContext::charCreateForm();
    c.state.setText(f, QStringLiteral("Text5"), QString());
    c.wc.write(kCharacterDataSection, kCharImage, QString());
    c.state.setPicture(f, Picture{});
}

} // namespace fc
