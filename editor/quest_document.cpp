// The quest document: the quest's text section by section, read and changed
// with the profile store's rules on one section at a time.
#include "editor/quest_document.h"

#include "storage/cp1252.h"
#include "storage/quest_format.h"

#include <QSet>

#include <utility>

namespace fc {

using namespace quest;
using ini::FileEncoding;
using ini::IniFile;

// What changes did, in the order they were made.
class QuestDocument::Delta
{
public:
    enum Kind { Replace, Insert, Remove, Pages, WholeDoc };
    struct Step
    {
        Kind kind;
        int index = -1;
        Section before, after;         // Replace, Insert (after), Remove (before)
        QStringList pagesBefore, pagesAfter;
        std::shared_ptr<Whole> wholeBefore, wholeAfter;
    };
    QList<Step> steps;
};

namespace {

const QByteArray kUtf8Marker("\xEF\xBB\xBF");

bool isUtf8(FileEncoding e) { return e != FileEncoding::Windows1252; }

QString folded(const QString &name)
{
    // Most names are page numbers: nothing to trim or fold, no copy made.
    bool plain = !name.isEmpty() && name.front() != QLatin1Char(' ') && name.back() != QLatin1Char(' ')
                 && name.front() != QLatin1Char('\t') && name.back() != QLatin1Char('\t');
    for (qsizetype i = 0; plain && i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        plain = c < 0x80 && !(c >= u'A' && c <= u'Z');
    }
    return plain ? name : name.trimmed().toCaseFolded();
}

// The text a write stores: up to the first line break.
QString firstLine(const QString &value)
{
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar ch = value.at(i);
        if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n') || ch == QChar(0))
            return value.left(i);
    }
    return value;
}

bool endsWithBreak(const QByteArray &text)
{
    return text.isEmpty() || text.endsWith('\n') || text.endsWith('\r');
}

} // namespace

QStringList QuestPage::exits() const
{
    QStringList out;
    for (const QuestChoice &c : choices)
        if (!c.destination.trimmed().isEmpty())
            out << c.destination;
    for (const QString *p : {&fight.win, &fight.lose, &fight.escape})
        if (!p->trimmed().isEmpty())
            out << *p;
    return out;
}

QuestDocument::QuestDocument(QObject *parent) : QObject(parent) {}
QuestDocument::~QuestDocument() = default;

void QuestDocument::setBytes(const QByteArray &bytes)
{
    load(bytes, true);
    Q_EMIT reset();
}

void QuestDocument::clear()
{
    load(QByteArray(), false);
    Q_EMIT reset();
}

void QuestDocument::load(const QByteArray &bytes, bool listPages)
{
    const IniFile file = IniFile::parse(bytes);
    m_encoding = file.encoding();
    const QByteArray &text = file.text();
    const QList<IniFile::SectionSpan> spans = file.sectionSpans();
    m_prefix = spans.isEmpty() ? text : text.left(spans.first().start);
    m_sections.clear();
    m_sections.reserve(spans.size());
    for (const IniFile::SectionSpan &s : spans)
        m_sections.append(Section{s.name, text.mid(s.start, s.end - s.start)});
    m_indexValid = false;
    m_parsedIndex = -1;
    m_delta.reset();
    m_recording = 0;
    m_pages.clear();
    if (!listPages)
        return;
    // "1" up to "Number Of Pages", then every other section that is a page.
    QSet<QString> listed;
    const QString stored = value(kQuestDataSection, kNumberOfPages).trimmed();
    bool ok = !stored.isEmpty() && stored.size() <= 5;
    for (QChar ch : stored)
        ok = ok && ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
    const int count = ok ? stored.toInt() : -1;
    if (count >= 0 && count <= kMaxPages) {
        for (int i = 1; i <= count; ++i) {
            m_pages << QString::number(i);
            listed.insert(m_pages.last());
        }
    }
    for (const QString &section : sectionNames()) {
        if (m_pages.size() >= kMaxPages)
            break;
        const QString f = folded(section);
        if (section.isEmpty() || isFixedSection(section) || listed.contains(f))
            continue;
        listed.insert(f);
        m_pages << section;
    }
}

QByteArray QuestDocument::toBytes() const
{
    return bytesOf(Snapshot{m_encoding, m_prefix, m_sections});
}

std::shared_ptr<const QuestDocument::Snapshot> QuestDocument::snapshot() const
{
    return std::make_shared<const Snapshot>(Snapshot{m_encoding, m_prefix, m_sections});
}

