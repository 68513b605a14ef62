// The exported web page in headless Chromium (Debian's chromium, driven by
// puppeteer-core; no browser is downloaded), and in Firefox when given:
//
// - every ending: the ways to the endings the desktop checker lists are found
//   with the web player's own engine under Node (paths.mjs, the page's seed),
//   then played on the page from file:// with the keyboard only, one after
//   the other through Play Again; after every key the page must show what the
//   engine says: page, score, items, hit points, choices, the fight, the page
//   picture, the fight's picture, the sound, the movie and the music playing;
// - saved games: a game saved by the desktop engine (fablecraft-cli play)
//   loads in the page with the same page, score, items and choices; the game
//   the page then saves is byte for byte what the desktop writes for the same
//   state and loads back in the desktop engine; the next visit offers Continue;
// - the layout at 360 px and 1280 px, with text at 100 % and 200 %
//   (screenshots in the output folder);
// - Firefox: the page plays through a fight to an ending with the keys.
//
//   node tests/web/browser.mjs --cli PATH --chromium PATH --quest QUEST --out DIR [--firefox PATH]
//
// The seed of the fights and character rolls is printed; FC_WEB_SEED replays
// another.

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';
import { PagePlayer, readExportedPage, wayTo } from './paths.mjs';

const args = process.argv.slice(2);
const arg = (name, optional = false) => {
  const i = args.indexOf(name);
  if (optional && i < 0) return null;
  if (i < 0 || i + 1 >= args.length) {
    console.error('usage: browser.mjs --cli PATH --chromium PATH --quest QUEST --out DIR [--firefox PATH]');
    process.exit(2);
  }
  return args[i + 1];
};
const cli = arg('--cli');
const chromium = arg('--chromium');
const questFile = path.resolve(arg('--quest'));
const out = path.resolve(arg('--out'));
const firefox = arg('--firefox', true); // Debian's firefox-esr, where installed
const seed = Number(process.env.FC_WEB_SEED || 20261209) >>> 0;
console.log(`seed ${seed} (FC_WEB_SEED=${seed} replays)`);
fs.rmSync(out, { recursive: true, force: true });
const downloads = path.join(out, 'downloads');
fs.mkdirSync(downloads, { recursive: true });

let failures = 0;
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures++;
  return ok;
}
const same = (a, b) => JSON.stringify(a) === JSON.stringify(b);
const desktop = (...argv) => JSON.parse(execFileSync(cli, ['play', '--json', ...argv], { encoding: 'utf8', maxBuffer: 64 << 20 }));

// Export.
const pageFile = path.join(out, 'adventure.html');
let t0 = Date.now();
const exported = execFileSync(cli, ['export-web', questFile, pageFile], { encoding: 'utf8' });
const exportMs = Date.now() - t0;
console.log(exported.trim());
const pageUrl = `${pathToFileURL(pageFile).href}#seed=${seed}`;
const exportedPage = readExportedPage(pageFile);
const quest = new PagePlayer(exportedPage, 0).quest;

// The endings as the desktop checker finds them, and a way to each.
const endings = JSON.parse(execFileSync(cli, ['check', '--json', questFile], { encoding: 'utf8' })).endings.map((e) => e.page);
check(endings.length > 0, `the checker lists the endings: ${endings.join(', ')}`);
t0 = Date.now();
const ways = [];
let planner = new PagePlayer(exportedPage, seed);
for (const goal of endings) {
  const found = wayTo(planner, goal);
  if (!check(found !== null, `the engine finds a way to ending ${goal}`)) continue;
  ways.push({ goal, way: found.way });
  planner = found.player;
  planner.act('playAgain');
}
console.log(`ways found in ${Date.now() - t0} ms: ${ways.map((w) => `${w.goal} (${w.way.length} steps)`).join(', ')}`);
check(ways.some((w) => w.way.some((s) => s.action === 'attack')), 'some ways go through a fight');

