#pragma once
// A quest file read once into memory, answering reads exactly as the profile
// store would answer them at that moment. The quest checker and the
// playtester read thousands of values per second from it; the engine itself
// keeps reading the file key by key.

#include "storage/ini_file.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <span>

namespace fc::check {

class QuestSnapshot
{
public:
    // Reads file (a bare name resolves like every profile call). False, with
    // *error saying why, when the file cannot be read.
    bool load(const QString &file, QString *error = nullptr);

    const QString &file() const { return m_file; }
    // As ReadIni(file, section, key): "" when missing, at most 8999 characters.
    // Not for use from several threads at once.
    QString read(const QString &section, const QString &key) const;
    // read() of each of keys in section: out[i] for keys[i].
    void readValues(const QString &section, std::span<const QStringView> keys, std::span<QString> out) const;
    // Keeps every value read, for callers that read the same values over and
    // over (the playtester); off by default.
    void setCaching(bool on) { m_caching = on; }


    // Every section, as spelled in the file, in file order.
    const QStringList &sections() const { return m_sections; }
    // Sections that are pages: all but the quest's fixed sections.
    const QStringList &pages() const { return m_pages; }
    // Index in pages() of the page a profile read of section reaches, or -1.
    int pageIndex(const QString &section) const;
    // Whether section names one of the quest's fixed sections ("Story Info"...).
    static bool isFixedSection(const QString &section);

private:
    static QString fold(const QString &name);
    QString readFile(const QString &section, const QString &key) const;

    QString m_file;
    ini::IniFile m_ini;
    QStringList m_sections;
    QStringList m_pages;
    QHash<QString, int> m_pageIndex; // folded name -> index in m_pages
    // Values already read, by section and key as asked for.
    mutable QHash<QString, QHash<QString, QString>> m_cache;
    bool m_caching = false;
    mutable QString m_lastSection;
    mutable QHash<QString, QString> *m_lastKeys = nullptr;
};

} // namespace fc::check
