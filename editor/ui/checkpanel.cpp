#include "editor/ui/checkpanel.h"

#include "editor/editor.h"
#include "editor/working_copy.h"

#include <QDir>
#include <QHash>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryFile>
#include <QTimer>
#include <QVBoxLayout>

namespace fc {

namespace {
constexpr int kPageRole = Qt::UserRole;

QString statesText(qint64 states)
{
    return states == 1 ? CheckPanel::tr("1 state") : CheckPanel::tr("%1 states").arg(states);
}

// A finding's kind as a heading an author reads.
QString kindHeading(const QString &kind)
{
    static const QHash<QString, const char *> headings = {
        {QStringLiteral("broken-destination"), QT_TRANSLATE_NOOP("CheckPanel", "Broken destination")},
        {QStringLiteral("unreachable-page"), QT_TRANSLATE_NOOP("CheckPanel", "Unreachable page")},
        {QStringLiteral("never-offered"), QT_TRANSLATE_NOOP("CheckPanel", "Choice never offered")},
        {QStringLiteral("soft-lock"), QT_TRANSLATE_NOOP("CheckPanel", "Player stuck")},
        {QStringLiteral("no-way-out"), QT_TRANSLATE_NOOP("CheckPanel", "Battle with no way out")},
        {QStringLiteral("battle-never-opened"), QT_TRANSLATE_NOOP("CheckPanel", "Battle never opened")},
        {QStringLiteral("item-never-required"), QT_TRANSLATE_NOOP("CheckPanel", "Key item never required")},
        {QStringLiteral("item-never-added"), QT_TRANSLATE_NOOP("CheckPanel", "Key item never given")},
        {QStringLiteral("missing-media"), QT_TRANSLATE_NOOP("CheckPanel", "Missing media file")},
        {QStringLiteral("suspicious-value"), QT_TRANSLATE_NOOP("CheckPanel", "Suspicious value")},
    };
    const char *heading = headings.value(kind);
    return heading ? CheckPanel::tr(heading) : kind;
}
} // namespace

CheckPanel::CheckPanel(Editor &editor, QWidget *parent)
    : QDockWidget(tr("Check Quest"), parent)
    , m_editor(editor)
{
    setObjectName(QStringLiteral("CheckPanel"));
    auto *body = new QWidget(this);
    auto *layout = new QVBoxLayout(body);
    m_status = new QLabel(tr("Not checked yet."), body);
    m_status->setObjectName(QStringLiteral("CheckStatus"));
    m_status->setWordWrap(true);
    m_status->setAccessibleName(tr("Check result"));
    m_list = new QListWidget(body);
    m_list->setObjectName(QStringLiteral("CheckFindings"));
    m_list->setAccessibleName(tr("Findings"));
    m_list->setWordWrap(true);
    m_list->setAlternatingRowColors(true);
    m_list->setSpacing(2);
    m_list->setToolTip(tr("Double-click a finding or press Enter to select its page"));
    layout->addWidget(m_status);
    layout->addWidget(m_list, 1);
    setWidget(body);
    connect(m_list, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) { activate(m_list->row(item)); });
    m_delay = new QTimer(this);
    m_delay->setSingleShot(true);
    m_delay->setInterval(kDelayMs);
    connect(m_delay, &QTimer::timeout, this, &CheckPanel::startCheck);
    connect(&m_runner, &check::CheckRunner::finished, this,
            [this](const QString &file, const check::CheckReport &report) {
                if (file == m_latest)
                    showReport(report);
            });
}

void CheckPanel::checkQuest()
{
    show();
    raise();
    m_delay->stop();
    startCheck();
}

void CheckPanel::scheduleCheck()
{
    m_delay->start();
}

bool CheckPanel::scheduled() const
{
    return m_delay->isActive();
}

void CheckPanel::clear()
{
    m_delay->stop();
    m_latest.clear(); // a check under way reports into nothing
    m_list->clear();
    m_report = {};
    m_status->setText(tr("Not checked yet."));
}

void CheckPanel::startCheck()
{
    WorkingCopy &wc = m_editor.workingCopy();
    QTemporaryFile copy(QFileInfo(wc.path()).absoluteDir().filePath(QStringLiteral("tmpquest-check-XXXXXX.ini")));
    copy.setAutoRemove(false);
    QString error;
    if (!copy.open()) {
        m_status->setText(tr("The quest cannot be checked: %1").arg(copy.errorString()));
        return;
    }
    const QString path = copy.fileName();
    copy.close();
    if (!wc.copyTo(path, &error)) {
        QFile::remove(path);
        m_status->setText(tr("The quest cannot be checked: %1").arg(error));
        return;
    }
    m_status->setText(tr("Checking..."));
    // Media are looked for beside the quest the author loaded or saved, as
    // the packaged game will look for them, not beside this copy.
    check::CheckOptions options;
    options.mediaBeside = m_editor.questFile();
    m_latest = path;
    ++m_started;
    m_runner.start(path, true, options);
}

void CheckPanel::showReport(const check::CheckReport &report)
{
    m_report = report;
    m_list->clear();
    if (!report.error.isEmpty()) {
        m_status->setText(tr("The quest cannot be checked: %1").arg(report.error));
    } else if (report.findings.isEmpty()) {
        m_status->setText(tr("Nothing needs fixing (%1 explored).").arg(statesText(report.states)));
    } else {
        m_status->setText((report.findings.size() == 1 ? tr("1 finding") : tr("%1 findings").arg(report.findings.size()))
                          + tr("; %1 explored. Press Enter on a finding to select its page.").arg(statesText(report.states)));
        for (const check::Finding &f : report.findings) {
            QString text = f.page.isEmpty() ? QString() : tr("Page %1: ").arg(f.page);
            text += f.message;
            auto *item = new QListWidgetItem(QStringLiteral("%1\n%2").arg(kindHeading(f.kind), text), m_list);
            item->setData(kPageRole, f.page);
            QString tip = text;
            if (!f.steps.isEmpty())
                tip += QLatin1Char('\n') + tr("Steps from the start: %1").arg(f.steps.brief());
            item->setToolTip(tip);
        }
        m_list->setCurrentRow(0);
    }
    Q_EMIT checked();
}

void CheckPanel::activate(int row)
{
    QListWidgetItem *item = m_list->item(row);
    if (!item)
        return;
    const QString page = item->data(kPageRole).toString();
    if (!page.isEmpty())
        m_editor.selectEntry(page);
}

} // namespace fc
