// Differential test of the web player's rules against the desktop engine:
// random quests (pages, gated choices, items, scores, battles, media, odd INI
// spellings) and random step lists played by `fablecraft-cli play --json`
// and by web/lib/cli.js; the printed JSON (text and every field), the exit
// status and the bytes of every saved game written must be equal.
//
//   node tests/web/differential.mjs --cli PATH [--count N] [--seed S] [--keep DIR]
//
// The seed is printed; FC_DIFF_SEED and FC_DIFF_COUNT in the environment
// override the arguments so a failing run can be replayed.

import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const { run } = await import(path.join(here, '..', '..', 'web', 'lib', 'cli.js'));

const args = process.argv.slice(2);
const arg = (name, fallback) => {
  const i = args.indexOf(name);
  return i >= 0 && i + 1 < args.length ? args[i + 1] : fallback;
};
const cli = arg('--cli', null);
if (!cli) {
  console.error('usage: differential.mjs --cli PATH-TO-fablecraft-cli [--count N] [--seed S] [--keep DIR]');
  process.exit(2);
}
const count = Number(process.env.FC_DIFF_COUNT || arg('--count', '200'));
const seed = Number(process.env.FC_DIFF_SEED || arg('--seed', String(Date.now() % 1000000)));
const keep = arg('--keep', null);
console.log(`differential: ${count} cases, seed ${seed} (FC_DIFF_SEED=${seed} replays)`);

// A small deterministic generator for the test's own choices.
let state = seed >>> 0 || 1;
const rnd = () => {
  state ^= state << 13; state >>>= 0;
  state ^= state >>> 17;
  state ^= state << 5; state >>>= 0;
  return state / 4294967296;
};
const int = (lo, hi) => lo + Math.floor(rnd() * (hi - lo + 1));
const pick = (list) => list[Math.floor(rnd() * list.length)];
const chance = (p) => rnd() < p;

const NUMBERS = ['One', 'Two', 'Three', 'Four'];
const ITEMS = ['Key', 'Lamp', 'Rope', 'Gem', 'key', 'Old Map'];
const WORDS = ['gate', 'river', 'tower', 'Ünder the bridge', 'café', 'dark hall', 'a "quoted" room', '100%', 'storm'];

function keySpelling(key) {
  if (!chance(0.15)) return key;
  return pick([key.toLowerCase(), key.toUpperCase(), ` ${key}`, `${key}\t`]);
}

function value(v) {
  if (chance(0.08)) return `"${v}"`;
  if (chance(0.05)) return ` ${v}  `;
  return v;
}

function scoreText() {
  return pick(['0', '1', '-1', '+5', '2.5', '-2.5', '0.5', '1.5', 'abc', '', ' 7 ', '1e2', '.5', '32767', '-40000', '12x', '3.']);
}

function fightText() {
  return pick(['', '0', '1', '3', '5', '8', '12', '-2', '2.7', 'x', '40', '999999999', '1e2', ' 6']);
}

