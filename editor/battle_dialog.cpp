// FrmBattle: the battle keys of the selected page.
#include "editor/editor_parts.h"

#include "storage/quest_format.h"

#include <QHash>

namespace fc {

using namespace quest;

namespace {

const QHash<QString, QString> &keyTable()
{
    static const QHash<QString, QString> table{
        {QStringLiteral("Text1"), kBattleMonName},     {QStringLiteral("Text2"), kBattleMonHp},
        {QStringLiteral("Text3"), kBattleMonAtk},      {QStringLiteral("Text4"), kBattleMonDef},
        {QStringLiteral("Text5"), kBattleImage},       {QStringLiteral("Text6"), kBattleMusic},
        {QStringLiteral("Text7"), kBattleMonKeyItem},  {QStringLiteral("Text8"), kBattleMonExp},
        {QStringLiteral("Text9"), kBattleWin},         {QStringLiteral("Text10"), kBattleLose},
        {QStringLiteral("Text11"), kBattleEscape},     {QStringLiteral("Text12"), kAtkMessage},
        {QStringLiteral("Text13"), kAltAtk},           {QStringLiteral("Text14"), kAltAtkDam},
        {QStringLiteral("Check1"), kBattleEscapeCheck},
    };
    return table;
}

// The order in which opening the dialog fills its texts after the picture.
const char *const kTextOrder[] = {"Text1", "Text10", "Text11", "Text12", "Text13", "Text14",
                                  "Text2", "Text3",  "Text4",  "Text7",  "Text8",  "Text9"};

} // namespace

QString Editor::battleControlOf(const QString &key)
{
    for (auto it = keyTable().cbegin(); it != keyTable().cend(); ++it)
        if (it.value().compare(key, Qt::CaseInsensitive) == 0 && it.key().startsWith(QLatin1String("Text")))
            return it.key();
    return {};
}

void BattleDialog::fieldChanged(const QString &control)
{
    const QString key = keyTable().value(control);
    const QString page = c.page();
    if (key.isEmpty() || page.isEmpty() || c.applying)
        return;
    const Control &ctl = c.state.ctl(EditorContext::fb(), control);
    c.wc.write(page, key, ctl.kind == ControlKind::CheckBox ? QString::number(ctl.checked) : ctl.text);
}

void BattleDialog::fillTexts()
{
    const QString fb = EditorContext::fb();
    const QString page = c.page();
    for (const char *name : kTextOrder) {
        const QString control = QString::fromLatin1(name);
        const QString value = c.wc.read(page, keyTable().value(control));
        if (c.state.text(fb, control) != value) {
            c.state.setText(fb, control, value);
            fieldChanged(control);
        }
    }
}

void BattleDialog::load()
{
    const QString fb = EditorContext::fb();
    const QString page = c.page();
    m_loaded = true;
    if (page.isEmpty())
        return;
    // The game forbids escape only for "0"; a missing or empty value allows
    // it, so the box shows it checked (and nothing is written for that).
    c.state.setChecked(fb, QStringLiteral("Check1"), c.wc.read(page, kBattleEscapeCheck).trimmed() == QLatin1String("0") ? 0 : 1);
    for (const char *name : {"Text6", "Text5"}) {
        const QString control = QString::fromLatin1(name);
        const QString value = c.wc.read(page, keyTable().value(control));
        if (c.state.text(fb, control) != value) {
            c.state.setText(fb, control, value);
            fieldChanged(control);
        }
    }
}

void BattleDialog::open()
{
    const QString fb = EditorContext::fb();
    if (!m_loaded) {
        load();
        const QString path = c.state.text(fb, QStringLiteral("Text5"));
        if (!path.isEmpty() && !c.page().isEmpty()) {
            if (auto image = c.loadPicture(PictureSlot::Battle, path); image && !image->isNull())
                c.state.setPicture(fb, Picture{Picture::File, path, *image});
        }
        if (!c.page().isEmpty())
            fillTexts();
        updateEnabled(!c.page().isEmpty());
    }
    c.state.setFormVisible(fb, true);
}

void BattleDialog::fillFromPage()
{
    const QString fb = EditorContext::fb();
    load();
    const QString path = c.state.text(fb, QStringLiteral("Text5"));
    if (path.isEmpty()) {
        c.state.setPicture(fb, Picture{Picture::Icon, {}, {}});
    } else if (auto image = c.loadPicture(PictureSlot::Battle, path); image && !image->isNull()) {
        c.state.setPicture(fb, Picture{Picture::File, path, *image});
    }
    fillTexts();
}

void BattleDialog::close()
{
    const QString fb = EditorContext::fb();
    c.state.setFormVisible(fb, false);
    // Unloaded: the next load starts from a fresh form. Nothing is written.
    m_loaded = false;
    for (const Control &ctl : c.state.battle().controls()) {
        if (ctl.kind == ControlKind::TextBox)
            c.state.setText(fb, ctl.name, QString());
        else if (ctl.kind == ControlKind::CheckBox)
            c.state.setChecked(fb, ctl.name, 0);
    }
    c.state.setPicture(fb, Picture{Picture::Placeholder, {}, {}});
}

void BattleDialog::pick(const QString &control)
{
    const QString fb = EditorContext::fb();
    const bool picture = control == QLatin1String("Command6");
    const QString path = picture ? c.openFile(QString::fromLatin1(kPictureFilter), QStringLiteral("jpg"), m_rememberedPicture)
                                 : c.openFile(QStringLiteral("*.mid|*.mid"), QStringLiteral("mid"), m_rememberedMusic);
    if (path.isEmpty() || c.page().isEmpty())
        return; // cancelled: field, key and preview stay as they are
    const QString field = picture ? QStringLiteral("Text5") : QStringLiteral("Text6");
    c.state.setText(fb, field, path);
    fieldChanged(field);
    if (picture) {
        const auto image = c.loadPicture(PictureSlot::Battle, path);
        if (image && !image->isNull())
            c.state.setPicture(fb, Picture{Picture::File, path, *image});
        else
            c.state.setPicture(fb, Picture{}); // not a picture: the preview shows none
    }
}

void BattleDialog::updateEnabled(bool pageSelected)
{
    const QString fb = EditorContext::fb();
    for (const Control &ctl : c.state.battle().controls())
        if (ctl.kind == ControlKind::TextBox || ctl.kind == ControlKind::CheckBox || ctl.kind == ControlKind::Button)
            c.state.setEnabled(fb, ctl.name, pageSelected);
}

} // namespace fc