// What the page shows now.
const shown = (page) => page.evaluate(() => {
  const $ = (id) => document.getElementById(id);
  return {
    page: document.body.dataset.page,
    score: $('score').textContent,
    items: [...document.querySelectorAll('#inventory li')].map((e) => e.textContent),
    battle: !$('battle').hidden,
    ending: !$('ending').hidden,
    character: $('character').open,
    hp: $('hp').textContent,
    options: [...document.querySelectorAll('#choices label')].map((l) => (l.hidden ? '' : l.querySelector('span').textContent)),
    focus: document.activeElement?.id,
    message: $('message').open ? $('messageText').textContent : null,
  };
});

// A media check on the page: the element's source is the embedded file the
// quest names (compared inside the page; the data are large), and for a
// picture, the picture is not hidden.
const mediaShown = (page, id, value) => page.evaluate((id, value) => {
  window.fcMedia ??= JSON.parse(document.getElementById('fc-media').textContent);
  const m = window.fcMedia;
  const index = Object.hasOwn(m.v, value) ? m.v[value] : m.v[value.replace(/\\/g, '/')];
  const e = document.getElementById(id);
  return index !== undefined && e.getAttribute('src') === m.f[index] && (e.tagName !== 'IMG' || !e.closest('[hidden]'));
}, id, value);

// Tab (or Shift+Tab, back) until the focus is on id.
async function focusOn(page, id, back = false) {
  const k = page.keyboard;
  for (let i = 0; i < 10 && (await page.evaluate(() => document.activeElement?.id)) !== id; i++) {
    if (back) await k.down('Shift');
    await k.press('Tab');
    if (back) await k.up('Shift');
  }
  return (await page.evaluate(() => document.activeElement?.id)) === id;
}

// Plays one planned action with the keys.
async function press(page, action) {
  const k = page.keyboard;
  if (action === 'create') await k.press('Enter');
  else if (action === 'createWeak') {
    // Shift+Tab back to Hit Points, type 1 over the roll, Enter creates.
    if (!(await focusOn(page, 'charHp', true))) return check(false, 'Shift+Tab reaches Hit Points');
    await page.evaluate(() => document.getElementById('charHp').select());
    await k.type('1');
    await k.press('Enter');
  } else if (action === 'attack') {
    const focus = await page.evaluate(() => document.activeElement?.id);
    if (focus !== 'attack') check(false, `the fight puts the keys on Attack, not on ${focus}`);
    await k.press('Enter');
  } else if (action === 'escape') {
    await k.press('Tab');
    if ((await page.evaluate(() => document.activeElement?.id)) !== 'escape') check(false, 'Tab goes from Attack to Escape');
    await k.press('Enter');
  } else if (action === 'playAgain') {
    await k.press('Enter');
  } else {
    await k.press(action.slice(6));
    await k.press('Enter');
  }
}

// Waits until the page stands where the engine does, then compares the rest.
// Returns the differences.
async function compare(page, want, musicStarted) {
  await page.waitForFunction((w) => document.body.dataset.page === w.page
    && document.getElementById('battle').hidden === !w.battle
    && document.getElementById('ending').hidden === !w.ending
    && document.getElementById('character').open === w.character, { timeout: 15000 }, want).catch(() => {});
  const s = await shown(page);
  const diffs = [];
  for (const k of ['page', 'score', 'items', 'battle', 'ending', 'character', 'hp', 'options']) {
    if (!same(s[k], want[k])) diffs.push(`${k} ${JSON.stringify(s[k])} (engine: ${JSON.stringify(want[k])})`);
  }
  if (s.message !== null) diffs.push(`a message is open: ${s.message}`);
  if (want.picture && !(await mediaShown(page, 'picture', want.picture))) diffs.push(`the picture is not ${want.picture}`);
  if (want.battle && want.battlePicture && !(await mediaShown(page, 'battlePicture', want.battlePicture))) diffs.push(`the fight's picture is not ${want.battlePicture}`);
  if (want.sound && !(await mediaShown(page, 'sound', want.sound))) diffs.push(`the sound is not ${want.sound}`);
  if (want.movie && !(await mediaShown(page, 'movie', want.movie))) diffs.push(`the movie is not ${want.movie}`);
  if (musicStarted && want.music) {
    const playing = await page.waitForFunction((v) => {
      const m = document.getElementById('music');
      return m.dataset.state === 'playing' && m.dataset.track === v;
    }, { timeout: 15000 }, want.music).then(() => true, () => false);
    if (!playing) diffs.push(`the music ${want.music} is not playing (${await page.$eval('#music', (m) => `${m.dataset.state} ${m.dataset.track ?? ''}`)})`);
  }
  return diffs;
}

