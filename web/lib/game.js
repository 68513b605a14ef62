// The game engine: the game screen's state and every operation on it, by the
// same rules as the desktop engine. The host supplies the platform: quest
// and launch-file reads, message boxes, file choices, file bytes and media.

import * as R from './rules.js';
import { Random } from './random.js';
import { writeSavedGame, readSavedGame } from './savedgame.js';

export const NO_QUEST = 'No Quest Loaded.';
export const ENGINE_TITLE = 'Fablecraft 2004 BETA TEST VERSION 5.6';
const CRLF = '\r\n';
const PROMPT = '\r\n>\r\n';
const SEPARATOR = '-'.repeat(53);
const WARNING = 'WARNING!!!!';
const END_GAME = 'Are you sure? This will end the current game without saving!';
const NUMBERS = ['One', 'Two', 'Three', 'Four'];
const DEFAULT_HP = 30, DEFAULT_ATK = 5, DEFAULT_DEF = 2, DEFAULT_MONSTER_ATK = 4;
const MAX_FIGHT_VALUE = 999999;

const optionKey = (i) => `Option ${NUMBERS[i - 1]}`;
const destinationKey = (i) => `Option ${NUMBERS[i - 1]} Destination Page`;
const scoreKey = (i) => `Option ${NUMBERS[i - 1]} Score`;
const keyItemKey = (i) => `Key Item${i}`;
const addKey = (i) => `Add${i}`;
const requiredKey = (i) => `Required${i}`;

function fightValue(value, min, fallback) {
  const v = R.parseDecimal(value);
  if (v === null || v < min) return fallback;
  return Math.trunc(Math.min(v, MAX_FIGHT_VALUE));
}
const positiveOr = (v, f) => fightValue(v, 1, f);
const nonNegativeOr = (v, f) => fightValue(v, 0, f);

export class Screen {
  constructor() {
    this.questfil = NO_QUEST;
    this.pg = '1';
    this.score = '0';
    this.room = '';
    this.log = NO_QUEST + CRLF;
    this.inventory = [];
    this.options = [0, 1, 2, 3].map(() => ({ caption: '', selected: false }));
    this.title = ENGINE_TITLE;
    this.menusVisible = true;
    this.bookVisible = false;
    this.menuPanel = true;
    this.moviePanel = false;
    this.battleBox = false;
    this.characterPanel = false;
    this.roll = { name: '', hitPoints: '', strength: '', defence: '' };
    this.battleText = '';
    this.enemyLabel = 'Enemy Hp:';
    this.enemyHpText = '00';
    this.playerHpText = '';
    this.enemyBar = { maximum: 100, value: 0 };
    this.playerBar = { maximum: 100, value: 0 };
    this.experienceBar = { maximum: 100, value: 0 };
    this.escapeEnabled = true;
  }

  get questLoaded() { return this.questfil !== NO_QUEST; }
  get choicesAvailable() { return !this.battleBox; }
  get isEnding() {
    return this.questLoaded && !this.battleBox && this.options.every((o) => o.caption === '');
  }
  setCaption(i, caption) {
    const o = this.options[i];
    if (o.caption === caption) return;
    o.caption = caption;
    if (caption === '') o.selected = false;
  }
  select(i) {
    if (i < 0 || i > 3 || this.options[i].caption === '') return false;
    this.options.forEach((o, k) => { o.selected = k === i; });
    return true;
  }
  clearSelection() { for (const o of this.options) o.selected = false; }
  chosenOption() { return this.options.findIndex((o) => o.caption !== '' && o.selected); }
}

export class Game {
  constructor(host) {
    this.host = host;
    this.screen = new Screen();
    this.random = new Random();
    this.packaged = false;
    this.playerHp = 0;
    this.playerMaxHp = 0;
    this.monsterHp = 0;
    this.characterCreated = false;
    this.character = { hp: 0, atk: 0, def: 0 };
  }

  setSeed(seed) { this.random.seed(seed); }
  questRead(section, key) { return this.host.readIni(this.screen.questfil, section, key); }
  pageRead(key) { return this.questRead(this.screen.pg, key); }
  launchRead(section, key) { return this.host.readLaunchFile(section, key); }
  media(kind, value) { return this.host.media(kind, value, this.screen.questfil); }