QByteArray QuestDocument::bytesOf(const Snapshot &snap)
{
    qsizetype size = snap.prefix.size();
    for (const Section &s : snap.sections)
        size += s.text.size();
    QByteArray text;
    text.reserve(size);
    text += snap.prefix;
    for (const Section &s : snap.sections)
        text += s.text;
    if (snap.encoding == FileEncoding::Utf16Le || snap.encoding == FileEncoding::Utf16Be) {
        const IniFile marker = IniFile::parse(snap.encoding == FileEncoding::Utf16Le ? QByteArray("\xFF\xFE", 2)
                                                                                       : QByteArray("\xFE\xFF", 2));
        return marker.toFileEncoding(std::move(text));
    }
    if (snap.encoding == FileEncoding::Windows1252 && utf8::hasHighBytes(text.constData(), text.size())
        && utf8::isMostlyValid(text.constData(), text.size())) {
        // Windows-1252 text that happens to form UTF-8 would be read as UTF-8
        // and show other characters: written as UTF-8 instead, as the profile
        // store writes it.
        QByteArray out("\xEF\xBB\xBF\r\n");
        out += cp1252::decode(text).toUtf8();
        return out;
    }
    return text;
}

qsizetype QuestDocument::memoryUsage() const
{
    qsizetype bytes = m_prefix.capacity() + m_sections.capacity() * qsizetype(sizeof(Section));
    for (const Section &s : m_sections)
        bytes += s.text.capacity() + 32 + s.name.capacity() * 2 + 32;
    bytes += m_pages.capacity() * qsizetype(sizeof(QString));
    for (const QString &p : m_pages)
        bytes += p.capacity() * 2 + 32;
    if (m_indexValid)
        bytes += m_index.size() * 64;
    return bytes;
}

void QuestDocument::rebuildIndex() const
{
    m_index.clear();
    m_index.reserve(m_sections.size());
    // Backwards, so that the first of sections with one name wins.
    for (int i = int(m_sections.size()) - 1; i >= 0; --i)
        m_index.insert(folded(m_sections[i].name), i);
    m_indexValid = true;
}

void QuestDocument::sectionInserted(int at)
{
    m_parsedIndex = -1;
    if (!m_indexValid)
        return;
    for (auto it = m_index.begin(); it != m_index.end(); ++it)
        if (*it >= at)
            ++*it;
    const QString f = folded(m_sections[at].name);
    const auto it = m_index.find(f);
    if (it == m_index.end() || *it > at)
        m_index.insert(f, at);
}

void QuestDocument::sectionRemoved(int at, const QString &name)
{
    m_parsedIndex = -1;
    if (!m_indexValid)
        return;
    const QString f = folded(name);
    const bool wasFirst = m_index.value(f, -1) == at;
    for (auto it = m_index.begin(); it != m_index.end(); ++it)
        if (*it > at)
            --*it;
    if (!wasFirst)
        return;
    m_index.remove(f);
    for (int i = at; i < m_sections.size(); ++i)
        if (folded(m_sections[i].name) == f) {
            m_index.insert(f, i);
            break;
        }
}

int QuestDocument::sectionIndex(const QString &section) const
{
    if (!m_indexValid)
        rebuildIndex();
    return m_index.value(folded(section), -1);
}

QStringList QuestDocument::sectionNames() const
{
    QStringList names;
    QSet<QString> seen;
    for (const Section &s : m_sections) {
        const QString f = folded(s.name);
        if (!seen.contains(f)) {
            seen.insert(f);
            names << s.name;
        }
    }
    return names;
}

bool QuestDocument::hasSection(const QString &section) const { return sectionIndex(section) >= 0; }

const QuestDocument::Section *QuestDocument::storedSection(const QString &section) const
{
    const int i = sectionIndex(section);
    return i < 0 ? nullptr : &m_sections[i];
}

IniFile QuestDocument::parseText(const QByteArray &text) const
{
    if (isUtf8(m_encoding))
        return IniFile::parse(kUtf8Marker + text, IniEncoding::Detect);
    return IniFile::parse(text, IniEncoding::Windows1252);
}

QByteArray QuestDocument::sectionText(const IniFile &piece) const
{
    return isUtf8(m_encoding) ? piece.text().mid(kUtf8Marker.size()) : piece.text();
}

const IniFile &QuestDocument::parsed(int index) const
{
    if (m_parsedIndex != index) {
        m_parsed = parseText(m_sections[index].text);
        m_parsedIndex = index;
    }
    return m_parsed;
}

