// The exported web page in headless Chromium (Debian's chromium, driven by
// puppeteer-core; no browser is downloaded): exports the quest, opens the page
// from file://, plays with the keyboard only through a fight to an ending,
// saves a game, reloads the page and loads the game again. Checks that the
// music starts with the first key, that the saved game is byte for byte what
// the desktop engine writes for the same state, and takes screenshots at
// 360 px and 1280 px widths.
//
//   node tests/web/browser.mjs --cli PATH --chromium PATH --quest QUEST --out DIR [--firefox PATH]

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const { IniFile } = await import(path.join(here, '..', '..', 'web', 'lib', 'ini.js'));

const args = process.argv.slice(2);
const arg = (name, optional = false) => {
  const i = args.indexOf(name);
  if (optional && i < 0) return null;
  if (i < 0 || i + 1 >= args.length) {
    console.error('usage: browser.mjs --cli PATH --chromium PATH --quest QUEST --out DIR');
    process.exit(2);
  }
  return args[i + 1];
};
const cli = arg('--cli');
const chromium = arg('--chromium');
const questFile = path.resolve(arg('--quest'));
const out = path.resolve(arg('--out'));
const firefox = arg('--firefox', true); // Debian's firefox-esr, where installed
fs.rmSync(out, { recursive: true, force: true });
fs.mkdirSync(path.join(out, 'downloads'), { recursive: true });

let failures = 0;
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures++;
}

// Export.
const pageFile = path.join(out, 'adventure.html');
let t0 = Date.now();
const exported = execFileSync(cli, ['export-web', questFile, pageFile], { encoding: 'utf8' });
const exportMs = Date.now() - t0;
console.log(exported.trim());
console.log(`export: ${exportMs} ms, ${fs.statSync(pageFile).size} bytes`);

// The quest's page graph, for finding the way to a fight and to an ending.
const quest = new IniFile(new Uint8Array(fs.readFileSync(questFile)));
const NUMBERS = ['One', 'Two', 'Three', 'Four'];
const pageNames = [...quest.sectionIndex.keys()].filter((n) => /^\d+$/.test(n));
const edges = (p) => {
  const list = [];
  for (let i = 1; i <= 4; i++) {
    if (quest.read(p, `Option ${NUMBERS[i - 1]}`) !== '') list.push(quest.read(p, `Option ${NUMBERS[i - 1]} Destination Page`));
  }
  if (quest.read(p, 'Battle') === '1') list.push(quest.read(p, 'BattleWin'), quest.read(p, 'BattleLose'));
  return list.filter((d) => d !== '');
};
const isBattle = (p) => quest.read(p, 'Battle') === '1';
const isEnding = (p) => edges(p).length === 0;
function distances(goal) {
  const dist = new Map();
  const queue = pageNames.filter(goal);
  for (const p of queue) dist.set(p, 0);
  // Reverse breadth-first search over the edges.
  for (let changed = true; changed;) {
    changed = false;
    for (const p of pageNames) {
      for (const d of edges(p)) {
        if (dist.has(d) && (!dist.has(p) || dist.get(p) > dist.get(d) + 1)) { dist.set(p, dist.get(d) + 1); changed = true; }
      }
    }
  }
  return dist;
}
const toBattle = distances(isBattle);
const toEnding = distances(isEnding);

