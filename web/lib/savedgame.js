// Saved games (*.sav) in the desktop format: a small Windows-1252 INI file.
// [saved game] room, option 1..4, page and Poo scrambled (each character's
// Windows-1252 code shifted down by 4), HowMuchInList plain; [List Data] the
// inventory entries under 0, 1, ...

import { IniFile, cp1252Byte, cp1252Decode } from './ini.js';

const SECTION = 'saved game';
const OPTIONS = ['option 1', 'option 2', 'option 3', 'option 4'];
const LIST = 'List Data';
const MAX_COUNT = 32767;

function shift(text, by) {
  const out = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) {
    const b = cp1252Byte(text.charCodeAt(i));
    if (b < 0) return null;
    const s = b + by;
    if (s < 0 || s > 255) return null;
    out[i] = s;
  }
  return cp1252Decode(out);
}

export const encodeText = (text) => shift(text, -4);
export const decodeText = (text) => shift(text, 4);

const storable = (v) => !/[\0\n\r]/.test(v) && [...v].every((c) => c.length === 1 && cp1252Byte(c.charCodeAt(0)) >= 0);

// The file's bytes after saving game {room, options[4], page, score,
// inventory} over existing (the old file's bytes, or an empty array), or
// null when a value cannot be stored.
export function writeSavedGame(existing, game) {
  const writes = [];
  const scrambled = (key, plain) => {
    const enc = encodeText(plain);
    if (enc === null || !storable(enc)) return false;
    writes.push([SECTION, key, enc]);
    return true;
  };
  if (!scrambled('room', game.room)) return null;
  for (let i = 0; i < 4; i++) if (!scrambled(OPTIONS[i], game.options[i])) return null;
  if (!scrambled('page', game.page) || !scrambled('Poo', game.score)) return null;
  writes.push([SECTION, 'HowMuchInList', String(game.inventory.length)]);
  for (let i = 0; i < game.inventory.length; i++) {
    const item = game.inventory[i];
    if (item === '') continue;
    if (!storable(item)) return null;
    writes.push([LIST, String(i), item]);
  }
  return new IniFile(existing, 'cp1252').withValues(writes);
}

function parseCount(text) {
  if (text === '' || text.length > 10 || (text.length > 1 && text[0] === '0') || !/^[0-9]+$/.test(text)) return -1;
  const n = Number(text);
  return n <= MAX_COUNT ? n : -1;
}

// The saved game in bytes (null: no file), or null when it is not one.
export function readSavedGame(bytes, withInventory) {
  const ini = new IniFile(bytes || new Uint8Array(0), 'cp1252');
  const read = (s, k) => ini.read(s, k);
  const rawRoom = read(SECTION, 'room');
  const rawOption1 = read(SECTION, OPTIONS[0]);
  if (rawRoom === '' && rawOption1 === '') return null;
  const game = { room: decodeText(rawRoom), options: [decodeText(rawOption1)], inventory: [] };
  for (let i = 1; i < 4; i++) game.options.push(decodeText(read(SECTION, OPTIONS[i])));
  game.page = decodeText(read(SECTION, 'page'));
  game.score = decodeText(read(SECTION, 'Poo'));
  if (game.room === null || game.options.includes(null) || game.page === null || game.score === null) return null;
  if (withInventory) {
    const count = parseCount(read(SECTION, 'HowMuchInList'));
    if (count < 0) return null;
    for (let i = 0; i < count; i++) {
      const item = read(LIST, String(i));
      if (item !== '') game.inventory.push(item);
    }
  }
  return game;
}
