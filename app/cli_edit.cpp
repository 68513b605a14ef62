// fablecraft-cli edit: one program run of the quest editor, driven by steps,
// over the same core as the forms.
#include "app/cli_commands.h"
#include "app/cli_play.h"

#include "compiler/compiler.h"
#include "editor/editor.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QUndoStack>

#include <cstdio>

namespace fc::cli {

namespace {

int usage(const QString &why = {})
{
    return usageError("edit", why);
}

struct EditOptions : Options
{
    // The answer to "Save changes to NAME?".
    SaveAnswer saveAnswer = SaveAnswer::Discard;
};

std::optional<EditOptions> parseOptions(QStringList args, QString *error)
{
    EditOptions o;
    // --save-answer is edit's own; the others are shared with play.
    for (int i = 0; i < args.size() && args[i].startsWith(QLatin1String("--"));) {
        if (args[i] == QLatin1String("--save-answer")) {
            const QString v = i + 1 < args.size() ? args[i + 1] : QString();
            if (v == QLatin1String("save"))
                o.saveAnswer = SaveAnswer::Save;
            else if (v == QLatin1String("discard"))
                o.saveAnswer = SaveAnswer::Discard;
            else if (v == QLatin1String("cancel"))
                o.saveAnswer = SaveAnswer::Cancel;
            else {
                *error = QStringLiteral("--save-answer takes save, discard or cancel");
                return std::nullopt;
            }
            args.remove(i, 2);
            continue;
        }
        i += (args[i] == QLatin1String("--program-dir") || args[i] == QLatin1String("--answer")) ? 2 : 1;
    }
    const int i = parseCommonOptions(args, false, o, error);
    if (i < 0)
        return std::nullopt;
    o.steps = args.mid(i);
    return o;
}

// Preview requests of the editor, as "midi-preview:PATH", "midi-stop",
// "sound:PATH", "sound-stop".
class PreviewMusic : public MusicPlayer
{
public:
    explicit PreviewMusic(MediaLog &log) : m_log(log) {}
    void stop() override { m_log << QStringLiteral("midi-stop"); }
    void start(const QString &file) override { m_log << QStringLiteral("midi-preview:") + file; }

private:
    MediaLog &m_log;
};

class PreviewSound : public MediaPlayer
{
public:
    explicit PreviewSound(MediaLog &log) : m_log(log) {}
    void setFileName(const QString &path) override { m_file = path; }
    QString fileName() const override { return m_file; }
    void play() override { m_log << QStringLiteral("sound:") + m_file; }
    void stop() override { m_log << QStringLiteral("sound-stop"); }
    bool isStopped() const override { return true; }

private:
    MediaLog &m_log;
    QString m_file;
};

class EditSession
{
public:
    explicit EditSession(const EditOptions &o)
        : m_play(playOptions(o))
        , m_pictures(m_pictureLog)
        , m_music(m_media)
        , m_sound(m_media)
        , m_wc(QStringLiteral("tmpquest.ini"))
    {
        m_dialogs.defaultAnswer = o.answer;
        m_questions.answer = o.saveAnswer;
        m_questions.recoverAnswer = o.answer == Answer::Yes;
        // No movie, launcher or clock: the editor uses none of them.
        const Ports ports{
            .dialogs = &m_dialogs, .fileDialog = &m_files, .pictures = &m_pictures, .sound = &m_sound, .music = &m_music};
        m_editor = std::make_unique<Editor>(m_state, m_wc, ports, o.programDir);
        m_editor->setSaveQuestions(&m_questions);
        m_editor->setGame(&m_play.game());
        QObject::connect(m_editor.get(), &Editor::gameScreenShowRequested, [this] { m_gameShown = true; });
        // "&Compile" opens FrmCompile on the quest file; what it opens or
        // starts is listed under "launched".
        m_compiler = std::make_unique<Compiler>(m_compileForm, &m_dialogs, &m_launcher, o.programDir);
        QObject::connect(m_editor.get(), &Editor::compileRequested, [this](const QString &f) {
            m_compiled << f;
            m_compiler->open(f);
        });
        m_play.game().questStart().startUp();
        m_started = m_editor->show();
    }

