#pragma once
// The state of the compile dialog FrmCompile: every control by its name. The
// form shows this and forwards the user's events to Compiler; the text-mode
// editor reads and drives the same object.

#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

namespace fc {

struct CompileControl
{
    QString text;         // caption, or the typed text of Text1; the folder of Dir1
    bool checked = false; // check boxes
    bool enabled = true;
    bool visible = true;
    int value = 0;   // ProgressBar1: done of maximum
    int maximum = 0;
};

class CompileForm : public QObject
{
    Q_OBJECT
public:
    CompileForm();

    // Label1, Text1, Text2, Dir1, Command4, Label2, Check1, Check2, Command1,
    // Command3, Command2, ProgressBar1, Label3, Command5: in reading order.
    static const QStringList &controlNames();

    const QString &caption() const { return m_caption; }
    bool loaded() const { return m_loaded; }
    bool visible() const { return m_visible; }
    const CompileControl &control(const QString &name) const;
    bool hasControl(const QString &name) const { return m_controls.contains(name); }

    QString gameName() const { return control(QStringLiteral("Text1")).text; }
    QString folder() const { return control(QStringLiteral("Dir1")).text; }
    bool includeRuntime() const { return control(QStringLiteral("Check1")).checked; }
    bool copyMedia() const { return control(QStringLiteral("Check2")).checked; }
    bool busy() const { return m_busy; } // a compile is running


    // {"visible", "caption", "controls": {NAME: {"text", "checked", "enabled",
    // "visible"}}}: "text" for labels, buttons and Text1, "checked" (0 or 1)
    // for check boxes, Dir1 as {"path": FOLDER, "enabled", "visible"},
    // "value" and "maximum" for ProgressBar1.
    QJsonObject toJson() const;

    // Changes made by Compiler; each emits changed().
    void reset(); // the controls as the dialog loads them
    void setLoaded(bool loaded);
    void setVisible(bool visible);
    void setText(const QString &name, const QString &text);
    void setChecked(const QString &name, bool checked);
    void setProgress(int value, int maximum);
    // While busy only Cancel (Command5) is enabled.
    void setBusy(bool busy);

Q_SIGNALS:
    void changed();

private:
    QString m_caption;
    bool m_loaded = false;
    bool m_visible = false;
    bool m_busy = false;
    QMap<QString, CompileControl> m_controls;
};

} // namespace fc