QString QuestDocument::value(const QString &section, const QString &key) const
{
    const int i = sectionIndex(section);
    if (i < 0)
        return QString();
    return parsed(i).readValue(m_sections[i].name, key);
}

bool QuestDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    const QString stored = firstLine(value);
    if (this->value(section, key) == IniFile::cutForRead(stored))
        return false;
    if (m_encoding == FileEncoding::Windows1252
        && !(cp1252::canEncode(section.trimmed()) && cp1252::canEncode(key.trimmed()) && cp1252::canEncode(stored))) {
        // Checked before anything changes: names that cannot be stored fail
        // in UTF-8 just the same.
        if (!IniFile::parse(kUtf8Marker).withValue(section, key, stored))
            return false;
        convertToUtf8();
    }
    const int i = sectionIndex(section);
    if (i >= 0) {
        const std::optional<QByteArray> out = parsed(i).withValue(m_sections[i].name, key, stored);
        if (!out)
            return false;
        const Section after{m_sections[i].name, isUtf8(m_encoding) ? out->mid(kUtf8Marker.size()) : *out};
        replaceSection(i, &after);
    } else {
        const IniFile empty = parseText(QByteArray());
        const std::optional<QByteArray> out = empty.withValue(section, key, stored);
        if (!out)
            return false;
        // A new section starts on a line of its own.
        if (!m_sections.isEmpty() && !endsWithBreak(m_sections.last().text)) {
            const Section last{m_sections.last().name, m_sections.last().text + "\r\n"};
            replaceSection(int(m_sections.size()) - 1, &last);
        } else if (m_sections.isEmpty() && !endsWithBreak(m_prefix.mid(isUtf8(m_encoding) && m_prefix.startsWith(kUtf8Marker) ? 3 : 0))) {
            // Text before any section without a final line break.
            auto before = std::make_shared<Whole>(Whole{m_encoding, m_prefix, m_sections});
            m_prefix += "\r\n";
            if (m_delta)
                m_delta->steps.append({Delta::WholeDoc, -1, {}, {}, {}, {}, before,
                                       std::make_shared<Whole>(Whole{m_encoding, m_prefix, m_sections})});
        }
        insertSection(int(m_sections.size()), Section{section.trimmed(), isUtf8(m_encoding) ? out->mid(kUtf8Marker.size()) : *out});
    }
    Q_EMIT valueChanged(section, key);
    return true;
}

bool QuestDocument::removeSection(const QString &section)
{
    const QString f = folded(section);
    bool removed = false;
    for (int i = int(m_sections.size()) - 1; i >= 0; --i) {
        if (folded(m_sections[i].name) == f) {
            replaceSection(i, nullptr);
            removed = true;
        }
    }
    if (removed)
        Q_EMIT sectionChanged(section);
    return removed;
}

void QuestDocument::replaceSection(int index, const Section *after)
{
    if (m_delta) {
        Delta::Step step{after ? Delta::Replace : Delta::Remove, index, m_sections[index], after ? *after : Section{}};
        m_delta->steps.append(std::move(step));
    }
    if (after) {
        m_sections[index] = *after;
        m_parsedIndex = -1;
    } else {
        const QString name = m_sections[index].name;
        m_sections.removeAt(index);
        sectionRemoved(index, name);
    }
}

void QuestDocument::insertSection(int index, const Section &section)
{
    if (m_delta)
        m_delta->steps.append({Delta::Insert, index, {}, section});
    m_sections.insert(index, section);
    sectionInserted(index);
}

void QuestDocument::convertToUtf8()
{
    auto before = std::make_shared<Whole>(Whole{m_encoding, m_prefix, m_sections});
    m_prefix = QByteArray("\xEF\xBB\xBF\r\n") + cp1252::decode(m_prefix).toUtf8();
    for (Section &s : m_sections)
        s.text = cp1252::decode(s.text).toUtf8();
    m_encoding = FileEncoding::Utf8WithBom;
    m_parsedIndex = -1;
    if (m_delta)
        m_delta->steps.append({Delta::WholeDoc, -1, {}, {}, {}, {}, before,
                               std::make_shared<Whole>(Whole{m_encoding, m_prefix, m_sections})});
}

void QuestDocument::applyWhole(const Whole &w)
{
    m_encoding = w.encoding;
    m_prefix = w.prefix;
    m_sections = w.sections;
    m_indexValid = false;
    m_parsedIndex = -1;
}

// --- typed reads -----------------------------------------------------------------

