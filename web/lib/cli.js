// The command-line runner of the web player's rules (see play-cli.js).

import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { Game } from './game.js';
import { IniFile } from './ini.js';

const EXIT_USAGE = 2;
const EXIT_UNAVAILABLE = 3;
const USAGE = 'usage: node web/play-cli.js [--json] [--program-dir DIR] [--answer yes|no] [--seed N] QUEST|- [STEP...]\n';


// A bare name (no "/" and no "\") lives in the per-user data folder, as
// desktop profile calls resolve it; "\" separates folders like "/".
function resolveIniPath(file) {
  if (!/[/\\]/.test(file)) {
    const data = process.env.XDG_DATA_HOME || path.join(os.homedir(), '.local', 'share');
    return path.join(data, 'Fablecraft', file);
  }
  return file.replace(/\\/g, '/');
}

function readRegularFile(file) {
  try {
    const st = fs.statSync(file);
    if (!st.isFile() || st.size > 512 * 1024 * 1024) return null;
    return new Uint8Array(fs.readFileSync(file));
  } catch {
    return null;
  }
}

// Parsed INI files, kept while the file's size and times are unchanged.
const cache = new Map();
function iniOf(file, mode = 'detect') {
  const p = resolveIniPath(file);
  let st;
  try { st = fs.statSync(p); } catch { return null; }
  const stamp = `${st.size}:${st.mtimeMs}:${st.ctimeMs}:${st.ino}:${mode}`;
  const hit = cache.get(p);
  if (hit && hit.stamp === stamp) return hit.ini;
  const bytes = readRegularFile(p);
  if (!bytes) return null;
  const ini = new IniFile(bytes, mode);
  cache.set(p, { stamp, ini });
  return ini;
}

function parseUInt(text) {
  const t = text.trim();
  if (!/^\+?\d+$/.test(t)) return null;
  const v = Number(t);
  return v <= 0xffffffff ? v : null;
}

// Runs one command line; returns {status, stdout, stderr}.
export function run(argv) {
  let stdout = '', stderr = '';
  const out = { write: (t) => { stdout += t; } };
  const err = { write: (t) => { stderr += t; } };
  const status = main(argv, out, err);
  return { status, stdout, stderr };
}