// Screenshots still to take while playing.
const shots = new Set(['battle']);

// Plays a planned way with the keys; checks after every action.
async function playWay(page, label, way) {
  for (const [i, { action, state }] of way.entries()) {
    await press(page, action);
    const diffs = await compare(page, state, true);
    if (diffs.length) {
      check(false, `${label}: after ${way.slice(0, i + 1).map((s) => s.action).join(' ')}: ${diffs.join('; ')}`);
      return false;
    }
    if (state.battle && shots.has('battle')) {
      shots.delete('battle');
      await screenshot(page, `battle-${shots.browser}-1280.png`);
      await page.setViewport({ width: 360, height: 780 });
      await screenshot(page, `battle-${shots.browser}-360.png`);
      await page.setViewport({ width: 1280, height: 900 });
    }
  }
  const end = way[way.length - 1].state;
  const s = await shown(page);
  const endingText = await page.$eval('#ending', (e) => (e.hidden ? '' : e.textContent));
  const location = quest.read(end.page, 'Location');
  const story = await page.$eval('#story', (e) => e.lastElementChild?.textContent ?? '');
  check(s.ending && endingText.includes('The story ends here.') && endingText.includes('Play Again') && story.includes(location),
    `${label}: ending ${end.page} ("${location}") is shown with Play Again, score ${s.score}, ${way.length} actions`);
  check(s.focus === 'playAgain', `${label}: the ending puts the keys on Play Again`);
  return true;
}

async function openPage(page, url) {
  t0 = Date.now();
  await page.goto(url);
  await page.waitForSelector('html[data-ready=true]');
  return Date.now() - t0;
}

const screenshot = (page, name) => page.screenshot({ path: path.join(out, name) });

// Waits for a download of the given name.
async function downloaded(file) {
  for (let i = 0; i < 200 && !fs.existsSync(file); i++) await new Promise((r) => setTimeout(r, 50));
  return fs.existsSync(file);
}

async function chooseInMenu(page, id) {
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => document.getElementById('menu').open);
  return focusOn(page, id);
}

