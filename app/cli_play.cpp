// fablecraft-cli play: the game screen's rules driven from the command line,
// scripted by steps or played interactively in a terminal.
#include "app/cli_commands.h"
#include "app/cli_play.h"

#include "engine/game.h"
#include "engine/recording_ports.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace fc::cli {

namespace {

int usage(const QString &why = {})
{
    return usageError("play", why);
}

std::optional<Options> parseOptions(const QStringList &args, QString *error)
{
    Options o;
    int i = parseCommonOptions(args, true, o, error);
    if (i < 0)
        return std::nullopt;
    if (i >= args.size()) {
        *error = QStringLiteral("QUEST (or -) is missing");
        return std::nullopt;
    }
    o.quest = args[i++];
    o.steps = args.mid(i);
    return o;
}

} // namespace

int parseCommonOptions(const QStringList &args, bool takesSeed, Options &o, QString *error)
{
    o.programDir = QCoreApplication::applicationDirPath();
    int i = 0;
    for (; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--json")) {
            o.json = true;
        } else if (a == QLatin1String("--program-dir") || a == QLatin1String("--answer")
                   || (takesSeed && a == QLatin1String("--seed"))) {
            if (i + 1 >= args.size()) {
                *error = a + QStringLiteral(" needs a value");
                return -1;
            }
            const QString v = args[++i];
            if (a == QLatin1String("--program-dir")) {
                o.programDir = QFileInfo(v).absoluteFilePath();
            } else if (a == QLatin1String("--answer")) {
                if (v != QLatin1String("yes") && v != QLatin1String("no")) {
                    *error = QStringLiteral("--answer takes yes or no");
                    return -1;
                }
                o.answer = v == QLatin1String("yes") ? Answer::Yes : Answer::No;
            } else {
                bool ok = false;
                o.seed = v.toUInt(&ok);
                if (!ok) {
                    *error = QStringLiteral("--seed takes a whole number");
                    return -1;
                }
                o.seeded = true;
            }
        } else if (a.startsWith(QLatin1String("--"))) {
            *error = QStringLiteral("unknown option ") + a;
            return -1;
        } else {
            break;
        }
    }
    while (o.programDir.size() > 1 && o.programDir.endsWith(QLatin1Char('/')))
        o.programDir.chop(1);
    return i;
}

Session::Session(const Options &o)
{
    m_ports.dialogs.defaultAnswer = o.answer;
    m_game = std::make_unique<Game>(m_screen, m_ports.ports(), o.programDir);
    if (o.seeded)
        m_game->setSeed(o.seed);
    QObject::connect(m_game.get(), &Game::quitRequested, [this] { m_ended = true; });
}

int Session::choose(const QString &number, bool full)
{
    bool ok = false;
    const int n = number.toInt(&ok);
    if (!ok || n < 1 || n > 4)
        return usage(QStringLiteral("a choice is 1, 2, 3 or 4"));
    if (!m_game->pages().selectOption(n - 1)) {
        QTextStream(stderr) << "choice " << n << " is not offered\n";
        return kExitUnavailable;
    }
    if (full)
        m_game->pages().pressPlayTurn();
    else
        m_game->pages().clickChoose();
    return 0;
}

