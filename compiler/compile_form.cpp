#include "compiler/compile_form.h"

namespace fc {

CompileForm::CompileForm()
    : m_caption(QStringLiteral("Compile"))
{
    reset();
}

const QStringList &CompileForm::controlNames()
{
    static const QStringList names = {
        QStringLiteral("Label1"),   QStringLiteral("Text1"),        QStringLiteral("Text2"),
        QStringLiteral("Dir1"),     QStringLiteral("Command4"),     QStringLiteral("Label2"),
        QStringLiteral("Check1"),   QStringLiteral("Check2"),       QStringLiteral("Command1"),
        QStringLiteral("Command3"), QStringLiteral("Command2"),     QStringLiteral("ProgressBar1"),
        QStringLiteral("Label3"),   QStringLiteral("Command5")};
    return names;
}

void CompileForm::reset()
{
    m_controls.clear();
    m_busy = false;
    m_controls[QStringLiteral("Label1")].text = QStringLiteral("Game Name:");
    m_controls[QStringLiteral("Text1")];
    m_controls[QStringLiteral("Text2")];
    m_controls[QStringLiteral("Dir1")];
    m_controls[QStringLiteral("Command4")].text = QStringLiteral("New Folder");
    m_controls[QStringLiteral("ProgressBar1")];
    m_controls[QStringLiteral("Label3")];
    CompileControl &cancel = m_controls[QStringLiteral("Command5")];
    cancel.text = QStringLiteral("Cancel");
    cancel.enabled = false;
    m_controls[QStringLiteral("Label2")].text =
        QStringLiteral("Pick a folder, your game will be compiled in a subfolder of the game name you type above....");
    m_controls[QStringLiteral("Command1")].text = QStringLiteral("Compile");
    m_controls[QStringLiteral("Command3")].text = QStringLiteral("Open Directory");
    m_controls[QStringLiteral("Command2")].text = QStringLiteral("Close");
    CompileControl &check1 = m_controls[QStringLiteral("Check1")];
    check1.text = QStringLiteral("Include ALL Runtime files in case your friends don't have them. <RECOMMENDED>");
    check1.checked = true;
    m_controls[QStringLiteral("Check2")].text =
        QStringLiteral("Copy the pictures, music, movies and sounds this quest uses");
    Q_EMIT changed();
}

const CompileControl &CompileForm::control(const QString &name) const
{
    static const CompileControl none;
    const auto it = m_controls.constFind(name);
    return it == m_controls.cend() ? none : *it;
}

void CompileForm::setLoaded(bool loaded)
{
    m_loaded = loaded;
    Q_EMIT changed();
}

void CompileForm::setVisible(bool visible)
{
    m_visible = visible;
    Q_EMIT changed();
}

void CompileForm::setText(const QString &name, const QString &text)
{
    if (!m_controls.contains(name) || m_controls[name].text == text)
        return;
    m_controls[name].text = text;
    Q_EMIT changed();
}

void CompileForm::setChecked(const QString &name, bool checked)
{
    if (!m_controls.contains(name) || m_controls[name].checked == checked)
        return;
    m_controls[name].checked = checked;
    Q_EMIT changed();
}

void CompileForm::setProgress(int value, int maximum)
{
    CompileControl &bar = m_controls[QStringLiteral("ProgressBar1")];
    if (bar.value == value && bar.maximum == maximum)
        return;
    bar.value = value;
    bar.maximum = maximum;
    Q_EMIT changed();
}

void CompileForm::setBusy(bool busy)
{
    m_busy = busy;
    for (auto it = m_controls.begin(); it != m_controls.end(); ++it) {
        if (it.key().startsWith(QLatin1String("Label")) || it.key() == QLatin1String("ProgressBar1"))
            continue;
        it->enabled = (it.key() == QLatin1String("Command5")) == busy;
    }
    Q_EMIT changed();
}

QJsonObject CompileForm::toJson() const
{
    QJsonObject controls;
    for (const QString &name : controlNames()) {
        const CompileControl &c = control(name);
        QJsonObject o{{QStringLiteral("enabled"), c.enabled}, {QStringLiteral("visible"), c.visible}};
        if (name == QLatin1String("Dir1"))
            o.insert(QStringLiteral("path"), c.text);
        else
            o.insert(QStringLiteral("text"), c.text);
        if (name.startsWith(QLatin1String("Check")))
            o.insert(QStringLiteral("checked"), c.checked ? 1 : 0);
        if (name == QLatin1String("ProgressBar1")) {
            o.remove(QStringLiteral("text"));
            o.insert(QStringLiteral("value"), c.value);
            o.insert(QStringLiteral("maximum"), c.maximum);
        }
        controls.insert(name, o);
    }
    return {{QStringLiteral("visible"), m_visible},
            {QStringLiteral("caption"), m_caption},
            {QStringLiteral("controls"), controls}};
}

} // namespace fc