const figures = { exportMs, pageBytes: fs.statSync(pageFile).size };
const browser = await puppeteer.launch({
  executablePath: chromium,
  headless: true,
  args: ['--no-sandbox', '--autoplay-policy=user-gesture-required', '--mute-audio'],
});
try {
  const session = await browser.target().createCDPSession();
  await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('requestfailed', (r) => { if (!r.url().startsWith('data:') && !r.url().startsWith('blob:')) errors.push(`request ${r.url()}`); });
  page.on('request', (r) => { if (/^https?:/.test(r.url())) errors.push(`network request ${r.url()}`); });
  await page.setViewport({ width: 1280, height: 900 });

  // --- every ending --------------------------------------------------------
  figures.chromiumFirstPageMs = await openPage(page, pageUrl);
  const start = new PagePlayer(exportedPage, seed).state();
  check(await page.$eval('#story', (e) => e.textContent.includes("Corvin's Bindery")), 'the first page is shown');
  check(same(await compare(page, start, false), []), 'the page shows the engine\'s first state, with its picture');
  check(await page.$eval('#music', (e) => e.dataset.state === 'stopped'), 'no music before the first key');
  await screenshot(page, 'start-1280.png');
  shots.browser = 'chromium';
  let reached = 0;
  for (const [n, { goal, way }] of ways.entries()) {
    if (n > 0) {
      await press(page, 'playAgain');
    }
    // The ways follow one another (the fights draw on one random sequence):
    // after a wrong turn the rest cannot be played.
    if (!(await playWay(page, `ending ${goal}`, way))) break;
    reached++;
    if (n === 0) await screenshot(page, 'ending-1280.png');
  }
  check(reached === endings.length && endings.length > 0, `all ${endings.length} endings played with the keys (${reached} reached)`);

  // --- saved games between the desktop and the page ---------------------------
  // The desktop engine plays to the far side of the first fight of a way and
  // saves there.
  const fought = ways.find((w) => w.way.some((s) => s.action === 'attack')).way;
  const steps = [];
  for (const { action } of fought) {
    if (action.startsWith('choice')) steps.push(action.slice(6));
    else if (action === 'attack') break;
  }
  const desktopSav = path.join(out, 'desktop.sav');
  let d = desktop('--seed', String(seed), questFile, ...steps);
  while (d.battle.open && steps.length < 200) {
    steps.push('attack');
    d = desktop('--seed', String(seed), questFile, ...steps);
  }
  d = desktop('--seed', String(seed), questFile, ...steps, `save:${desktopSav}`);
  check(fs.existsSync(desktopSav) && d.inventory.length > 0 && !d.battle.open,
    `the desktop saved a game on page ${d.page}, score ${d.score}, items ${d.inventory.join(', ')}`);

  // A first visit again: no game kept in the browser.
  await page.evaluate(() => localStorage.clear());
  await page.reload();
  await page.waitForSelector('html[data-ready=true]');
  check(await page.evaluate(() => document.getElementById('character').open && document.getElementById('continueGame').hidden),
    'a first visit opens the character panel and offers no Continue');
  await page.keyboard.press('Escape');
  check(await page.evaluate(() => !document.getElementById('character').open), 'Esc closes the character panel');
  check(await chooseInMenu(page, 'loadGame'), 'Esc opens the menu and Tab reaches Load Game');
  // The file chooser is intercepted before the key opens it (the round trip
  // makes sure the browser has taken the interception).
  const choosing = page.waitForFileChooser();
  await page.evaluate(() => true);
  await page.keyboard.press('Enter');
  await (await choosing).accept([desktopSav]);
  await page.waitForFunction(() => document.getElementById('story').textContent.includes('Loaded Successfully.'));
  let s = await shown(page);
  check(s.page === d.page && s.score === d.score && same(s.items, d.inventory) && same(s.options, d.options.map((o) => o.caption)),
    `the desktop's saved game loads in the page: page ${s.page}, score ${s.score}, items ${s.items.join(', ')}`);
  check(await page.$eval('#story', (e, room) => e.lastElementChild.textContent.endsWith(room.replace(/\r\n/g, '\n')), d.room), 'the loaded page text is shown');
  await screenshot(page, 'loaded-1280.png');

  // One more choice on the page, then Save Game with the keys.
  const choice = String(s.options.findIndex((o) => o !== '') + 1);
  await page.keyboard.press(choice);
  await page.keyboard.press('Enter');
  const webSav = path.join(downloads, path.basename(questFile).replace(/\.qst$/i, '.sav'));
  fs.rmSync(webSav, { force: true });
  check(await chooseInMenu(page, 'saveGame'), 'Tab reaches Save Game');
  check(await page.evaluate(() => document.getElementById('continueGame').hidden), 'in a game the menu does not offer Continue');
  await page.keyboard.press('Enter');
  check(await downloaded(webSav), `Save Game downloads ${path.basename(webSav)}`);
  s = await shown(page);
  if (fs.existsSync(webSav)) {
    const back = desktop(questFile, `load:${webSav}`);
    check(back.page === s.page && back.score === s.score && same(back.inventory, s.items) && same(back.options.map((o) => o.caption), s.options),
      `the page's saved game loads in the desktop engine: page ${back.page}, score ${back.score}, items ${back.inventory.join(', ')}`);
    const desktopAgain = path.join(out, 'desktop-same-state.sav');
    desktop('--seed', String(seed), questFile, ...steps, choice, `save:${desktopAgain}`);
    check(Buffer.compare(fs.readFileSync(webSav), fs.readFileSync(desktopAgain)) === 0,
      'the page saves byte for byte what the desktop saves for the same state');
  }

  // The next visit offers Continue, which brings the game back.
  await page.reload();
  await page.waitForSelector('html[data-ready=true]');
  check(await page.evaluate(() => document.getElementById('menu').open && document.activeElement?.id === 'continueGame'),
    'on the next visit the menu offers Continue');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.getElementById('story').textContent.includes('Loaded Successfully.'));
  const again = await shown(page);
  check(again.page === s.page && again.score === s.score && same(again.items, s.items), `Continue brings back page ${s.page}, score ${s.score}`);

  // --- the layout ----------------------------------------------------------------
  await page.keyboard.press('Escape');
  await page.keyboard.press('Escape');
  for (const width of [360, 1280]) {
    await page.setViewport({ width, height: width === 360 ? 780 : 900 });
    await page.evaluate(() => window.scrollTo(0, 0));
    await screenshot(page, `page-${width}.png`);
    const overflow = await page.evaluate(() => document.documentElement.scrollWidth - document.documentElement.clientWidth);
    check(overflow <= 0, `nothing runs off the page sideways at ${width} px`);
  }
  await page.evaluate(() => { document.documentElement.style.fontSize = '200%'; });
  for (const width of [360, 1280]) {
    await page.setViewport({ width, height: 900 });
    const overflow = await page.evaluate(() => document.documentElement.scrollWidth - document.documentElement.clientWidth);
    check(overflow <= 0, `text at 200 % fits ${width} px (overflow ${overflow} px)`);
    await screenshot(page, `page-${width}-text200.png`);
  }
  check(errors.length === 0, `no script errors and no network requests${errors.length ? `: ${errors.join('; ')}` : ''}`);
} finally {
  await browser.close();
}

