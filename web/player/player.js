// The web page of an exported quest: shows the game screen's state, forwards
// the player's clicks and keys to the engine, and plays the embedded media.

import { Game } from '../lib/game.js';
import { IniFile } from '../lib/ini.js';
import { writeSavedGame } from '../lib/savedgame.js';

const $ = (id) => document.getElementById(id);

function base64Bytes(text) {
  const raw = atob(text);
  const out = new Uint8Array(raw.length);
  for (let i = 0; i < raw.length; i++) out[i] = raw.charCodeAt(i);
  return out;
}

function bytesBase64(bytes) {
  let raw = '';
  for (let i = 0; i < bytes.length; i += 0x8000) raw += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(raw);
}

const questData = JSON.parse($('fc-quest').textContent);
const media = JSON.parse($('fc-media').textContent); // v: quest value -> index in f, f: data URLs
const quest = new IniFile(base64Bytes(questData.data));
const questName = questData.name;
const saveName = questName.replace(/\.[^.]*$/, '') + '.sav';
const storageKey = `fablecraft:${questName}:${questData.data.length}:${quest.read('Story Info', 'Title')}`;

// --- media ----------------------------------------------------------------
const music = $('music');
const sound = $('sound');
let userActed = false;
let pendingMusic = null; // {url, value}: waits for the first key or click

function mediaUrl(value) {
  for (const key of [value, value.replace(/\\/g, '/')]) {
    if (key !== '' && Object.hasOwn(media.v, key)) return media.f[media.v[key]] ?? null;
  }
  return null;
}

// Music loops without a gap through Web Audio (a decoded buffer played in a
// loop); where that is missing, the music element loops the file itself.
// The element's data-state says "playing" or "stopped" either way.
let audioContext = null;
let musicSource = null;
let musicUrl = null;
const decoded = new Map();

function stopMusicNow() {
  musicUrl = null;
  pendingMusic = null;
  if (musicSource) { try { musicSource.stop(); } catch { /* never started */ } musicSource = null; }
  music.pause();
  music.dataset.state = 'stopped';
  delete music.dataset.track;
}

async function loopBuffer(url) {
  let buffer = decoded.get(url);
  if (!buffer) {
    buffer = await audioContext.decodeAudioData(base64Bytes(url.slice(url.indexOf(',') + 1)).buffer);
    decoded.set(url, buffer);
  }
  if (musicUrl !== url) return; // replaced or stopped meanwhile
  musicSource = audioContext.createBufferSource();
  musicSource.buffer = buffer;
  musicSource.loop = true;
  musicSource.connect(audioContext.destination);
  musicSource.start();
  music.dataset.state = 'playing';
}

// value: the quest's name of the music, kept in data-track while it plays.
function playMusic(url, value) {
  if (!userActed) { pendingMusic = { url, value }; return; }
  stopMusicNow();
  musicUrl = url;
  music.dataset.track = value;
  try {
    audioContext ??= new AudioContext();
    if (audioContext.state === 'suspended') audioContext.resume().catch(() => {});
  } catch { audioContext = null; }
  const element = () => {
    if (musicUrl !== url) return;
    music.src = url;
    music.play().then(() => { if (musicUrl === url) music.dataset.state = 'playing'; }).catch(() => {});
  };
  if (audioContext) loopBuffer(url).catch(element);
  else element();
}

function firstAction() {
  if (userActed) return;
  userActed = true;
  if (pendingMusic) playMusic(pendingMusic.url, pendingMusic.value);
}
document.addEventListener('keydown', firstAction, true);
document.addEventListener('pointerdown', firstAction, true);

function showPicture(img, url, box) {
  if (!url) return;
  img.src = url;
  (box || img).hidden = false;
}

