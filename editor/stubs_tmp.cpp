#include "editor/editor_parts.h"
namespace fc {
struct WorkingCopy::Impl {};
WorkingCopy::WorkingCopy(QString file, Mode, QObject *parent) : QObject(parent), m_file(std::move(file)) {}
WorkingCopy::~WorkingCopy() = default;
QString WorkingCopy::path() const { return {}; }
QString WorkingCopy::read(const QString &, const QString &) const { return {}; }
void WorkingCopy::write(const QString &, const QString &, const QString &) {}
void WorkingCopy::endEvent() {}
bool WorkingCopy::flush(QString *) { return true; }
int WorkingCopy::pendingWrites() const { return 0; }
bool WorkingCopy::remove(QString *) { return true; }
bool WorkingCopy::replaceWith(const QString &, QString *) { return true; }
bool WorkingCopy::copyTo(const QString &, QString *) { return true; }
bool WorkingCopy::removeSection(const QString &, QString *) { return true; }
QStringList WorkingCopy::sectionNames() const { return {}; }
void BattleDialog::open() {}
void BattleDialog::close() {}
void BattleDialog::fillFromPage() {}
void BattleDialog::fieldChanged(const QString &) {}
void BattleDialog::pick(const QString &) {}
void BattleDialog::updateEnabled(bool) {}
void PageEditor::select(int) {}
void PageEditor::fill() {}
void PageEditor::fieldChanged(const QString &) {}
void PageEditor::addPage() {}
void PageEditor::deletePage() {}
void PageEditor::updateEnabled() {}
bool Pickers::isPicker(const QString &) const { return false; }
void Pickers::pick(const QString &) {}
void Pickers::clear(const QString &) {}
void Pickers::playMidi() {}
void Pickers::stopMidi() {}
void Pickers::playSound() {}
void Pickers::stopSound() {}
void CharacterDialog::open() {}
void CharacterDialog::close() {}
void CharacterDialog::fieldChanged(const QString &) {}
void CharacterDialog::pick() {}
void CharacterDialog::clear() {}
void Menus::startUp() {}
void Menus::menuNew() {}
void Menus::menuLoad() {}
void Menus::menuSave() {}
void Menus::menuCompile() {}
bool Menus::closeRequest() { return true; }
void Menus::hide() {}
void Menus::testGame() {}
}