QuestPage QuestDocument::page(const QString &name) const
{
    QuestPage p;
    p.name = name;
    const int i = sectionIndex(name);
    if (i < 0)
        return p;
    const IniFile &f = parsed(i);
    const QString &s = m_sections[i].name;
    auto v = [&](const QString &key) { return f.readValue(s, key); };
    p.location = v(kLocation);
    p.text = v(kPageText);
    p.battle = v(kBattle);
    p.image = v(kImage);
    p.movie = v(kMovie);
    p.music = v(kMusic);
    p.mp3 = v(kMp3);
    for (int c = 1; c <= kOptionCount; ++c) {
        QuestChoice &ch = p.choices[size_t(c - 1)];
        ch.caption = v(optionKey(c));
        ch.destination = v(destinationKey(c));
        ch.score = v(scoreKey(c));
        ch.keyItem = v(keyItemKey(c));
        ch.add = v(addKey(c));
        ch.required = v(requiredKey(c));
    }
    QuestBattle &b = p.fight;
    b.escapeCheck = v(kBattleEscapeCheck);
    b.monName = v(kBattleMonName);
    b.monHp = v(kBattleMonHp);
    b.monAtk = v(kBattleMonAtk);
    b.monDef = v(kBattleMonDef);
    b.image = v(kBattleImage);
    b.music = v(kBattleMusic);
    b.monKeyItem = v(kBattleMonKeyItem);
    b.monExp = v(kBattleMonExp);
    b.win = v(kBattleWin);
    b.lose = v(kBattleLose);
    b.escape = v(kBattleEscape);
    b.atkMessage = v(kAtkMessage);
    b.altAtk = v(kAltAtk);
    b.altAtkDam = v(kAltAtkDam);
    return p;
}

QStringList QuestDocument::exits(const QString &name) const
{
    QStringList out;
    const int i = sectionIndex(name);
    if (i < 0)
        return out;
    const IniFile &f = parsed(i);
    const QString &s = m_sections[i].name;
    auto add = [&](const QString &key) {
        const QString v = f.readValue(s, key);
        if (!v.trimmed().isEmpty())
            out << v;
    };
    for (int c = 1; c <= kOptionCount; ++c)
        add(destinationKey(c));
    add(kBattleWin);
    add(kBattleLose);
    add(kBattleEscape);
    return out;
}

QString QuestDocument::title() const { return value(kStoryInfoSection, kTitle); }
QString QuestDocument::author() const { return value(kStoryInfoSection, kAuthor); }
QString QuestDocument::version() const { return value(kStoryInfoSection, kVersion); }

// --- page list -----------------------------------------------------------------------

bool QuestDocument::isFixedSection(const QString &section)
{
    const QString f = folded(section);
    static const QSet<QString> fixed{QString(kQuestDataSection).toCaseFolded(),
                                     QString(kStoryInfoSection).toCaseFolded(),
                                     QString(kCharacterDataSection).toCaseFolded()};
    return fixed.contains(f);
}

int QuestDocument::pageIndex(const QString &name) const
{
    const QString f = folded(name);
    for (int i = 0; i < m_pages.size(); ++i)
        if (m_pages[i].size() == name.size() ? m_pages[i].compare(name, Qt::CaseInsensitive) == 0
                                             : folded(m_pages[i]) == f)
            return i;
    return -1;
}

void QuestDocument::recordPages(const QStringList &before)
{
    if (m_delta)
        m_delta->steps.append({Delta::Pages, -1, {}, {}, before, m_pages});
}

bool QuestDocument::addPage(const QString &name)
{
    if (m_pages.size() >= kMaxPages)
        return false;
    const QStringList before = m_delta ? m_pages : QStringList();
    m_pages.append(name);
    recordPages(before);
    Q_EMIT pageAdded(name, int(m_pages.size()) - 1);
    return true;
}

void QuestDocument::removePageAt(int index)
{
    if (index < 0 || index >= m_pages.size())
        return;
    const QStringList before = m_delta ? m_pages : QStringList();
    const QString name = m_pages.takeAt(index);
    recordPages(before);
    Q_EMIT pageRemoved(name, index);
}

// --- recording, undo and redo -------------------------------------------------------

void QuestDocument::beginRecord()
{
    if (m_recording++ == 0)
        m_delta = std::make_shared<Delta>();
}

std::shared_ptr<QuestDocument::Delta> QuestDocument::endRecord()
{
    if (m_recording == 0 || --m_recording > 0)
        return nullptr;
    std::shared_ptr<Delta> d = std::move(m_delta);
    m_delta.reset();
    if (!d || d->steps.isEmpty())
        return nullptr;
    return d;
}