// --- message boxes ----------------------------------------------------------
const messageQueue = [];
function showMessage(title, text, buttons = ['OK']) {
  return new Promise((resolve) => {
    messageQueue.push({ title, text, buttons, resolve });
    if (messageQueue.length === 1) openMessage();
  });
}
function openMessage() {
  const m = messageQueue[0];
  const dialog = $('message');
  $('messageTitle').textContent = m.title || document.title;
  $('messageText').textContent = m.text.replace(/\r\n/g, '\n');
  $('messageYes').hidden = !m.buttons.includes('Yes');
  $('messageNo').hidden = !m.buttons.includes('No');
  $('messageOk').hidden = !m.buttons.includes('OK');
  dialog.returnValue = '';
  dialog.showModal();
  (m.buttons.includes('Yes') ? $('messageYes') : $('messageOk')).focus();
}
for (const [id, answer] of [['messageYes', 'yes'], ['messageNo', 'no'], ['messageOk', 'ok']]) {
  $(id).addEventListener('click', () => $('message').close(answer));
}
$('message').addEventListener('close', () => {
  const m = messageQueue.shift();
  if (m) m.resolve($('message').returnValue || 'no');
  if (messageQueue.length) openMessage();
  else restoreFocus();
});

// --- the engine and its host -------------------------------------------------
let loadBytes = null;
let loadName = '';
const host = {
  programDir: '.',
  readIni: (file, section, key) => (file === questName ? quest.read(section, key) : ''),
  sectionNames: (file) => (file === questName ? quest.sectionNames() : null),
  readLaunchFile: () => '',
  information: (title, text) => { showMessage(title, text); },
  critical: (title, text) => { showMessage(title, text); },
  question: () => true,
  openFile: () => loadName,
  saveFile: () => saveName,
  readBytes: (file) => (file === loadName ? loadBytes : null),
  writeBytes: (file, bytes) => {
    const a = document.createElement('a');
    a.href = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    a.download = file;
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(a.href), 60000);
    return true;
  },
  defaultAdventure: () => questName,
  media: (kind, value) => {
    const url = mediaUrl(value);
    switch (kind) {
      case 'picture': showPicture($('picture'), url, $('pictureBox')); return true;
      case 'battle-picture': showPicture($('battlePicture'), url); return true;
      case 'sound':
        sound.pause();
        if (url) { sound.src = url; sound.play().catch(() => {}); }
        return true;
      case 'movie': {
        if (!url) return false;
        const movie = $('movie');
        movie.src = url;
        movie.play().catch(() => {});
        return true;
      }
      case 'midi-stop': stopMusicNow(); return true;
      case 'midi-start': if (url) playMusic(url, value); return true;
      default: return true;
    }
  },
};
const game = new Game(host);
const screen = game.screen;
$('movie').addEventListener('ended', () => { screen.moviePanel = false; render(); });

// --- showing the state -------------------------------------------------------
let logShown = 0;
let deferredCharacter = false;
let battleShown = 0;

// Adds the new text as a paragraph and scrolls the box to its start.
const newest = new Map(); // box -> its newest paragraph
function appendText(box, text) {
  if (!text) return;
  const block = document.createElement('p');
  block.textContent = text.replace(/^(\r\n)+/, '').replace(/\r\n/g, '\n');
  box.append(block);
  newest.set(box, block);
  box.scrollTop = block.offsetTop - box.offsetTop;
}
// A new width (a phone turned, the text enlarged) moves the lines: the newest
// text stays at the top of its box.
window.addEventListener('resize', () => {
  for (const [box, block] of newest) if (block.isConnected) box.scrollTop = block.offsetTop - box.offsetTop;
});

