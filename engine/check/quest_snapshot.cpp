#include "engine/check/quest_snapshot.h"

#include "storage/quest_format.h"
#include "storage/regular_file.h"
#include "storage/user_folders.h"


namespace fc::check {

bool QuestSnapshot::load(const QString &file, QString *error)
{
    m_file = file;
    // A FIFO or device named as the quest is refused, never waited on.
    FileRead read = ReadRegularFile(ResolveIniPath(file), filelimit::kProfile);
    if (!read.ok()) {
        if (error)
            *error = read.error;
        return false;
    }
    m_ini = ini::IniFile::parse(std::move(read.bytes));
    m_sections = m_ini.sectionNames();
    m_pages.clear();
    m_pageIndex.clear();
    m_cache.clear();
    m_lastKeys = nullptr;
    for (const QString &s : std::as_const(m_sections)) {
        if (isFixedSection(s))
            continue;
        m_pageIndex.insert(fold(s), int(m_pages.size()));
        m_pages.append(s);
    }
    return true;
}

QString QuestSnapshot::read(const QString &section, const QString &key) const
{
    if (!m_caching)
        return readFile(section, key);
    // Reads come in runs on one page: keep the last page's values at hand.
    if (!m_lastKeys || section != m_lastSection) {
        m_lastKeys = &m_cache[section];
        m_lastSection = section;
    }
    QHash<QString, QString> &keys = *m_lastKeys;
    const auto cached = keys.constFind(key);
    if (cached != keys.cend())
        return cached.value();
    return keys[key] = readFile(section, key);
}

void QuestSnapshot::readValues(const QString &section, std::span<const QStringView> keys, std::span<QString> out) const
{
    if (!m_caching) {
        m_ini.readValues(section, keys, out);
        return;
    }
    for (size_t i = 0; i < keys.size() && i < out.size(); ++i)
        out[i] = read(section, keys[i].toString());
}

QString QuestSnapshot::readFile(const QString &section, const QString &key) const
{
    return m_ini.readValue(section, key);
}

QString QuestSnapshot::fold(const QString &name)
{
    return name.trimmed().toCaseFolded();
}

int QuestSnapshot::pageIndex(const QString &section) const
{
    return m_pageIndex.value(fold(section), -1);
}

bool QuestSnapshot::isFixedSection(const QString &section)
{
    using namespace quest;
    const QString s = fold(section);
    return s == fold(kQuestDataSection) || s == fold(kStoryInfoSection) || s == fold(kCharacterDataSection);
}

} // namespace fc::check
