#pragma once
// A quest held in memory: the model the editor edits and its views show.
//
// The document keeps the quest file's text section by section, exactly as
// read: every section (pages, "Quest Data", "Story Info", "CharacterData",
// sections and keys the editor does not know, comments) stays in its place,
// so a document that was loaded and not changed writes back the same bytes,
// in Windows-1252, UTF-8 or UTF-16 as the file was. Values are read and
// written with the profile store's rules (storage/ini_file.h): names compare
// without regard to case, the first of duplicate sections and keys wins, a
// missing key reads as "", a write replaces a key's line or adds one after
// the section's last key, a new section goes to the end. A value that
// Windows-1252 cannot hold turns the document into UTF-8, as a file write
// would. A document keeps the encoding it was read in otherwise (a UTF-8
// quest whose last non-ASCII character is deleted stays UTF-8, which reads
// the same).
//
// The page list is part of the document: the names the editor lists as pages,
// in list order. A loaded quest lists "1" up to "Number Of Pages" (when that
// is a whole number up to kMaxPages), then every other section that is no
// fixed section, in file order. A listed page needs no section: its section
// comes into being with its first value.
//
// Change notices: valueChanged(section, key) after a value changed;
// sectionChanged(section) when a section's text was replaced as a whole (an
// undo or redo); pageAdded / pageRemoved when the page list gained or lost an
// entry; reset() after the whole document was replaced (a load, "&New").
// Views listen to these instead of reading the file again.
//
// Every change can be taken back: record() collects what the changes made
// between its begin and end did, as a Delta; undo(delta) and redo(delta)
// bring the document to the state before or after it, byte for byte.
//
// QtCore only; one thread uses a document. toBytes() and snapshot() are cheap
// (the text is implicitly shared), so a writer thread can take the bytes of
// a snapshot while the document goes on changing.

#include "storage/ini_file.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

namespace fc {

// One choice of a page (choice 1 to 4 as the player sees it).
struct QuestChoice
{
    QString caption;     // "Option One" ...
    QString destination; // "Option One Destination Page" ...
    QString score;       // "Option One Score" ...
    QString keyItem;     // "Key Item1" ...
    QString add;         // "Add1" ...: "1" gives the key item
    QString required;    // "Required1" ...: "1" offers the choice only with the item
};

// The battle keys of a page, as stored.
struct QuestBattle
{
    QString escapeCheck; // "BattleEscapecheck": "0" forbids escape, anything else allows it
    QString monName, monHp, monAtk, monDef, image, music, monKeyItem, monExp;
    QString win, lose, escape; // page names: "BattleWin", "BattleLose", "BattleEscape"
    QString atkMessage, altAtk, altAtkDam;
};

// A page's values, as the editor shows them.
struct QuestPage
{
    QString name;
    QString location, text, battle, image, movie, music, mp3;
    std::array<QuestChoice, 4> choices;
    QuestBattle fight;
    // Names of the pages it leads to: the four destinations, "BattleWin",
    // "BattleLose" and "BattleEscape", empty ones left out.
    QStringList exits() const;
};

class QuestDocument : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxPages = 32767;

    explicit QuestDocument(QObject *parent = nullptr);
    ~QuestDocument() override;

    // --- whole document --------------------------------------------------------
    // Replaces the document with the quest in bytes (a file's bytes); reset().
    void setBytes(const QByteArray &bytes);
    // Replaces the document with an empty quest (no section, no page); reset().
    void clear();
    // The quest as a file holds it.
    QByteArray toBytes() const;
    // The document's text as it is now, cheap to take (shared, not copied);
    // bytesOf gives its bytes on any thread, while the document changes on.
    struct Snapshot;
    std::shared_ptr<const Snapshot> snapshot() const;
    static QByteArray bytesOf(const Snapshot &snapshot);
    ini::FileEncoding encoding() const { return m_encoding; }
    // Approximate heap bytes the document holds (its text and index).
    qsizetype memoryUsage() const;