function render() {
  const s = screen;
  document.title = s.title && s.title !== 'Fablecraft 2004 BETA TEST VERSION 5.6' ? s.title : $('title').textContent;
  if (s.log.length < logShown) { $('story').textContent = ''; logShown = 0; }
  appendText($('story'), s.log.slice(logShown));
  logShown = s.log.length;
  $('score').textContent = s.score;
  document.body.dataset.page = s.pg;
  $('hp').textContent = s.playerHpText;
  const radios = document.querySelectorAll('input[name=choice]');
  s.options.forEach((o, i) => {
    const label = $(`optionLabel${i + 1}`);
    label.hidden = o.caption === '';
    label.querySelector('span').textContent = o.caption;
    radios[i].checked = o.selected;
    radios[i].disabled = o.caption === '' || !s.choicesAvailable;
  });
  $('choices').hidden = s.isEnding || !s.questLoaded;
  $('choose').disabled = !s.choicesAvailable;
  $('ending').hidden = !s.isEnding;
  $('battle').hidden = !s.battleBox;
  $('enemyLabel').textContent = s.enemyLabel;
  $('enemyHp').textContent = s.enemyHpText;
  $('enemyBar').max = s.enemyBar.maximum > 0 ? s.enemyBar.maximum : 1;
  $('enemyBar').value = s.enemyBar.value;
  $('playerBar').max = s.playerBar.maximum;
  $('playerBar').value = s.playerBar.value;
  $('playerHp').textContent = s.playerHpText;
  $('escape').disabled = !s.escapeEnabled;
  if (s.battleText.length < battleShown) battleShown = 0;
  appendText($('battleText'), s.battleText.slice(battleShown));
  battleShown = s.battleText.length;
  $('movieBox').hidden = !s.moviePanel;
  if (!s.moviePanel) $('movie').pause();
  const list = $('inventory');
  list.textContent = '';
  for (const item of s.inventory) {
    const li = document.createElement('li');
    li.textContent = item;
    list.append(li);
  }
  $('noItems').hidden = s.inventory.length > 0;
  const character = $('character');
  if (s.characterPanel && !character.open && !$('message').open) {
    $('charName').value = s.roll.name;
    $('charHp').value = s.roll.hitPoints;
    $('charStrength').value = s.roll.strength;
    $('charDefence').value = s.roll.defence;
    character.showModal();
    $('create').focus();
  } else if (!s.characterPanel && character.open) {
    character.close();
  }
  $('continueGame').hidden = playedThisVisit || !localStorage.getItem(storageKey);
}

function autosave() {
  if (!screen.questLoaded) return;
  const bytes = writeSavedGame(new Uint8Array(0), {
    room: screen.room, options: screen.options.map((o) => o.caption), page: screen.pg, score: screen.score, inventory: screen.inventory,
  });
  try { if (bytes) localStorage.setItem(storageKey, bytesBase64(bytes)); } catch { /* storage full or off */ }
}

// Where the keyboard goes after a step: the fight's Attack, Play Again at an
// ending, else the story.
function restoreFocus() {
  if (document.querySelector('dialog[open]')) return;
  const target = screen.battleBox ? $('attack') : screen.isEnding ? $('playAgain') : null;
  if (target) {
    target.focus();
    target.scrollIntoView({ block: 'nearest' });
  } else {
    $('story').focus({ preventScroll: true });
  }
}

// Continue brings back the game of an earlier visit: once this visit's game
// has begun, the automatic save is that game and the menu no longer offers it.
let playedThisVisit = false;

function act(step) {
  deferredCharacter = false;
  step();
  playedThisVisit = true;
  render();
  autosave();
  restoreFocus();
}

// --- controls -----------------------------------------------------------------
function takeTurn() { act(() => game.clickPicture1()); }
$('choices').addEventListener('submit', (e) => { e.preventDefault(); takeTurn(); });
document.querySelectorAll('input[name=choice]').forEach((radio, i) => {
  radio.addEventListener('change', () => { if (radio.checked) game.selectOption(i); });
});
$('attack').addEventListener('click', () => act(() => game.clickAttack()));
$('escape').addEventListener('click', () => act(() => game.clickEscape()));
$('playAgain').addEventListener('click', () => act(() => game.clickPlayAgain()));
$('endingMenu').addEventListener('click', () => openMenu());
$('endingLoad').addEventListener('click', () => $('loadFile').click());
$('menuButton').addEventListener('click', () => openMenu());
$('itemsButton').addEventListener('click', () => { $('items').showModal(); $('closeItems').focus(); });
$('closeItems').addEventListener('click', () => $('items').close());
$('items').addEventListener('close', restoreFocus);

