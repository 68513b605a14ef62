#include "compiler/ui/compilewiring.h"

#include "compiler/ui/frmcompile.h"
#include "editor/editor.h"

#include <QWidget>

namespace fc {

namespace {

class CompileHolder : public QObject
{
public:
    CompileHolder(QWidget &window, const QString &programDir)
        : QObject(&window)
        , m_window(window)
        , m_programDir(programDir)
    {
        setObjectName(QStringLiteral("compileWindow"));
    }

    CompileWindow &dialog()
    {
        if (!m_dialog) // a window of its own, above whichever window asked for it
            m_dialog = std::make_unique<CompileWindow>(m_programDir, m_window.windowIcon(), nullptr);
        return *m_dialog;
    }

private:
    QWidget &m_window;
    QString m_programDir;
    std::unique_ptr<CompileWindow> m_dialog;
};

CompileHolder *holderOf(QWidget &window)
{
    return window.findChild<CompileHolder *>(QStringLiteral("compileWindow"), Qt::FindDirectChildrenOnly);
}

} // namespace

void wireCompiler(Editor &editor, QWidget &window, const QString &programDir)
{
    auto *holder = new CompileHolder(window, programDir);
    QObject::connect(&editor, &Editor::compileRequested, holder,
                     [holder](const QString &questFile) { holder->dialog().open(questFile); });
    QObject::connect(&editor, &Editor::webExportRequested, holder,
                     [holder](const QString &questFile) { holder->dialog().openForWeb(questFile); });
}

CompileWindow *compileWindowOf(QWidget &window)
{
    CompileHolder *holder = holderOf(window);
    return holder ? &holder->dialog() : nullptr;
}

} // namespace fc