namespace {

// The one entry by which two page lists differ, as (index, added); nullopt
// when they differ otherwise.
std::optional<std::pair<int, bool>> oneEntry(const QStringList &from, const QStringList &to)
{
    const qsizetype diff = to.size() - from.size();
    if (diff != 1 && diff != -1)
        return std::nullopt;
    const QStringList &longer = diff > 0 ? to : from;
    const QStringList &shorter = diff > 0 ? from : to;
    qsizetype i = 0;
    while (i < shorter.size() && shorter[i] == longer[i])
        ++i;
    return std::make_pair(int(i), diff > 0);
}

} // namespace

void QuestDocument::undo(const Delta &delta)
{
    for (qsizetype n = delta.steps.size() - 1; n >= 0; --n) {
        const Delta::Step &s = delta.steps[n];
        switch (s.kind) {
        case Delta::Replace:
            m_sections[s.index] = s.before;
            m_parsedIndex = -1;
            Q_EMIT sectionChanged(s.before.name);
            break;
        case Delta::Insert:
            m_sections.removeAt(s.index);
            sectionRemoved(s.index, s.after.name);
            Q_EMIT sectionChanged(s.after.name);
            break;
        case Delta::Remove:
            m_sections.insert(s.index, s.before);
            sectionInserted(s.index);
            Q_EMIT sectionChanged(s.before.name);
            break;
        case Delta::Pages: {
            m_pages = s.pagesBefore;
            if (const auto one = oneEntry(s.pagesAfter, s.pagesBefore)) {
                if (one->second)
                    Q_EMIT pageAdded(m_pages[one->first], one->first);
                else
                    Q_EMIT pageRemoved(s.pagesAfter[one->first], one->first);
            } else {
                Q_EMIT reset();
            }
            break;
        }
        case Delta::WholeDoc:
            applyWhole(*s.wholeBefore);
            Q_EMIT reset();
            break;
        }
    }
}

void QuestDocument::redo(const Delta &delta)
{
    for (const Delta::Step &s : delta.steps) {
        switch (s.kind) {
        case Delta::Replace:
            m_sections[s.index] = s.after;
            m_parsedIndex = -1;
            Q_EMIT sectionChanged(s.after.name);
            break;
        case Delta::Insert:
            m_sections.insert(s.index, s.after);
            sectionInserted(s.index);
            Q_EMIT sectionChanged(s.after.name);
            break;
        case Delta::Remove:
            m_sections.removeAt(s.index);
            sectionRemoved(s.index, s.before.name);
            Q_EMIT sectionChanged(s.before.name);
            break;
        case Delta::Pages: {
            m_pages = s.pagesAfter;
            if (const auto one = oneEntry(s.pagesBefore, s.pagesAfter)) {
                if (one->second)
                    Q_EMIT pageAdded(m_pages[one->first], one->first);
                else
                    Q_EMIT pageRemoved(s.pagesBefore[one->first], one->first);
            } else {
                Q_EMIT reset();
            }
            break;
        }
        case Delta::WholeDoc:
            applyWhole(*s.wholeAfter);
            Q_EMIT reset();
            break;
        }
    }
}

void QuestDocument::merge(Delta &into, const Delta &later)
{
    for (const Delta::Step &s : later.steps) {
        if (s.kind == Delta::Replace && !into.steps.isEmpty() && into.steps.last().kind == Delta::Replace
            && into.steps.last().index == s.index) {
            into.steps.last().after = s.after; // the text in between is never needed again
            continue;
        }
        into.steps.append(s);
    }
}

QStringList QuestDocument::touchedSections(const Delta &delta)
{
    QStringList out;
    for (const Delta::Step &s : delta.steps) {
        const QString &name = s.kind == Delta::Remove ? s.before.name : s.after.name;
        if ((s.kind == Delta::Replace || s.kind == Delta::Insert || s.kind == Delta::Remove) && !out.contains(name))
            out << name;
    }
    return out;
}

QStringList QuestDocument::touchedPages(const Delta &delta)
{
    QStringList out;
    for (const Delta::Step &s : delta.steps) {
        if (s.kind != Delta::Pages)
            continue;
        if (const auto one = oneEntry(s.pagesBefore, s.pagesAfter))
            out << (one->second ? s.pagesAfter : s.pagesBefore)[one->first];
    }
    return out;
}

} // namespace fc