int Session::step(const QString &s)
{
    const int colon = s.indexOf(QLatin1Char(':'));
    const QString name = colon < 0 ? s : s.left(colon);
    const QString arg = colon < 0 ? QString() : s.mid(colon + 1);
    const bool menus = m_screen.view().menusVisible();
    const bool choice = (colon < 0 && s.size() == 1 && s[0] >= QLatin1Char('1') && s[0] <= QLatin1Char('4'))
                        || s == QLatin1String("turn") || (name == QLatin1String("choose") && colon >= 0);
    if (choice && !m_screen.choicesAvailable())
        return stepUnavailable(s); // the fight must end first

    if (colon < 0 && s.size() == 1 && s[0] >= QLatin1Char('1') && s[0] <= QLatin1Char('4'))
        return choose(s, true);
    if (s == QLatin1String("turn")) {
        m_game->pages().pressPlayTurn();
    } else if (name == QLatin1String("choose") && colon >= 0) {
        return choose(arg, false);
    } else if (s == QLatin1String("new-game")) {
        if (!menus)
            return stepUnavailable(s);
        m_game->questStart().menuNewGame();
    } else if (s == QLatin1String("book")) {
        if (!m_screen.view().bookVisible())
            return stepUnavailable(s);
        m_game->questStart().clickBook();
    } else if (name == QLatin1String("load-quest") && colon >= 0) {
        if (!menus)
            return stepUnavailable(s);
        withFile(arg, [this] { m_game->questStart().menuLoadQuest(); });
    } else if (s == QLatin1String("attack") || s == QLatin1String("escape")) {
        if (!m_screen.view().battleBoxVisible() || (s == QLatin1String("escape") && !m_screen.battle().escapeEnabled()))
            return stepUnavailable(s);
        if (s == QLatin1String("attack"))
            m_game->fight().clickAttack();
        else
            m_game->fight().clickEscape();
    } else if (name == QLatin1String("save") && colon >= 0) {
        if (!menus)
            return stepUnavailable(s);
        withFile(arg, [this] { m_game->savedGames().menuSave(); });
    } else if (name == QLatin1String("load") && colon >= 0) {
        if (!menus)
            return stepUnavailable(s);
        withFile(arg, [this] { m_game->savedGames().menuLoad(); });
    } else if (name == QLatin1String("load-without-items") && colon >= 0) {
        withFile(arg, [this] { m_game->savedGames().clickLoadGame(); });
    } else if (name == QLatin1String("seed") && colon >= 0) {
        bool ok = false;
        const quint32 seed = arg.toUInt(&ok);
        if (!ok)
            return usage(QStringLiteral("seed:N takes a whole number"));
        m_game->setSeed(seed);
    } else if (s == QLatin1String("close")) {
        m_game->shell().closeRequest();
    } else {
        return usage(QStringLiteral("unknown step ") + s);
    }
    return 0;
}

QByteArray Session::output(bool json) const
{
    if (!json)
        return m_screen.state().log().toUtf8();
    return QJsonDocument(this->json()).toJson(QJsonDocument::Indented);
}

QJsonObject Session::json() const
{
    QJsonObject o;
    o[QStringLiteral("log")] = m_screen.state().log();
    o[QStringLiteral("quest")] = m_screen.state().questFile();
    o[QStringLiteral("page")] = m_screen.state().page();
    o[QStringLiteral("score")] = m_screen.state().score();
    o[QStringLiteral("room")] = m_screen.state().room();
    o[QStringLiteral("title")] = m_screen.view().title();
    QJsonArray options;
    for (int i = 0; i < 4; ++i)
        options.append(QJsonObject{{QStringLiteral("caption"), m_screen.state().option(i).caption},
                                   {QStringLiteral("visible"), m_screen.state().option(i).visible()}});
    o[QStringLiteral("options")] = options;
    o[QStringLiteral("inventory")] = QJsonArray::fromStringList(m_screen.state().inventory());
    QJsonArray messages;
    for (const ShownMessage &m : m_ports.dialogs.shown)
        messages.append(QJsonObject{{QStringLiteral("title"), m.title}, {QStringLiteral("text"), m.text}});
    o[QStringLiteral("messages")] = messages;
    o[QStringLiteral("media")] = QJsonArray::fromStringList(m_ports.media);
    o[QStringLiteral("ending")] = m_screen.isEnding();
    const Bar &enemy = m_screen.battle().enemyBar();
    o[QStringLiteral("battle")] = QJsonObject{
        {QStringLiteral("open"), m_screen.view().battleBoxVisible()},
        {QStringLiteral("text"), m_screen.battle().text()},
        {QStringLiteral("enemy_label"), m_screen.battle().enemyLabel()},
        {QStringLiteral("enemy_hp_text"), m_screen.battle().enemyHpText()},
        {QStringLiteral("enemy_hp_max"), enemy.maximum},
        {QStringLiteral("enemy_hp_value"), enemy.value},
        {QStringLiteral("player_hp_value"), m_screen.battle().playerBar().value},
        {QStringLiteral("escape_enabled"), m_screen.battle().escapeEnabled()},
    };
    return o;
}