    // --- sections and values ----------------------------------------------------
    // Names of the sections in file order, each once (first spelling).
    QStringList sectionNames() const;
    bool hasSection(const QString &section) const;
    // The value as a profile read gives it ("" when missing).
    QString value(const QString &section, const QString &key) const;
    // Stores value (only the text before a line break) as a profile write
    // would. False when nothing changed (the key reads as value already) or
    // the names cannot be stored (a key with "=", a section with "]").
    bool setValue(const QString &section, const QString &key, const QString &value);
    // Removes every section named section. False when there was none.
    bool removeSection(const QString &section);

    // --- typed reads ---------------------------------------------------------------
    QuestPage page(const QString &name) const;
    // page(name).exits(), reading only the keys it needs.
    QStringList exits(const QString &name) const;
    QString title() const;
    QString author() const;
    QString version() const;

    // --- page list -------------------------------------------------------------------
    const QStringList &pages() const { return m_pages; }
    // Index of the entry named name (names compare as section names), or -1.
    int pageIndex(const QString &name) const;
    // Appends an entry; pageAdded. False when the list is full (kMaxPages).
    bool addPage(const QString &name);
    // Removes the entry at index; pageRemoved.
    void removePageAt(int index);
    // Whether a section is one of the quest's fixed ones (not a page).
    static bool isFixedSection(const QString &section);

    // --- changes and undo ----------------------------------------------------------
    // What a group of changes did; opaque to callers.
    class Delta;
    // Starts collecting changes (nested calls join the outer one).
    void beginRecord();
    // Stops collecting; the changes since beginRecord(), or nullptr when none.
    std::shared_ptr<Delta> endRecord();
    // Brings the document back to the state before delta / after it. The
    // document must be in the state after / before it.
    void undo(const Delta &delta);
    void redo(const Delta &delta);
    // Makes into also do what later does (into then later, as one step).
    static void merge(Delta &into, const Delta &later);
    // Sections and page entries a delta touched (for selecting the page an
    // undo changed).
    static QStringList touchedSections(const Delta &delta);
    static QStringList touchedPages(const Delta &delta);

Q_SIGNALS:
    void valueChanged(const QString &section, const QString &key);
    void sectionChanged(const QString &section);
    void pageAdded(const QString &name, int index);
    void pageRemoved(const QString &name, int index);
    void reset();

public:
    // One section: its header line and every line up to the next header, in
    // the document's text encoding (UTF-8 for UTF-8 and UTF-16 quests,
    // Windows-1252 otherwise).
    struct Section
    {
        QString name; // trimmed, as spelled
        QByteArray text;
    };

    struct Snapshot
    {
        ini::FileEncoding encoding;
        QByteArray prefix;
        QList<Section> sections;
    };

    // The stored section a read of section finds (the first of that name),
    // or nullptr; valid until the document changes. For readers that scan
    // many values at once, such as a search of the whole quest.
    const Section *storedSection(const QString &section) const;

private:
    using Whole = Snapshot;
    void load(const QByteArray &bytes, bool listPages);
    int sectionIndex(const QString &section) const; // first of that name, or -1
    void rebuildIndex() const;
    // Keep the index in step with a section inserted at / removed from at.
    void sectionInserted(int at);
    void sectionRemoved(int at, const QString &name);
    const ini::IniFile &parsed(int index) const;
    ini::IniFile parseText(const QByteArray &text) const;
    QByteArray sectionText(const ini::IniFile &piece) const; // without the UTF-8 marker
    void replaceSection(int index, const Section *after); // recorded; nullptr removes
    void insertSection(int index, const Section &section); // recorded
    void convertToUtf8(); // recorded
    void recordPages(const QStringList &before);
    void applyWhole(const Whole &w);

    ini::FileEncoding m_encoding = ini::FileEncoding::Windows1252;
    QByteArray m_prefix; // before the first section (byte-order mark, comments)
    QList<Section> m_sections;
    QStringList m_pages;
    mutable QHash<QString, int> m_index; // folded name -> first section
    mutable bool m_indexValid = false;
    mutable int m_parsedIndex = -1;
    mutable ini::IniFile m_parsed;
    int m_recording = 0;
    std::shared_ptr<Delta> m_delta;
};

} // namespace fc