function openMenu() {
  render();
  const menu = $('menu');
  if (!menu.open) menu.showModal();
  ($('continueGame').hidden ? $('resume') : $('continueGame')).focus();
}
$('menu').addEventListener('close', () => {
  // Resumed without continuing or loading: the new game's character panel
  // comes back.
  if (deferredCharacter) {
    deferredCharacter = false;
    screen.characterPanel = true;
    render();
  }
  restoreFocus();
});
$('resume').addEventListener('click', () => $('menu').close());
$('newGame').addEventListener('click', async () => {
  deferredCharacter = false;
  $('menu').close();
  const answer = await showMessage('WARNING!!!!', 'Are you sure? This will end the current game without saving!', ['Yes', 'No']);
  if (answer === 'yes') act(() => game.clickPlayAgain());
});
$('saveGame').addEventListener('click', () => { $('menu').close(); act(() => game.menuSave()); });
$('loadGame').addEventListener('click', () => { deferredCharacter = false; $('menu').close(); $('loadFile').click(); });
$('loadFile').addEventListener('change', async () => {
  const file = $('loadFile').files[0];
  if (!file) return;
  loadBytes = new Uint8Array(await file.arrayBuffer());
  loadName = file.name;
  $('loadFile').value = '';
  act(() => game.menuLoad());
  loadBytes = null;
  loadName = '';
});
$('continueGame').addEventListener('click', () => {
  deferredCharacter = false;
  $('menu').close();
  const stored = localStorage.getItem(storageKey);
  if (!stored) return;
  loadBytes = base64Bytes(stored);
  loadName = saveName;
  screen.inventory = [];
  screen.characterPanel = false;
  act(() => game.menuLoad());
  loadBytes = null;
  loadName = '';
});

function characterValues() {
  screen.roll = { name: $('charName').value, hitPoints: $('charHp').value, strength: $('charStrength').value, defence: $('charDefence').value };
}
$('reRoll').addEventListener('click', () => {
  characterValues();
  game.reRollCharacter();
  $('charHp').value = screen.roll.hitPoints;
  $('charStrength').value = screen.roll.strength;
  $('charDefence').value = screen.roll.defence;
});
$('create').addEventListener('click', () => { characterValues(); act(() => game.createCharacter()); });
$('closeCharacter').addEventListener('click', () => act(() => { screen.characterPanel = false; }));
$('character').addEventListener('cancel', (e) => { e.preventDefault(); act(() => { screen.characterPanel = false; }); });

// Keys as on the desktop: 1-4 select a choice, Enter takes it (or presses
// the focused button, or creates the character), Esc closes a panel or
// opens the menu.
document.addEventListener('keydown', (e) => {
  if (e.altKey || e.ctrlKey || e.metaKey) return;
  const dialogOpen = document.querySelector('dialog[open]');
  if (/^[1-4]$/.test(e.key) && !dialogOpen) {
    const i = Number(e.key) - 1;
    if (!screen.choicesAvailable || screen.options[i].caption === '') return;
    e.preventDefault();
    game.selectOption(i);
    render();
    document.querySelectorAll('input[name=choice]')[i].focus();
  } else if (e.key === 'Enter') {
    const focus = document.activeElement;
    if (focus && focus.tagName === 'BUTTON') return; // the button's own click
    if (dialogOpen) {
      if (dialogOpen.id === 'character') { e.preventDefault(); $('create').click(); }
      return;
    }
    if (focus && focus.tagName === 'INPUT' && focus.type !== 'radio') return;
    e.preventDefault();
    if (screen.choicesAvailable && !screen.isEnding) takeTurn();
  } else if (e.key === 'Escape' && !dialogOpen) {
    e.preventDefault();
    openMenu();
  }
});

// --- start ----------------------------------------------------------------------
logShown = screen.log.length; // "No Quest Loaded." belongs to the desktop's empty screen
// "#seed=N" after the page's address replays the same fights and character
// rolls, as the desktop's seed does.
const seed = /(?:^#|&)seed=(\d{1,10})(?:&|$)/.exec(location.hash);
if (seed && Number(seed[1]) <= 0xffffffff) game.setSeed(Number(seed[1]));
game.openQuest(questName);
screen.title = quest.read('Story Info', 'Title') || questName;
render();
if (localStorage.getItem(storageKey)) {
  // A game of an earlier visit: the menu offers Continue first.
  deferredCharacter = screen.characterPanel;
  screen.characterPanel = false;
  openMenu();
} else {
  restoreFocus();
}
document.documentElement.dataset.ready = 'true';
