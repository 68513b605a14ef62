// Ways through a quest for the browser test: the web player's own engine,
// run under Node with the quest and media of an exported page and the same
// seed as the page, searched breadth first for the shortest list of player
// actions to a given ending. Every state along a way is kept, so the test can
// compare the page with the engine after each key.

import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const lib = path.join(here, '..', '..', 'web', 'lib');
const { Game, Screen } = await import(path.join(lib, 'game.js'));
const { IniFile } = await import(path.join(lib, 'ini.js'));

// The quest (name, bytes) and the media table an exported page carries.
export function readExportedPage(file) {
  const html = fs.readFileSync(file, 'utf8');
  const script = (id) => {
    const m = new RegExp(`<script type="application/json" id="${id}">([^]*?)</script>`).exec(html);
    if (!m) throw new Error(`${file}: no ${id} block`);
    return JSON.parse(m[1]);
  };
  const quest = script('fc-quest');
  return { name: quest.name, bytes: new Uint8Array(Buffer.from(quest.data, 'base64')), media: script('fc-media') };
}

// The engine as the page runs it: the page's host without a screen. Media
// calls are noted: the picture, the fight's picture, the music playing and
// the last sound and movie started (the page keeps them loaded).
export class PagePlayer {
  constructor(exported, seed) {
    this.exported = exported;
    this.quest = new IniFile(exported.bytes);
    this.media = { picture: '', battlePicture: '', music: '', sound: '', movie: '' };
    this.game = new Game(this.host());
    this.game.setSeed(seed);
    this.game.openQuest(exported.name);
  }

  host() {
    const { name, media } = this.exported;
    const known = (v) => v !== '' && (Object.hasOwn(media.v, v) || Object.hasOwn(media.v, v.replace(/\\/g, '/')));
    return {
      programDir: '.',
      readIni: (file, section, key) => (file === name ? this.quest.read(section, key) : ''),
      sectionNames: (file) => (file === name ? this.quest.sectionNames() : null),
      readLaunchFile: () => '',
      information: () => {},
      critical: () => {},
      question: () => true,
      openFile: () => '',
      saveFile: () => '',
      readBytes: () => null,
      writeBytes: () => false,
      defaultAdventure: () => name,
      media: (kind, value) => {
        if (kind === 'picture' && known(value)) this.media.picture = value;
        else if (kind === 'battle-picture' && known(value)) this.media.battlePicture = value;
        else if (kind === 'midi-stop') this.media.music = '';
        else if (kind === 'midi-start' && known(value)) this.media.music = value;
        else if (kind === 'sound' && known(value)) this.media.sound = value;
        else if (kind === 'movie') {
          if (known(value)) this.media.movie = value;
          return known(value);
        }
        return true;
      },
    };
  }

  clone() {
    const copy = Object.create(PagePlayer.prototype);
    copy.exported = this.exported;
    copy.quest = this.quest;
    copy.media = { ...this.media };
    copy.game = new Game(copy.host());
    const g = this.game;
    // The story and fight logs are not compared and only grow: left out.
    copy.game.screen = Object.assign(new Screen(), structuredClone({ ...g.screen, log: '', battleText: '' }));
    copy.game.random.mt = g.random.mt.slice();
    copy.game.random.index = g.random.index;
    for (const k of ['packaged', 'playerHp', 'playerMaxHp', 'monsterHp', 'characterCreated']) copy.game[k] = g[k];
    copy.game.character = { ...g.character };
    return copy;
  }

  // The actions the page offers now, as the keys take them.
  actions() {
    const s = this.game.screen;
    if (s.characterPanel) return ['create', 'createWeak'];
    if (s.battleBox) return s.escapeEnabled ? ['attack', 'escape'] : ['attack'];
    if (s.isEnding) return ['playAgain'];
    return s.options.flatMap((o, i) => (o.caption !== '' ? [`choice${i + 1}`] : []));
  }

  act(action) {
    const g = this.game;
    if (action === 'create') g.createCharacter();
    else if (action === 'createWeak') {
      // One hit point typed into the panel: the hero who loses a fight.
      g.screen.roll = { ...g.screen.roll, hitPoints: '1' };
      g.createCharacter();
    }
    else if (action === 'attack') g.clickAttack();
    else if (action === 'escape') g.clickEscape();
    else if (action === 'playAgain') g.clickPlayAgain();
    else {
      g.selectOption(Number(action.slice(6)) - 1);
      g.clickPicture1();
    }
  }

  // What the page shows and the test compares.
  state() {
    const s = this.game.screen;
    return {
      page: s.pg,
      score: s.score,
      items: [...s.inventory],
      battle: s.battleBox,
      ending: s.isEnding,
      character: s.characterPanel,
      hp: s.playerHpText,
      options: s.options.map((o) => o.caption),
      ...this.media,
    };
  }

  key() {
    const s = this.game.screen;
    return [s.pg, s.inventory.join('\u0001'), s.battleBox, s.characterPanel, this.game.playerHp, s.battleBox ? this.game.monsterHp : ''].join('|');
  }
}

// The shortest way from player to the ending page goal (the engine's random
// numbers go along, so fights come out as they will on the page). Returns
// [{action, state}] or null when the search finds none within limit states.
export function wayTo(player, goal, limit = 200000) {
  const seen = new Set([player.key()]);
  let frontier = [{ player, way: [] }];
  while (frontier.length && seen.size < limit) {
    const next = [];
    for (const { player: p, way } of frontier) {
      for (const action of p.actions()) {
        if (action === 'playAgain') continue;
        const q = p.clone();
        q.act(action);
        const step = [...way, { action, state: q.state() }];
        const s = q.game.screen;
        if (s.isEnding && s.pg === goal) return { way: step, player: q };
        const k = q.key();
        if (seen.has(k)) continue;
        seen.add(k);
        next.push({ player: q, way: step });
      }
    }
    frontier = next;
  }
  return null;
}
