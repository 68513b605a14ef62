#include "compiler/compile_form.h"

namespace fc {

CompileForm::CompileForm()
    : m_caption(QStringLiteral("Compile"))
{
    reset();
}

const QStringList &CompileForm::controlNames()
{
    static const QStringList names = {QStringLiteral("Label1"),   QStringLiteral("Text1"),
                                      QStringLiteral("Dir1"),     QStringLiteral("Label2"),
                                      QStringLiteral("Command1"), QStringLiteral("Command3"),
                                      QStringLiteral("Command2"), QStringLiteral("Check1"),
                                      QStringLiteral("Check2")};
    return names;
}

void CompileForm::reset()
{
    m_controls.clear();
    m_controls[QStringLiteral("Label1")].text = QStringLiteral("Game Name:");
    m_controls[QStringLiteral("Text1")];
    m_controls[QStringLiteral("Dir1")];
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
        controls.insert(name, o);
    }
    return {{QStringLiteral("visible"), m_visible},
            {QStringLiteral("caption"), m_caption},
            {QStringLiteral("controls"), controls}};
}

} // namespace fc