  loadPagePicture(value) { if (value !== '') this.media('picture', value); }
  playSound(value) { this.media('sound', value); }
  playMovie(value) {
    if (value === '') return;
    this.screen.moviePanel = true;
    if (this.media('movie', value) === false) this.screen.moviePanel = false;
  }
  stopMusic() { this.media('midi-stop', ''); }
  startMusic(value) { this.media('midi-start', value); }

  // --- page presenter ---------------------------------------------------
  findItem(item) { return R.itemHeld(item, this.screen.inventory) ? 'found' : ''; }

  appendStoryHeader() {
    const read = (k) => this.questRead('Story Info', k);
    // A new story begins on a line of its own, below the last one.
    const log = this.screen.log;
    if (log !== '' && !log.endsWith('\n')) this.screen.log += CRLF;
    this.screen.log += read('Title') + CRLF + SEPARATOR + CRLF + read('Author') + CRLF
      + 'Version: ' + read('Version') + CRLF + SEPARATOR + CRLF;
  }
  appendPage(page) {
    this.screen.log += PROMPT + this.questRead(page, 'Location') + PROMPT + this.questRead(page, 'Page Text');
  }
  showOptions(page) {
    for (let i = 1; i <= 4; i++) this.screen.setCaption(i - 1, this.questRead(page, optionKey(i)));
  }
  beginQuest() {
    this.appendStoryHeader();
    this.appendPage('1');
    this.screen.room = this.questRead('1', 'Page Text');
    this.screen.pg = '1';
    this.showOptions('1');
    this.screen.score = '0';
    this.startCharacter();
  }
  presentPage() {
    const s = this.screen;
    for (let i = 1; i <= 4; i++) {
      const held = this.findItem(this.pageRead(keyItemKey(i))) === 'found';
      s.setCaption(i - 1, R.gateByItem(s.options[i - 1].caption, this.pageRead(optionKey(i)), this.pageRead(requiredKey(i)), held));
    }
    this.loadPagePicture(this.pageRead('Image'));
    this.playMovie(this.pageRead('Movie'));
    for (let i = 1; i <= 4; i++) {
      const held = this.findItem(this.pageRead(keyItemKey(i))) === 'found';
      s.setCaption(i - 1, R.hideHeldGift(s.options[i - 1].caption, this.pageRead(addKey(i)), held));
    }
    const music = this.pageRead('Music');
    this.playSound(this.pageRead('Mp3'));
    if (music !== '') {
      this.stopMusic();
      this.startMusic(music);
    }
    if (R.opensBattle(this.pageRead('Battle'))) this.battle();
    s.clearSelection();
  }
  playTurn() {
    this.applyChoice();
    this.presentPage();
  }

  // --- option choice ----------------------------------------------------
  selectOption(i) { return this.screen.choicesAvailable && this.screen.select(i); }
  applyChoice() {
    const s = this.screen;
    const chosen = s.chosenOption();
    if (chosen < 0) return;
    const i = chosen + 1;
    const item = this.pageRead(keyItemKey(i));
    if (R.givesItem(this.pageRead(addKey(i)), item)) s.inventory.push(item);
    s.score = R.addToScore(s.score, this.pageRead(scoreKey(i)));
    const destination = this.pageRead(destinationKey(i));
    s.pg = destination;
    this.appendPage(destination);
    this.showOptions(destination);
    s.room = this.questRead(destination, 'Page Text');
  }
  clickPicture1() {
    if (!this.screen.choicesAvailable) return;
    this.playTurn();
  }
  clickChoose() {
    const s = this.screen;
    if (!s.choicesAvailable) return;
    const chosen = s.chosenOption();
    if (chosen >= 0) {
      const i = chosen + 1;
      s.score = R.addToScore(s.score, this.pageRead(scoreKey(i)));
      const destination = this.pageRead(destinationKey(i));
      s.pg = destination;
      s.log += PROMPT + this.questRead(destination, 'Page Text');
      this.showOptions(destination);
      s.room = this.questRead(destination, 'Page Text');
    }
    s.clearSelection();
  }