const browser = await puppeteer.launch({
  executablePath: chromium,
  headless: true,
  args: ['--no-sandbox', '--autoplay-policy=user-gesture-required', '--mute-audio'],
});
try {
  const session = await browser.target().createCDPSession();
  await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: path.join(out, 'downloads') });
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('requestfailed', (r) => { if (!r.url().startsWith('data:') && !r.url().startsWith('blob:')) errors.push(`request ${r.url()}`); });
  page.on('request', (r) => { if (/^https?:/.test(r.url())) errors.push(`network request ${r.url()}`); });
  await page.setViewport({ width: 1280, height: 900 });

  t0 = Date.now();
  await page.goto(pathToFileURL(pageFile).href);
  await page.waitForSelector('html[data-ready=true]');
  const firstPageMs = Date.now() - t0;
  console.log(`first page: ${firstPageMs} ms`);
  check(await page.$eval('#story', (e) => e.textContent.includes("Corvin's Bindery")), 'the first page is shown');
  check(await page.$eval('#picture', (e) => e.src.startsWith('data:image/png')), 'the page picture is embedded');
  check(await page.$eval('#music', (e) => e.dataset.state === 'stopped'), 'no music before the first key');

  const key = async (k) => { await page.keyboard.press(k); };
  const state = () => page.evaluate(() => ({
    page: document.body.dataset.page,
    battle: !document.getElementById('battle').hidden,
    ending: !document.getElementById('ending').hidden,
    character: document.getElementById('character').open,
    message: document.getElementById('message').open,
    options: [...document.querySelectorAll('input[name=choice]')].map((r) => !r.closest('label').hidden),
    focus: document.activeElement?.id,
  }));

  // The character panel opens first: Enter creates the character.
  check((await state()).character, 'the character panel is open at the start');
  await key('Enter');
  const started = await page.waitForFunction(() => document.getElementById('music').dataset.state === 'playing', { timeout: 10000 })
    .then(() => true, () => false);
  check(started, 'the music started with the first key');
  check(!(await state()).character, 'Enter created the character');

  // Keys only: 1-4 and Enter on the story, Enter on Attack in a fight.
  let fought = false;
  let saved = null;
  const visits = new Map();
  for (let steps = 0; steps < 200; steps++) {
    const s = await state();
    if (s.message) { await key('Enter'); continue; }
    if (s.ending) break;
    if (s.battle) {
      fought = true;
      check(s.focus === 'attack', `the fight puts the keys on Attack (page ${s.page})`);
      await key('Enter');
      continue;
    }
    if (fought && !saved) {
      // Save a game with the keys: Esc, the menu's Save Game, Enter.
      await key('Escape');
      await page.waitForFunction(() => document.getElementById('menu').open);
      for (let i = 0; i < 8 && (await page.evaluate(() => document.activeElement.id)) !== 'saveGame'; i++) await key('Tab');
      await key('Enter');
      const file = path.join(out, 'downloads', path.basename(questFile).replace(/\.qst$/, '.sav'));
      for (let i = 0; i < 100 && !fs.existsSync(file); i++) await new Promise((r) => setTimeout(r, 100));
      saved = {
        file,
        page: s.page,
        score: await page.$eval('#score', (e) => e.textContent),
        items: await page.$$eval('#inventory li', (l) => l.map((e) => e.textContent)),
      };
      check(fs.existsSync(file), `Save Game downloaded ${path.basename(file)} on page ${s.page}`);
      continue;
    }
    const dist = fought ? toEnding : toBattle;
    let best = -1, bestCost = Infinity;
    s.options.forEach((shown, i) => {
      if (!shown) return;
      const d = quest.read(s.page, `Option ${NUMBERS[i]} Destination Page`);
      const cost = (dist.get(d) ?? 1000) + 3 * (visits.get(d) ?? 0);
      if (cost < bestCost) { bestCost = cost; best = i; }
    });
    if (best < 0) { check(false, `no choice on page ${s.page}`); break; }
    visits.set(s.page, (visits.get(s.page) ?? 0) + 1);
    await key(String(best + 1));
    await key('Enter');
  }
  const end = await state();
  check(fought, 'the way went through a fight');
  check(end.ending, `an ending was reached (page ${end.page})`);
  check(end.focus === 'playAgain', 'the ending offers Play Again to the keys');
  await page.screenshot({ path: path.join(out, 'ending-1280.png') });

  if (saved && fs.existsSync(saved.file)) {
    // The desktop engine loads the saved game and writes the same bytes.
    const again = path.join(out, 'desktop.sav');
    execFileSync(cli, ['play', '--json', questFile, `load:${saved.file}`, `save:${again}`]);
    check(Buffer.compare(fs.readFileSync(saved.file), fs.readFileSync(again)) === 0, 'the saved game is byte for byte what the desktop writes');

    // Reload the page and load the game with the keys.
    await page.reload();
    await page.waitForSelector('html[data-ready=true]');
    check(await page.evaluate(() => document.getElementById('menu').open && !document.getElementById('continueGame').hidden),
      'on the next visit the menu offers Continue');
    for (let i = 0; i < 8 && (await page.evaluate(() => document.activeElement.id)) !== 'loadGame'; i++) await key('Tab');
    // The file chooser is intercepted before the key opens it.
    const choosing = page.waitForFileChooser();
    await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => r())));
    await key('Enter');
    const chooser = await choosing;
    await chooser.accept([saved.file]);
    await page.waitForFunction(() => document.getElementById('story').textContent.includes('Loaded Successfully.'));
    check(await page.evaluate(() => document.body.dataset.page) === saved.page, `the loaded game stands on page ${saved.page}`);
    check(await page.$eval('#score', (e) => e.textContent) === saved.score, `the loaded score is ${saved.score}`);
    const items = await page.$$eval('#inventory li', (l) => l.map((e) => e.textContent));
    check(JSON.stringify(items) === JSON.stringify(saved.items), `the loaded items are ${saved.items.join(', ') || 'none'}`);
  }

  for (const width of [360, 1280]) {
    await page.setViewport({ width, height: width === 360 ? 780 : 900 });
    await page.evaluate(() => window.scrollTo(0, 0));
    await page.screenshot({ path: path.join(out, `page-${width}.png`) });
    const overflow = await page.evaluate(() => document.documentElement.scrollWidth - document.documentElement.clientWidth);
    check(overflow <= 0, `nothing runs off the page sideways at ${width} px`);
  }
  // Text enlarged to 200 %: still nothing runs off the page sideways.
  await page.evaluate(() => { document.documentElement.style.fontSize = '200%'; });
  for (const width of [360, 1280]) {
    await page.setViewport({ width, height: 900 });
    const overflow = await page.evaluate(() => document.documentElement.scrollWidth - document.documentElement.clientWidth);
    check(overflow <= 0, `text at 200 % fits ${width} px (overflow ${overflow} px)`);
    await page.screenshot({ path: path.join(out, `page-${width}-text200.png`) });
  }
  await page.evaluate(() => { document.documentElement.style.fontSize = ''; });
  check(errors.length === 0, `no script errors and no network requests${errors.length ? `: ${errors.join('; ')}` : ''}`);
  console.log(`figures: export ${exportMs} ms, page ${fs.statSync(pageFile).size} bytes, first page ${firstPageMs} ms`);
} finally {
  await browser.close();
}
// Firefox: the page opens from the file, the music starts with the first
// key and the keys take choices.
if (firefox) {
  const ff = await puppeteer.launch({ browser: 'firefox', executablePath: firefox, headless: true });
  try {
    const page = await ff.newPage();
    const errors = [];
    page.on('pageerror', (e) => errors.push(e.message));
    t0 = Date.now();
    await page.goto(pathToFileURL(pageFile).href);
    await page.waitForSelector('html[data-ready=true]');
    console.log(`firefox: first page ${Date.now() - t0} ms`);
    check(await page.$eval('#story', (e) => e.textContent.includes("Corvin's Bindery")), 'firefox: the first page is shown');
    await page.keyboard.press('Enter');
    const started = await page.waitForFunction(() => document.getElementById('music').dataset.state === 'playing', { timeout: 10000 })
      .then(() => true, () => false);
    check(started, 'firefox: the music started with the first key');
    await page.keyboard.press('1');
    await page.keyboard.press('Enter');
    check(await page.evaluate(() => document.body.dataset.page) === '2', 'firefox: keys 1 and Enter took the first choice');
    await page.setViewport({ width: 360, height: 780 });
    await page.screenshot({ path: path.join(out, 'firefox-360.png') });
    check(errors.length === 0, `firefox: no script errors${errors.length ? `: ${errors.join('; ')}` : ''}`);
  } finally {
    await ff.close();
  }
}
console.log(failures ? `${failures} checks failed` : 'all checks passed');
process.exit(failures ? 1 : 0);