// One random quest as text; pageNames are the section names used.
function makeQuest(dir) {
  const pages = int(2, 7);
  const names = Array.from({ length: pages }, (_, i) => String(i + 1));
  const dest = () => (chance(0.9) ? pick(names) : pick(['', '99', 'nowhere']));
  const lines = [];
  if (chance(0.9)) lines.push('[Story Info]', `Title=Tale ${int(1, 999)}`, `Author=${pick(WORDS)}`, `Version=${int(1, 9)}`);
  lines.push('[CharacterData]');
  if (chance(0.7)) lines.push(`CharHp=${pick(['', '10', '20', '5', '0', 'x', '3.5', '30'])}`);
  if (chance(0.7)) lines.push(`CharAtk=${fightText()}`);
  if (chance(0.7)) lines.push(`CharDef=${fightText()}`);
  if (chance(0.3)) lines.push(`CharCreateAllow=${pick(['1', '0', ' 1'])}`, `CharName=${pick(WORDS)}`);
  for (const name of names) {
    if (chance(0.05)) lines.push('; a comment line', '');
    lines.push(chance(0.1) ? `  [ ${name} ]  trailing` : `[${name}]`);
    lines.push(`${keySpelling('Location')}=${value(pick(WORDS))}`);
    lines.push(`${keySpelling('Page Text')}=${value(`Page ${name} of ${pick(WORDS)}.`)}`);
    const options = chance(0.15) ? 0 : int(1, 4);
    for (let i = 1; i <= 4; i++) {
      const used = i <= options || chance(0.1);
      if (used) lines.push(`${keySpelling(`Option ${NUMBERS[i - 1]}`)}=${value(`Go ${pick(WORDS)} ${i}`)}`);
      if (used || chance(0.2)) lines.push(`Option ${NUMBERS[i - 1]} Destination Page=${dest()}`);
      if (chance(0.7)) lines.push(`${keySpelling(`Option ${NUMBERS[i - 1]} Score`)}=${scoreText()}`);
      if (chance(0.5)) lines.push(`Key Item${i}=${chance(0.8) ? pick(ITEMS) : ''}`);
      if (chance(0.5)) lines.push(`Add${i}=${pick(['1', '0', '1.0', '', ' 1', '2', '1e0'])}`);
      if (chance(0.5)) lines.push(`Required${i}=${pick(['1', '0', '', '2', ' 1'])}`);
    }
    if (chance(0.1)) lines.push(`Location=duplicate key, ignored`);
    if (chance(0.5)) lines.push(`Image=${pick(['media/pic.png', 'missing.png', '/abs/pic.png', ''])}`);
    if (chance(0.3)) lines.push(`Music=${pick(['media/song.mid', 'song.mid', '', 'nope.mid'])}`);
    if (chance(0.3)) lines.push(`Mp3=${pick(['media/bell.wav', 'x.mp3', ''])}`);
    if (chance(0.1)) lines.push(`Movie=${pick(['media/film.avi', 'none.avi'])}`);
    if (chance(0.35)) {
      lines.push(`${keySpelling('Battle')}=${pick(['1', '1', '1', ' 1', '0', '01'])}`);
      if (chance(0.9)) lines.push(`BattleMonName=${pick(['Rat', 'Wolf', '', 'Troll %1', 'Imp %2 x', 'Ghoul %0'])}`);
      lines.push(`BattleMonHp=${pick(['5', '12', '1', '0', '-3', '2.5', 'abc', '', '1e3', '40', '0.5', '999999999'])}`);
      if (chance(0.8)) lines.push(`BattleMonAtk=${fightText()}`);
      if (chance(0.8)) lines.push(`BattleMonDef=${fightText()}`);
      if (chance(0.5)) lines.push(`AltAtk=${pick(['Fire', 'Bite %1', ''])}`, `AltAtkDam=${fightText()}`);
      if (chance(0.4)) lines.push(`ATKMessage=${pick(['It bites!', 'Claws %1 rake you.', ''])}`);
      if (chance(0.4)) lines.push(`BattleMonKeyItem=${pick(ITEMS)}`);
      if (chance(0.3)) lines.push(`BattleMonExp=${fightText()}`);
      if (chance(0.9)) lines.push(`BattleWin=${dest()}`);
      if (chance(0.9)) lines.push(`BattleLose=${dest()}`);
      if (chance(0.7)) lines.push(`BattleEscape=${dest()}`);
      if (chance(0.7)) lines.push(`BattleEscapecheck=${pick(['0', '1', '', 'no'])}`);
      if (chance(0.3)) lines.push(`BattleImage=${pick(['media/pic.png', 'foe.png'])}`);
      if (chance(0.3)) lines.push(`BattleMusic=${pick(['media/song.mid', 'fight.mid'])}`);
    }
  }
  if (chance(0.1)) lines.push('[1]', 'Page Text=a duplicate section, never read');
  if (chance(0.5)) lines.push(' [Hall] ', 'Page Text=The hall.', 'Option One=Back', 'Option One Destination Page=1');
  const eol = pick(['\r\n', '\r\n', '\r\n', '\n', '\r']);
  let text = lines.join(eol) + (chance(0.8) ? eol : '');
  let bytes;
  const enc = rnd();
  if (enc < 0.6) bytes = Buffer.from(text, 'latin1'); // Windows-1252 for these characters
  else if (enc < 0.85) bytes = Buffer.from(text, 'utf8');
  else if (enc < 0.95) bytes = Buffer.concat([Buffer.from([0xef, 0xbb, 0xbf]), Buffer.from(text, 'utf8')]);
  else bytes = Buffer.concat([Buffer.from([0xff, 0xfe]), Buffer.from(text, 'utf16le')]);
  const file = path.join(dir, 'quest.qst');
  fs.writeFileSync(file, bytes);
  return file;
}

