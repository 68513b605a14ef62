#!/usr/bin/env node
// The web player's rules from the command line, as fablecraft-cli play runs
// the desktop engine's:
//   node web/play-cli.js [--json] [--program-dir DIR] [--answer yes|no]
//                        [--seed N] QUEST|- [STEP...]
// Steps: 1-4, turn, choose:N, new-game, book, load-quest:FILE, attack,
// escape, save:FILE, load:FILE, load-without-items:FILE, seed:N, close.
// Prints the story log, or with --json the state as play --json prints it.
// Exit status: 0, 2 for a wrong command line, 3 for a step not available.

import { run } from './lib/cli.js';

const r = run(process.argv.slice(2));
process.stdout.write(r.stdout);
process.stderr.write(r.stderr);
process.exitCode = r.status;