  // --- start-up and quest loading ----------------------------------------
  startUp() {
    this.packaged = this.launchRead('loaddat', 'QuestFile') !== '';
    if (this.packaged) this.packagedStart(false);
  }
  packagedStart(clearInventory) {
    const s = this.screen;
    const questPath = this.host.programDir + '/' + this.launchRead('loaddat', 'QuestFile');
    if (clearInventory) s.inventory = [];
    else s.bookVisible = true;
    s.menusVisible = false;
    s.title = this.launchRead('Game Data', 'Title');
    s.questfil = questPath;
    this.startQuestAt1();
    s.menuPanel = false;
  }
  startQuestAt1() {
    this.beginQuest();
    this.playTurn();
  }
  clickBook() {
    if (this.launchRead('loaddat', 'QuestFile') === '') return;
    this.packagedStart(true);
  }
  menuLoadQuest() {
    if (this.screen.questLoaded && !this.host.question(WARNING, END_GAME)) return;
    const chosen = this.host.openFile('qst');
    if (chosen === '') return;
    this.openQuest(chosen);
  }
  openQuest(path) {
    this.screen.inventory = [];
    this.screen.questfil = path;
    this.startQuestAt1();
    this.screen.menuPanel = false;
  }
  menuNewGame() {
    this.stopMusic();
    this.screen.questfil = this.host.defaultAdventure();
    this.beginQuest();
    this.loadPagePicture(this.questRead('1', 'Image'));
    this.startMusic(this.questRead('1', 'Music'));
  }
  clickPlayAgain() {
    if (!this.screen.questLoaded) return;
    if (this.packaged) { this.packagedStart(true); return; }
    this.screen.inventory = [];
    this.startQuestAt1();
    this.screen.menuPanel = false;
  }