function prepareFiles(dir) {
  fs.rmSync(path.join(dir, 'saves'), { recursive: true, force: true });
  fs.mkdirSync(path.join(dir, 'saves'));
  // An older saved game with extra keys and a comment: saving over it keeps them.
  fs.writeFileSync(path.join(dir, 'saves', 'old.sav'),
    Buffer.from('; kept\r\n[saved game]\r\nroom=Pjh\r\noption 1=Kk\r\npage=-\r\nPoo=,\r\nHowMuchInList=3\r\nextra=1\r\n[List Data]\r\n0=Rope\r\n2=Gem\r\n5=Old', 'latin1'));
  fs.writeFileSync(path.join(dir, 'saves', 'bad.sav'), Buffer.from('[other]\r\nx=1\r\n'));
  fs.writeFileSync(path.join(dir, 'saves', 'badcount.sav'), Buffer.from('[saved game]\r\nroom=Pjh\r\nHowMuchInList=02\r\n'));
  // Saved games whose page line is empty, names no page, or names one in
  // another case or with a no-break space before it (scrambled: "", "99",
  // "hALL", "\u00a02").
  for (const [name, page] of [['emptypage', ''], ['nopage', '55'], ['casepage', 'd=HH'], ['spacepage', '\x9c.']])
    fs.writeFileSync(path.join(dir, 'saves', `${name}.sav`),
      Buffer.from(`[saved game]\r\nroom=Pjh\r\noption 1=Kk\r\npage=${page}\r\nPoo=,\r\nHowMuchInList=0\r\n`, 'latin1'));
}

// Chooses the next step from the state the web rules report, mostly an
// available one.
function nextStep(json, dir) {
  const st = JSON.parse(json);
  const visible = st.options.map((o, i) => (o.visible ? String(i + 1) : null)).filter(Boolean);
  const saves = ['new.sav', 'old.sav', 'bad.sav', 'badcount.sav', 'none.sav', 'emptypage.sav', 'nopage.sav', 'casepage.sav', 'spacepage.sav'].map((f) => path.join(dir, 'saves', f));
  const r = rnd();
  if (st.battle.open && r < 0.75) return chance(0.85) ? 'attack' : 'escape';
  if (r < 0.6 && visible.length) return pick(visible);
  if (r < 0.65) return `choose:${pick(visible.length ? visible : ['1'])}`;
  if (r < 0.7) return 'turn';
  if (r < 0.78) return `save:${pick(saves.slice(0, 2))}`;
  if (r < 0.86) return `load:${pick(saves)}`;
  if (r < 0.89) return `load-without-items:${pick(saves)}`;
  if (r < 0.92) return `seed:${int(0, 4294967295)}`;
  if (r < 0.94) return 'new-game';
  if (r < 0.96) return `load-quest:${path.join(dir, 'quest.qst')}`;
  if (r < 0.97) return 'close';
  return pick(['1', '2', '3', '4', 'attack', 'escape', 'book']);
}

function savedFiles(dir) {
  const out = {};
  for (const f of fs.readdirSync(path.join(dir, 'saves')).sort()) out[f] = fs.readFileSync(path.join(dir, 'saves', f)).toString('hex');
  return out;
}

function differences(a, b, where = '', out = []) {
  if (typeof a !== typeof b || Array.isArray(a) !== Array.isArray(b) || a === null || b === null || typeof a !== 'object') {
    if (a !== b) out.push(`${where || '(value)'}: desktop ${JSON.stringify(a)} web ${JSON.stringify(b)}`);
    return out;
  }
  const keys = new Set([...Object.keys(a), ...Object.keys(b)]);
  for (const k of keys) differences(a[k], b[k], `${where}.${k}`, out);
  return out;
}