namespace {

void writeOut(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

// Interactive play in a terminal: prints what is new in the log, numbers the
// choices on offer and reads the player's answer. Plain lines only, so a
// screen reader can follow.
int playInteractively(Session &session)
{
    QTextStream in(stdin);
    qsizetype shown = 0;
    qsizetype battleShown = session.screen().battle().text().size();
    qsizetype messagesShown = 0;
    for (;;) {
        // What happened since the last prompt: message boxes and the fight's
        // texts first, as they came up during the step, then the story.
        QString news;
        const QList<ShownMessage> &messages = session.messages();
        for (; messagesShown < messages.size(); ++messagesShown) {
            const ShownMessage &m = messages[messagesShown];
            news += QStringLiteral("\n[%1] %2\n").arg(m.title.isEmpty() ? QStringLiteral("Message") : m.title, m.text);
        }
        const QString &battle = session.screen().battle().text();
        if (battle.size() > battleShown) {
            QString added = battle.mid(battleShown);
            if (added.startsWith(QLatin1String("\r\n")))
                added.remove(0, 2);
            news += QStringLiteral("\n") + added + QStringLiteral("\n");
        }
        battleShown = battle.size();
        const QString &log = session.screen().state().log();
        news += log.mid(shown);
        shown = log.size();
        news.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        writeOut(news.toUtf8());
        if (session.ended())
            return 0;
        QString menu = QStringLiteral("\n\n");
        bool any = false;
        for (int i = 0; i < 4; ++i) {
            const OptionButton &o = session.screen().state().option(i);
            if (o.visible()) {
                menu += QStringLiteral("  %1. %2\n").arg(i + 1).arg(o.caption);
                any = true;
            }
        }
        if (session.screen().view().battleBoxVisible())
            menu += QStringLiteral("  Battle: %1  (attack%2)\n")
                        .arg(session.screen().battle().enemyLabel() + QLatin1Char(' ') + session.screen().battle().enemyHpText(),
                             session.screen().battle().escapeEnabled() ? QStringLiteral(", escape") : QString());
        if (session.screen().isEnding())
            menu += QStringLiteral("  The story ends here. Type: load FILE, or quit\n");
        else if (!any && !session.screen().view().battleBoxVisible())
            menu += QStringLiteral("  No choices are offered here.\n");
        menu += QStringLiteral("Score %1. Type a choice number, or: save FILE, load FILE, items, quit\n> ")
                    .arg(session.screen().state().score());
        writeOut(menu.toUtf8());
        const QString line = in.readLine();
        if (line.isNull())
            return 0;
        const QString answer = line.trimmed();
        if (answer.isEmpty())
            continue;
        if (answer == QLatin1String("quit") || answer == QLatin1String("q"))
            return 0;
        if (answer == QLatin1String("items")) {
            const QStringList &items = session.screen().state().inventory();
            writeOut((QStringLiteral("Your items: ") + (items.isEmpty() ? QStringLiteral("none") : items.join(QStringLiteral(", ")))
                      + QLatin1Char('\n'))
                         .toUtf8());
            continue;
        }
        QString stepText = answer;
        if (answer.startsWith(QLatin1String("save ")))
            stepText = QStringLiteral("save:") + answer.mid(5).trimmed();
        else if (answer.startsWith(QLatin1String("load ")))
            stepText = QStringLiteral("load:") + answer.mid(5).trimmed();
        if (session.step(stepText) != 0)
            writeOut("That is not possible here.\n");
    }
}

} // namespace

int runPlay(const QStringList &args)
{
    QString error;
    const auto options = parseOptions(args, &error);
    if (!options)
        return usage(error);

    Session session(*options);
    session.game().questStart().startUp();
    if (options->quest != QLatin1String("-")) {
        session.withFile(options->quest, [&] { session.game().questStart().menuLoadQuest(); });
    }

    if (options->steps.isEmpty() && !options->json && isatty(STDIN_FILENO) && isatty(STDOUT_FILENO))
        return playInteractively(session);

    for (const QString &s : options->steps) {
        if (session.ended())
            break;
        const int status = session.step(s);
        if (status == kExitUsage)
            return status;
        if (status != 0) {
            writeOut(session.output(options->json));
            return status;
        }
    }
    writeOut(session.output(options->json));
    return 0;
}

} // namespace fc::cli