  // --- battle -----------------------------------------------------------
  startCharacter() {
    const s = this.screen;
    this.characterCreated = false;
    this.playerMaxHp = positiveOr(this.questRead('CharacterData', 'CharHp'), DEFAULT_HP);
    this.playerHp = this.playerMaxHp;
    s.battleBox = false;
    if (this.questRead('CharacterData', 'CharCreateAllow') === '1') {
      s.roll = { ...s.roll, name: this.questRead('CharacterData', 'CharName') };
      this.reRollCharacter();
      s.characterPanel = true;
    }
    this.showPlayerHp();
  }
  showPlayerHp() {
    const s = this.screen;
    s.playerBar = { maximum: Math.max(this.playerMaxHp, 1), value: Math.max(this.playerHp, 0) };
    s.playerHpText = String(Math.max(this.playerHp, 0));
  }
  battle() {
    const s = this.screen;
    const name = this.pageRead('BattleMonName');
    s.enemyLabel = name + "'s HP:";
    let hp = R.toFloat(R.trimmed(this.pageRead('BattleMonHp')));
    if (hp !== null) hp = Math.min(hp, MAX_FIGHT_VALUE);
    if (hp !== null && hp > 0) s.enemyBar = { maximum: hp, value: hp };
    this.monsterHp = hp !== null && hp >= 1 ? Math.trunc(hp) : 0;
    s.enemyHpText = this.pageRead('BattleMonHp');
    this.media('battle-picture', this.pageRead('BattleImage'));
    const music = this.pageRead('BattleMusic');
    s.escapeEnabled = R.escapeAllowed(this.pageRead('BattleEscapecheck'));
    s.battleText += 'You are under attack from ' + name + '!';
    if (music !== '') {
      this.stopMusic();
      this.startMusic(music);
    }
    this.showPlayerHp();
    s.battleBox = true;
  }
  clickAttack() {
    const s = this.screen;
    if (!s.battleBox) return null;
    const name = this.pageRead('BattleMonName');
    const monster = name === '' ? 'the monster' : name;
    const roll = () => this.random.boundedRange(1, 7);
    const playerAtk = this.characterCreated ? this.character.atk : positiveOr(this.questRead('CharacterData', 'CharAtk'), DEFAULT_ATK);
    const playerDef = this.characterCreated ? this.character.def : nonNegativeOr(this.questRead('CharacterData', 'CharDef'), DEFAULT_DEF);
    const monsterAtk = positiveOr(this.pageRead('BattleMonAtk'), DEFAULT_MONSTER_ATK);
    const monsterDef = nonNegativeOr(this.pageRead('BattleMonDef'), 0);

    // The blows of this exchange; the deciding one also goes to the story
    // log, where it stays readable once the box has closed.
    const blows = [];
    const blow = (text) => {
      blows.push(text);
      s.battleText += CRLF + text;
    };
    const logOutcome = (outcome) => { s.log += PROMPT + blows.join(CRLF) + CRLF + outcome; };

    const dealt = Math.max(1, playerAtk + roll() - monsterDef);
    this.monsterHp = Math.max(0, this.monsterHp - dealt);
    blow(R.formatArg(R.formatArg('You strike %1 for %2 damage.', monster), String(dealt)));
    if (s.enemyBar.maximum > 0 && this.monsterHp <= s.enemyBar.maximum) s.enemyBar = { maximum: s.enemyBar.maximum, value: this.monsterHp };
    s.enemyHpText = String(this.monsterHp);
    const creature = name === '' ? 'monster' : name;
    if (this.monsterHp <= 0) {
      s.battleText += R.formatArg('\r\nYou have defeated %1!', monster);
      logOutcome(R.formatArg('You defeat the %1.', creature));
      const item = this.pageRead('BattleMonKeyItem');
      if (item !== '') s.inventory.push(item);
      const exp = nonNegativeOr(this.pageRead('BattleMonExp'), 0);
      if (exp > 0) {
        const value = s.experienceBar.value + exp;
        s.experienceBar = { maximum: Math.max(s.experienceBar.maximum, value), value };
      }
      this.leaveBattleTo(this.pageRead('BattleWin'));
      return 'won';
    }
    const altName = this.pageRead('AltAtk');
    const altDamage = positiveOr(this.pageRead('AltAtkDam'), 0);
    let taken;
    if (altName !== '' && altDamage > 0 && this.random.bounded(4) === 0) {
      taken = altDamage;
      const text = '%1 uses %2! You take %3 damage.'.replace('%1', () => '\u0001').replace('%2', () => '\u0002');
      blow(R.formatArg(text.replace('\u0001', () => monster).replace('\u0002', () => altName), String(taken)));
    } else {
      taken = Math.max(1, monsterAtk + roll() - playerDef);
      const message = this.pageRead('ATKMessage');
      blow(R.formatArg(R.formatArg('%1 You take %2 damage.', message === '' ? monster + ' strikes back!' : message), String(taken)));
    }
    this.playerHp = Math.max(0, this.playerHp - taken);
    this.showPlayerHp();
    if (this.playerHp <= 0) {
      s.battleText += R.formatArg('\r\nYou have been defeated by %1.', monster);
      logOutcome(R.formatArg('The %1 defeats you.', creature));
      const lose = this.pageRead('BattleLose');
      this.playerHp = this.playerMaxHp;
      this.leaveBattleTo(lose);
      this.showPlayerHp();
      return 'lost';
    }
    return null;
  }
  enterPageFromBattle(page) {
    const s = this.screen;
    s.battleBox = false;
    this.appendPage(page);
    s.pg = page;
    s.room = this.questRead(page, 'Page Text');
    this.showOptions(page);
    this.playTurn();
  }
  leaveBattleTo(page) {
    if (!R.leavesBattlePage(page)) this.screen.battleBox = false;
    else this.enterPageFromBattle(page);
  }
  clickEscape() {
    if (!this.screen.battleBox || !this.screen.escapeEnabled) return;
    this.enterPageFromBattle(this.pageRead('BattleEscape'));
  }