const root = fs.mkdtempSync(path.join(os.tmpdir(), 'fc-diff-'));
process.env.XDG_DATA_HOME = path.join(root, 'xdg');
const programDir = path.join(root, 'program');
fs.mkdirSync(programDir);
// The default adventure of "new-game": a small quest of its own.
fs.writeFileSync(path.join(programDir, 'VellumAdventure.qst'),
  '[Story Info]\r\nTitle=Default\r\n[1]\r\nLocation=Home\r\nPage Text=The default adventure.\r\nOption One=On\r\nOption One Destination Page=2\r\nMusic=home.mid\r\n[2]\r\nPage Text=End.\r\n');

let mismatches = 0;
let stepsTotal = 0;
for (let n = 0; n < count; n++) {
  const dir = path.join(root, `case${n}`);
  fs.mkdirSync(path.join(dir, 'media'), { recursive: true });
  for (const f of ['pic.png', 'song.mid', 'bell.wav', 'film.avi']) fs.writeFileSync(path.join(dir, 'media', f), 'x');
  const quest = makeQuest(dir);
  const fightSeed = int(0, 4294967295);
  const base = ['--json', '--program-dir', programDir, '--seed', String(fightSeed), '--answer', chance(0.8) ? 'yes' : 'no'];
  if (chance(0.03)) fs.writeFileSync(path.join(programDir, 'game.dat'), `[loaddat]\r\nQuestFile=../case${n}/quest.qst\r\n[Game Data]\r\nTitle=Packaged ${n}\r\n`);
  else fs.rmSync(path.join(programDir, 'game.dat'), { force: true });

  // The step list, grown one step at a time from the web rules' state.
  const steps = [];
  const length = int(1, 16);
  prepareFiles(dir);
  let web = run([...base, quest]);
  for (let k = 0; k < length && web.status === 0; k++) {
    steps.push(nextStep(web.stdout, dir));
    prepareFiles(dir);
    web = run([...base, quest, ...steps]);
  }
  stepsTotal += steps.length;
  const webSaves = savedFiles(dir);

  prepareFiles(dir);
  const desk = spawnSync(cli, ['play', ...base, quest, ...steps], { encoding: 'utf8', env: { ...process.env, XDG_DATA_HOME: path.join(root, 'xdg') } });
  const deskSaves = savedFiles(dir);

  const problems = [];
  if (desk.error || desk.status === null) problems.push(`fablecraft-cli did not run: ${desk.error?.message ?? `signal ${desk.signal}`}`);
  else if (desk.status !== web.status) problems.push(`exit status: desktop ${desk.status} web ${web.status}`);
  if (desk.stdout || web.stdout) {
    let a = null, b = null;
    try { a = JSON.parse(desk.stdout); } catch { problems.push(`desktop output is no JSON: ${desk.stdout.slice(0, 200)} ${desk.stderr}`); }
    try { b = JSON.parse(web.stdout); } catch { problems.push(`web output is no JSON: ${web.stdout.slice(0, 200)}`); }
    if (a && b) problems.push(...differences(a, b));
    if (a && b && !problems.length && desk.stdout !== web.stdout) problems.push('the JSON text differs in layout or escaping');
  }
  problems.push(...differences(deskSaves, webSaves, 'saves'));
  if (problems.length) {
    mismatches++;
    console.log(`case ${n}: MISMATCH  quest ${quest}\n  steps: ${base.join(' ')} ${steps.join(' ')}`);
    for (const p of problems.slice(0, 8)) console.log(`  ${p.slice(0, 400)}`);
    if (keep) {
      fs.mkdirSync(keep, { recursive: true });
      execFileSync('cp', ['-r', dir, path.join(keep, `case${n}`)]);
    }
  }
}
if (!keep) fs.rmSync(root, { recursive: true, force: true });
console.log(`differential: ${count} cases, ${stepsTotal} steps, ${mismatches} mismatches (seed ${seed})`);
process.exit(mismatches ? 1 : 0);