function main(argv, stdout, stderr) {
  const usage = (why) => {
    if (why) stderr.write(`play-cli: ${why}\n`);
    stderr.write(USAGE);
    return EXIT_USAGE;
  };
  const here = path.dirname(fileURLToPath(import.meta.url));
  const o = { json: false, programDir: path.resolve(here, '..', '..', 'data'), answer: true, seed: null };
  let i = 0;
  for (; i < argv.length; i++) {
    const a = argv[i];
    if (a === '--json') o.json = true;
    else if (a === '--program-dir' || a === '--answer' || a === '--seed') {
      if (i + 1 >= argv.length) return usage(`${a} needs a value`);
      const v = argv[++i];
      if (a === '--program-dir') o.programDir = path.resolve(v);
      else if (a === '--answer') {
        if (v !== 'yes' && v !== 'no') return usage('--answer takes yes or no');
        o.answer = v === 'yes';
      } else {
        o.seed = parseUInt(v);
        if (o.seed === null) return usage('--seed takes a whole number');
      }
    } else if (a.startsWith('--')) return usage(`unknown option ${a}`);
    else break;
  }
  while (o.programDir.length > 1 && o.programDir.endsWith('/')) o.programDir = o.programDir.slice(0, -1);
  if (i >= argv.length) return usage('QUEST (or -) is missing');
  const quest = argv[i++];
  const steps = argv.slice(i);

  const messages = [];
  const mediaLog = [];
  let fileNames = [];
  let ended = false;
  const nextFile = () => (fileNames.length ? fileNames.shift() : '');
  const mediaPath = (questFile, value) => {
    if (value === '' || value.startsWith('/') || value.startsWith(':')) return value;
    const q = resolveIniPath(questFile);
    const beside = (path.isAbsolute(q) ? q.slice(0, q.lastIndexOf('/')) || '/' : path.dirname(path.resolve(q))) + '/' + value;
    return fs.existsSync(beside) ? beside : value;
  };
  const host = {
    programDir: o.programDir,
    readIni: (file, section, key) => iniOf(file)?.read(section, key) ?? '',
    sectionNames: (file) => iniOf(file)?.sectionNames() ?? null,
    readLaunchFile: (section, key) => iniOf(o.programDir + '/game.dat')?.read(section, key) ?? '',
    information: (title, text) => messages.push({ title, text }),
    critical: (title, text) => messages.push({ title, text }),
    question: (title, text) => { messages.push({ title, text }); return o.answer; },
    openFile: nextFile,
    saveFile: nextFile,
    readBytes: (file) => readRegularFile(resolveIniPath(file)),
    writeBytes: (file, bytes) => {
      const p = resolveIniPath(file);
      const tmp = `${p}.${process.pid}.tmp`;
      try {
        fs.writeFileSync(tmp, bytes, { flag: 'wx' });
        fs.renameSync(tmp, p);
        return true;
      } catch {
        try { fs.unlinkSync(tmp); } catch { /* not created */ }
        return false;
      }
    },
    defaultAdventure: () => {
      const beside = o.programDir + '/VellumAdventure.qst';
      if (fs.existsSync(beside)) return beside;
      const installed = path.resolve(o.programDir, '..', 'share', 'fablecraft') + '/VellumAdventure.qst';
      return fs.existsSync(installed) ? installed : beside;
    },
    media: (kind, value, questFile) => {
      if (kind === 'midi-stop') { mediaLog.push('midi-stop'); return true; }
      const p = mediaPath(questFile, value);
      mediaLog.push(`${kind}:${p}`);
      return kind === 'movie' ? p !== '' : true;
    },
  };
  const game = new Game(host);
  if (o.seed !== null) game.setSeed(o.seed);
  const withFile = (name, command) => {
    fileNames = [name === '' ? '' : path.resolve(name)];
    command();
    fileNames = [];
  };
  const s = game.screen;
  const unavailable = (step) => {
    stderr.write(`${step} is not available\n`);
    return EXIT_UNAVAILABLE;
  };
  const choose = (number, full) => {
    if (!/^[+-]?\d+$/.test(number.trim())) return usage('a choice is 1, 2, 3 or 4');
    const n = Number(number.trim());
    if (n < 1 || n > 4) return usage('a choice is 1, 2, 3 or 4');
    if (!game.selectOption(n - 1)) {
      stderr.write(`choice ${n} is not offered\n`);
      return EXIT_UNAVAILABLE;
    }
    if (full) game.clickPicture1();
    else game.clickChoose();
    return 0;
  };
  const step = (st) => {
    const colon = st.indexOf(':');
    const name = colon < 0 ? st : st.slice(0, colon);
    const arg = colon < 0 ? '' : st.slice(colon + 1);
    const menus = s.menusVisible;
    const digit = colon < 0 && /^[1-4]$/.test(st);
    const isChoice = digit || st === 'turn' || (name === 'choose' && colon >= 0);
    if (isChoice && !s.choicesAvailable) return unavailable(st);
    if (digit) return choose(st, true);
    if (st === 'turn') game.clickPicture1();
    else if (name === 'choose' && colon >= 0) return choose(arg, false);
    else if (st === 'new-game') { if (!menus) return unavailable(st); game.menuNewGame(); }
    else if (st === 'book') { if (!s.bookVisible) return unavailable(st); game.clickBook(); }
    else if (name === 'load-quest' && colon >= 0) { if (!menus) return unavailable(st); withFile(arg, () => game.menuLoadQuest()); }
    else if (st === 'attack' || st === 'escape') {
      if (!s.battleBox || (st === 'escape' && !s.escapeEnabled)) return unavailable(st);
      if (st === 'attack') game.clickAttack();
      else game.clickEscape();
    } else if (name === 'save' && colon >= 0) { if (!menus) return unavailable(st); withFile(arg, () => game.menuSave()); }
    else if (name === 'load' && colon >= 0) { if (!menus) return unavailable(st); withFile(arg, () => game.menuLoad()); }
    else if (name === 'load-without-items' && colon >= 0) withFile(arg, () => game.clickLoadGame());
    else if (name === 'seed' && colon >= 0) {
      const seed = parseUInt(arg);
      if (seed === null) return usage('seed:N takes a whole number');
      game.setSeed(seed);
    } else if (st === 'close') { if (game.closeRequest()) ended = true; }
    else return usage(`unknown step ${st}`);
    return 0;
  };
  const output = () => {
    if (!o.json) return s.log;
    const state = {
      battle: {
        enemy_hp_max: s.enemyBar.maximum,
        enemy_hp_value: s.enemyBar.value,
        enemy_label: s.enemyLabel,
        enemy_hp_text: s.enemyHpText,
        escape_enabled: s.escapeEnabled,
        open: s.battleBox,
        player_hp_value: s.playerBar.value,
        text: s.battleText,
      },
      ending: s.isEnding,
      inventory: s.inventory,
      log: s.log,
      media: mediaLog,
      messages,
      options: s.options.map((x) => ({ caption: x.caption, visible: x.caption !== '' })),
      page: s.pg,
      quest: s.questfil,
      room: s.room,
      score: s.score,
      title: s.title,
    };
    return indented(state, '') + '\n';
  };

  game.startUp();
  if (quest !== '-') withFile(quest, () => game.menuLoadQuest());
  for (const st of steps) {
    if (ended) break;
    const status = step(st);
    if (status === EXIT_USAGE) return status;
    if (status !== 0) {
      stdout.write(output());
      return status;
    }
  }
  stdout.write(output());
  return 0;
}

// JSON laid out as the desktop tool prints it: four blanks a level, keys in
// order, empty arrays and objects over two lines.
function indented(v, pad) {
  const inner = pad + '    ';
  if (Array.isArray(v)) return `[\n${v.map((x) => inner + indented(x, inner)).join(',\n')}${v.length ? '\n' : ''}${pad}]`;
  if (v && typeof v === 'object') {
    const keys = Object.keys(v).sort();
    return `{\n${keys.map((k) => `${inner}${JSON.stringify(k)}: ${indented(v[k], inner)}`).join(',\n')}${keys.length ? '\n' : ''}${pad}}`;
  }
  return JSON.stringify(v);
}