    // False when another editor holds the working copy.
    bool started() const { return m_started; }
    // The end of the run: quitting the program.
    void quit()
    {
        if (m_started)
            m_editor->quitRequest();
    }

    // Runs one step; 0, or the exit status that ends the run.
    int step(const QString &s);
    QByteArray output(bool json);

private:
    static Options playOptions(const Options &o)
    {
        Options p;
        p.programDir = o.programDir;
        p.answer = o.answer;
        return p;
    }
    // The file dialog of this step returns path ("" = cancelled).
    void feedDialog(const QString &path)
    {
        m_files.names.push_back(path.isEmpty() ? path : QFileInfo(path).absoluteFilePath());
    }
    bool isPicker(const QString &form, const QString &control) const;
    QJsonObject formJson(const FormState &form) const;

    Session m_play;
    EditorState m_state;
    RecordingDialogs m_dialogs;
    ScriptedSaveQuestions m_questions;
    bool m_started = false;
    RecordingFileDialog m_files;
    MediaLog m_pictureLog;
    RecordingPictureLoader m_pictures;
    MediaLog m_media;
    PreviewMusic m_music;
    PreviewSound m_sound;
    WorkingCopy m_wc;
    std::unique_ptr<Editor> m_editor;
    bool m_gameShown = false;
    // The results of the last find step, and what each replace step did.
    QList<story::FindMatch> m_found;
    bool m_findDone = false;
    QList<story::ReplaceReport> m_replaced;
    QStringList m_compiled;
    RecordingLauncher m_launcher;
    CompileForm m_compileForm;
    std::unique_ptr<Compiler> m_compiler;
};

bool EditSession::isPicker(const QString &form, const QString &control) const
{
    if (form == QLatin1String(kCreateQuest))
        return control == QLatin1String("Command3") || control == QLatin1String("Command6")
               || control == QLatin1String("Command9") || control == QLatin1String("Command10");
    if (form == QLatin1String(kFrmBattle))
        return control == QLatin1String("Command6") || control == QLatin1String("Command1");
    return form == QLatin1String(kFrmCharCreate) && control == QLatin1String("Command1");
}

namespace {

// The options of a find or replace step named name: step itself, or
// step/FLAGS with c (match case), w (whole words), r (regular expression);
// nothing for another step or an unknown flag.
std::optional<story::FindOptions> findOptions(const QString &name, QLatin1String step)
{
    if (!name.startsWith(step) || (name.size() > step.size() && name[step.size()] != QLatin1Char('/')))
        return std::nullopt;
    story::FindOptions o;
    for (QChar f : QStringView(name).mid(step.size() + 1)) {
        if (f == QLatin1Char('c'))
            o.caseSensitive = true;
        else if (f == QLatin1Char('w'))
            o.wholeWord = true;
        else if (f == QLatin1Char('r'))
            o.regularExpression = true;
        else
            return std::nullopt;
    }
    return o;
}

} // namespace

int EditSession::step(const QString &s)
{
    const int colon = int(s.indexOf(QLatin1Char(':')));
    const QString name = colon < 0 ? s : s.left(colon);
    const QString arg = colon < 0 ? QString() : s.mid(colon + 1);
    // CONTROL[:TEXT] with CONTROL optionally qualified by its form.
    auto control = [&](QString *form, QString *ctl, QString *text) {
        const int c = int(arg.indexOf(QLatin1Char(':')));
        QString qualified = c < 0 ? arg : arg.left(c);
        if (text)
            *text = c < 0 ? QString() : arg.mid(c + 1);
        const int dot = int(qualified.indexOf(QLatin1Char('.')));
        *form = dot < 0 ? QString::fromLatin1(kCreateQuest) : qualified.left(dot);
        *ctl = dot < 0 ? qualified : qualified.mid(dot + 1);
        return c >= 0;
    };

    bool done = false;
    QString form, ctl, text;
    // Each step's file dialog returns only that step's PATH: whatever the
    // step did not use is gone afterwards.
    struct ClearDialog
    {
        RecordingFileDialog &files;
        ~ClearDialog() { files.names.clear(); }
    } clear{m_files};

    if (colon < 0 && (s == QLatin1String("new") || s == QLatin1String("compile") || s == QLatin1String("exit"))) {
        done = m_editor->menu(s == QLatin1String("new") ? QStringLiteral("mnunew")
                              : s == QLatin1String("compile") ? QStringLiteral("mnucompile")
                                                               : QStringLiteral("mnuexit"));
    } else if (s == QLatin1String("close")) {
        done = m_state.createquest().visible();
        if (done)
            m_editor->closeRequest();
    } else if ((name == QLatin1String("load") || name == QLatin1String("save")) && colon >= 0) {
        feedDialog(arg);
        done = m_editor->menu(name == QLatin1String("load") ? QStringLiteral("mnuload") : QStringLiteral("mnusaveas"));
    } else if (s == QLatin1String("save")) {
        done = m_editor->available(QString::fromLatin1(kCreateQuest), QStringLiteral("mnusave")) && m_editor->save();
    } else if (s == QLatin1String("undo") || s == QLatin1String("redo")) {
        done = m_editor->menu(s == QLatin1String("undo") ? QStringLiteral("mnuundo") : QStringLiteral("mnuredo"));
    } else if (name == QLatin1String("select") && colon >= 0) {
        done = m_editor->selectEntry(arg);
    } else if ((name == QLatin1String("type") || name == QLatin1String("set")) && colon >= 0) {
        if (!control(&form, &ctl, &text))
            return usage(QStringLiteral("%1 takes CONTROL:TEXT").arg(name));
        if (form == QLatin1String("FrmCompile"))
            done = m_compiler->setControlText(
                ctl, name == QLatin1String("type") ? m_compileForm.control(ctl).text + text : text);
        else
            done = name == QLatin1String("type") ? m_editor->typeText(form, ctl, text) : m_editor->setText(form, ctl, text);
    } else if (name == QLatin1String("click") && colon >= 0) {
        control(&form, &ctl, nullptr);
        done = form == QLatin1String("FrmCompile") ? m_compiler->clickControl(ctl) : m_editor->click(form, ctl);
    } else if (name == QLatin1String("pick") && colon >= 0) {
        if (!control(&form, &ctl, &text))
            return usage(QStringLiteral("pick takes CONTROL:PATH"));
        if (isPicker(form, ctl) && m_editor->available(form, ctl)) {
            feedDialog(text);
            done = m_editor->click(form, ctl);
        }
    } else if (name == QLatin1String("hover") && colon >= 0) {
        control(&form, &ctl, nullptr);
        done = m_editor->hover(form, ctl);
    } else if (const auto options = findOptions(name, QLatin1String("find")); options && colon >= 0) {
        const story::Finder finder(arg, *options);
        if (!finder.isValid())
            return usage(QStringLiteral("find takes TEXT (%1)").arg(finder.error()));
        m_found = story::findInQuest(m_editor->document(), finder);
        m_findDone = true;
        done = true;
    } else if (const auto options = findOptions(name, QLatin1String("replace")); options && colon >= 0) {
        const int c = int(arg.indexOf(QLatin1Char(':')));
        if (c <= 0)
            return usage(QStringLiteral("replace takes FIND:WITH"));
        const story::Finder finder(arg.left(c), *options);
        if (!finder.isValid())
            return usage(QStringLiteral("replace takes FIND:WITH (%1)").arg(finder.error()));
        m_replaced << m_editor->replaceAll(finder, arg.mid(c + 1));
        done = true;
    } else if (name == QLatin1String("goto") && colon >= 0) {
        const QStringList candidates = story::goToCandidates(m_editor->document(), arg);
        done = !candidates.isEmpty() && m_editor->openPage(candidates.first());
    } else if (name == QLatin1String("follow") && colon >= 0) {
        control(&form, &ctl, nullptr);
        done = m_editor->follow(form, ctl);
    } else if (name == QLatin1String("play") && colon >= 0) {
        if (!m_gameShown)
            return stepUnavailable(s);
        return m_play.step(arg);
    } else {
        return usage(QStringLiteral("unknown step ") + s);
    }
    return done ? 0 : stepUnavailable(s);
}

QJsonObject EditSession::formJson(const FormState &form) const
{
    QJsonObject controls;
    for (const Control &c : form.controls()) {
        QJsonObject o;
        switch (c.kind) {
        case ControlKind::PageList: {
            const PageList &p = form.pageList();
            o[QStringLiteral("entries")] = QJsonArray::fromStringList(p.entries);
            o[QStringLiteral("selected")] = p.selected >= 0 ? QJsonValue(p.selectedText()) : QJsonValue();
            o[QStringLiteral("enabled")] = p.enabled;
            controls[c.name] = o;
            continue;
        }
        case ControlKind::Picture: {
            const Picture &p = form.picture();
            o[QStringLiteral("picture")] = p.kind == Picture::File          ? p.path
                                           : p.kind == Picture::Placeholder ? QStringLiteral("placeholder")
                                           : p.kind == Picture::Icon        ? QStringLiteral("icon")
                                                                            : QString();
            controls[c.name] = o;
            continue;
        }
        case ControlKind::TextBox:
        case ControlKind::Label:
            o[QStringLiteral("text")] = c.text;
            break;
        case ControlKind::CheckBox:
            o[QStringLiteral("checked")] = c.checked;
            break;
        default:
            break;
        }
        o[QStringLiteral("enabled")] = c.enabled;
        o[QStringLiteral("visible")] = c.visible;
        controls[c.name] = o;
    }
    return QJsonObject{{QStringLiteral("visible"), form.visible()},
                       {QStringLiteral("caption"), form.caption()},
                       {QStringLiteral("controls"), controls}};
}

QByteArray EditSession::output(bool json)
{
    (void)m_wc.flush(); // a failure is in the banner
    const QString banner = m_editor->banner();
    if (json) {
        QJsonObject forms;
        for (const FormState &f : m_state.forms())
            forms[f.name()] = formJson(f);
        forms[QStringLiteral("FrmCompile")] = m_compileForm.toJson();
        QJsonArray messages;
        for (const ShownMessage &m : m_dialogs.shown)
            messages.append(QJsonObject{{QStringLiteral("title"), m.title}, {QStringLiteral("text"), m.text}});
        QJsonArray found;
        for (const story::FindMatch &m : m_found)
            found.append(QJsonObject{{QStringLiteral("page"), m.page.isEmpty() ? QJsonValue() : QJsonValue(m.page)},
                                     {QStringLiteral("field"), m.key},
                                     {QStringLiteral("line"), m.line},
                                     {QStringLiteral("start"), m.start},
                                     {QStringLiteral("length"), m.length}});
        QJsonArray replaced;
        for (const story::ReplaceReport &r : m_replaced)
            replaced.append(QJsonObject{{QStringLiteral("replacements"), r.replacements},
                                        {QStringLiteral("pages"), QJsonArray::fromStringList(r.pages)},
                                        {QStringLiteral("broken_destinations"),
                                         QJsonArray::fromStringList(r.brokenDestinations)},
                                        {QStringLiteral("summary"), r.summary()}});
        const QJsonObject o{
            {QStringLiteral("forms"), forms},
            {QStringLiteral("find"), m_findDone ? QJsonValue(found) : QJsonValue()},
            {QStringLiteral("replace"), replaced},
            {QStringLiteral("game"), m_gameShown ? QJsonValue(m_play.json()) : QJsonValue()},
            {QStringLiteral("messages"), messages},
            {QStringLiteral("media"), QJsonArray::fromStringList(m_media)},
            {QStringLiteral("working_copy"), m_wc.path()},
            {QStringLiteral("launched"), QJsonArray::fromStringList(m_launcher.launched)},
            {QStringLiteral("undo"),
             QJsonObject{{QStringLiteral("undo_text"), m_editor->undoStack().undoText()},
                         {QStringLiteral("redo_text"), m_editor->undoStack().redoText()},
                         {QStringLiteral("can_undo"), m_editor->undoStack().canUndo()},
                         {QStringLiteral("can_redo"), m_editor->undoStack().canRedo()},
                         {QStringLiteral("clean"), m_editor->undoStack().isClean()}}},
            {QStringLiteral("document"),
             QJsonObject{{QStringLiteral("file"), m_state.filepath().isEmpty() ? QJsonValue() : QJsonValue(m_editor->questFile())},
                         {QStringLiteral("modified"), m_editor->modified()},
                         {QStringLiteral("banner"), banner.isEmpty() ? QJsonValue() : QJsonValue(banner)}}},
        };
        return QJsonDocument(o).toJson(QJsonDocument::Indented);
    }
    const FormState &cq = m_state.createquest();
    const PageList &pages = cq.pageList();
    QString out;
    QTextStream t(&out);
    t << cq.caption() << (cq.visible() ? " (shown)" : " (hidden)") << '\n';
    t << "Quest file: " << (m_state.filepath().isEmpty() ? QStringLiteral("(not saved)") : m_state.filepath()) << '\n';
    t << "Pages: " << (pages.entries.isEmpty() ? QStringLiteral("(none)") : pages.entries.join(QStringLiteral(", ")))
      << '\n';
    t << "Selected page: " << (pages.selected >= 0 ? pages.selectedText() : QStringLiteral("(none)")) << '\n';
    t << "Help: " << m_state.info() << '\n';
    if (!banner.isEmpty())
        t << banner << '\n';
    if (m_editor->undoStack().canUndo())
        t << "Undo: " << m_editor->undoStack().undoText() << '\n';
    if (m_editor->undoStack().canRedo())
        t << "Redo: " << m_editor->undoStack().redoText() << '\n';
    for (const FormState *dialog : {&m_state.battle(), &m_state.character()})
        if (dialog->visible())
            t << dialog->caption() << " (shown)\n";
    for (const ShownMessage &m : m_dialogs.shown)
        t << "Message: " << (m.title.isEmpty() ? QString() : m.title + QStringLiteral(": ")) << m.text << '\n';
    if (m_findDone)
        t << "Found: " << m_found.size() << '\n';
    for (const story::FindMatch &m : m_found)
        t << "  " << (m.page.isEmpty() ? QStringLiteral("(story info)") : QStringLiteral("page ") + m.page) << ", "
          << m.key << ", " << m.line << '\n';
    for (const story::ReplaceReport &r : m_replaced)
        t << "Replace: " << r.summary() << '\n';
    for (const QString &m : m_media)
        t << "Media: " << m << '\n';
    for (const QString &f : m_compiled)
        t << "Compile: " << f << '\n';
    if (m_compileForm.visible())
        t << m_compileForm.caption() << " (shown): game name \"" << m_compileForm.gameName() << "\", folder "
          << m_compileForm.folder() << '\n';
    for (const QString &l : m_launcher.launched)
        t << "Launched: " << l << '\n';
    if (m_gameShown)
        t << "Game screen shown, page " << m_play.screen().state().page() << '\n';
    t << "Working copy: " << m_wc.path() << '\n';
    t.flush();
    return out.toUtf8();
}

void writeOut(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int runEdit(const QStringList &args)
{
    QString error;
    const auto options = parseOptions(args, &error);
    if (!options)
        return usage(error);
    EditSession session(*options);
    if (!session.started()) {
        // Another editor owns the working copy: nothing was touched.
        std::fputs("The quest editor is already open in another Fablecraft window.\n", stderr);
        return 1;
    }
    for (const QString &s : options->steps) {
        const int status = session.step(s);
        if (status == kExitUsage) {
            session.quit(); // a normal end all the same: nothing to recover
            return status;
        }
        if (status != 0) {
            session.quit();
            writeOut(session.output(options->json));
            return status;
        }
    }
    session.quit();
    writeOut(session.output(options->json));
    return 0;
}

} // namespace fc::cli