  // --- character panel --------------------------------------------------
  reRollCharacter() {
    const rollAbove = (scale, floor) => {
      let v;
      do v = Math.trunc(this.random.generateDouble() * scale); while (v <= floor);
      return v;
    };
    const r = this.screen.roll;
    this.screen.roll = { ...r, hitPoints: String(rollAbove(50, 25)), strength: String(rollAbove(15, 10)), defence: String(rollAbove(10, 5)) };
  }
  // Takes the panel's values; returns the refusal text, or '' when taken.
  createCharacter() {
    const value = (text, low, high) => {
      const t = R.trimmed(text);
      if (!/^[+-]?\d+$/.test(t)) return -1;
      const v = Number(t);
      return v >= low && v <= high ? v : -1;
    };
    const r = this.screen.roll;
    const hp = value(r.hitPoints, 1, 999), strength = value(r.strength, 1, 999), defence = value(r.defence, 0, 999);
    let refusal = '';
    if (hp < 0) refusal = 'Hit Points must be a whole number from 1 to 999.';
    else if (strength < 0) refusal = 'Strength must be a whole number from 1 to 999.';
    else if (defence < 0) refusal = 'Defence must be a whole number from 0 to 999.';
    if (refusal) {
      this.host.information('Create your character', refusal);
      return refusal;
    }
    this.characterCreated = true;
    this.character = { hp, atk: strength, def: defence };
    this.playerHp = this.playerMaxHp = hp;
    this.showPlayerHp();
    this.screen.characterPanel = false;
    return '';
  }

  // --- saved games --------------------------------------------------------
  report(file, outcome, room) { return '\r\n>\r\nGame: ' + file + CRLF + outcome + PROMPT + room; }

  menuSave() {
    const s = this.screen;
    if (!s.questLoaded) {
      this.host.information('', 'You must load a quest file before attempting to save a game!');
      return false;
    }
    const file = this.host.saveFile('sav');
    if (file === '') return false;
    const bytes = writeSavedGame(this.host.readBytes(file) || new Uint8Array(0), {
      room: s.room, options: s.options.map((o) => o.caption), page: s.pg, score: s.score, inventory: s.inventory,
    });
    if (!bytes) {
      this.host.critical('Error Saving Game:', 'The game could not be saved: the page text, a choice or the score holds a character that a saved game cannot store.');
      return false;
    }
    if (!this.host.writeBytes(file, bytes)) {
      this.host.critical('Error Saving Game:', 'The game could not be saved: the file could not be written.');
      return false;
    }
    s.log += this.report(file, 'Saved Successfully.', s.room);
    return true;
  }
  loadSavedGame(withInventory) {
    const s = this.screen;
    if (!s.questLoaded) {
      this.host.information('', 'You must load a quest file before attempting to load a saved game!');
      return false;
    }
    const file = this.host.openFile('sav');
    if (file === '') return false;
    const g = readSavedGame(this.host.readBytes(file), withInventory);
    if (!g || !this.questHasPage(g.page)) {
      this.host.critical('Error Loading Game:', 'The file does not appear to be a saved game for this particular game or there is an error in the file.');
      s.log += this.report(file, 'Is corrupt or not for this game! :-(', s.room);
      return false;
    }
    s.room = g.room;
    for (let i = 0; i < 4; i++) s.setCaption(i, g.options[i]);
    s.score = g.score;
    s.pg = g.page;
    s.inventory.push(...g.inventory);
    s.log += this.report(file, 'Loaded Successfully.', s.room);
    this.stopMusic();
    this.loadPagePicture(this.pageRead('Image'));
    this.startMusic(this.pageRead('Music'));
    return true;
  }
  // Whether the quest has the page a saved game names. A damaged "page" line
  // names nothing, or no page, and the next choice would end the story. When
  // the quest file cannot be looked at as a whole, the page is taken as it is.
  questHasPage(page) {
    const name = R.trimmed(page);
    if (name === '') return false;
    const sections = this.host.sectionNames(this.screen.questfil);
    if (!sections) return true;
    return sections.some((section) => R.sameIgnoringCase(R.trimmed(section), name));
  }
  menuLoad() { return this.loadSavedGame(true); }
  clickLoadGame() {
    if (this.loadSavedGame(false)) this.screen.menuPanel = false;
  }

  // Returns true when the program is to end.
  closeRequest() {
    if (this.screen.questLoaded && !this.host.question(WARNING, END_GAME)) return false;
    this.stopMusic();
    return true;
  }
}