// --- Firefox: through a fight to an ending ----------------------------------------
if (firefox) {
  const fresh = new PagePlayer(exportedPage, seed);
  let way = null;
  for (const goal of endings) {
    const found = wayTo(fresh, goal);
    if (found && found.way.some((s) => s.action === 'attack') && found.way[0].action === 'create') { way = found.way; break; }
  }
  const ff = await puppeteer.launch({ browser: 'firefox', executablePath: firefox, headless: true });
  try {
    const page = await ff.newPage();
    const errors = [];
    page.on('pageerror', (e) => errors.push(e.message));
    await page.setViewport({ width: 1280, height: 900 });
    figures.firefoxFirstPageMs = await openPage(page, pageUrl);
    shots.add('battle');
    shots.browser = 'firefox';
    check(same(await compare(page, fresh.state(), false), []), 'firefox: the first page is shown with its picture');
    if (check(way !== null, 'firefox: a way through a fight to an ending')) {
      await playWay(page, `firefox: ending ${way[way.length - 1].state.page}`, way);
    }
    await page.setViewport({ width: 360, height: 780 });
    await page.evaluate(() => window.scrollTo(0, 0));
    await screenshot(page, 'firefox-360.png');
    check(errors.length === 0, `firefox: no script errors${errors.length ? `: ${errors.join('; ')}` : ''}`);
  } finally {
    await ff.close();
  }
}
console.log(`figures: export ${figures.exportMs} ms, page ${figures.pageBytes} bytes, first page ${figures.chromiumFirstPageMs} ms in Chromium`
  + (figures.firefoxFirstPageMs !== undefined ? `, ${figures.firefoxFirstPageMs} ms in Firefox` : ''));
console.log(failures ? `${failures} checks failed` : 'all checks passed');
process.exit(failures ? 1 : 0);
