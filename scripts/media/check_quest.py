#!/usr/bin/env python3
"""Checks a quest file (default: data/VellumAdventure.qst).

    check_quest.py [--cli PATH] [QUEST]

Checks: the file is Windows-1252 text with CR LF line breaks; at least 30
pages; "Number Of Pages" matches; every page key of the format is used
somewhere; texts, captions and scores fit the editor's limits; Required and Add
values are "0" or "1" wherever a choice exists; every destination page and
every media file (resolved against the quest file's folder) exists.

It then plays the quest in the abstract, tracking the key items held: choices
are offered by the same rules the engine uses (a choice needing an item not
held is hidden, a choice giving an item already held is hidden), and a battle
page leads to its win page (gaining the monster's item), its lose page and,
when escape is allowed, its escape page; an empty win or lose page keeps the
player on the battle page with its choices. It fails when a page cannot be
reached from page 1, when a reachable situation offers no way on, or when an
ending cannot be reached from some reachable situation (a soft lock).

Last, when the program's command-line tool is at hand (--cli PATH, the
FABLECRAFT_CLI environment variable, or build/bin/fablecraft-cli of the source
tree), it runs `fablecraft-cli check --json` on the quest and fails on any
finding or on an ending whose score has no bound.

Exit status 0 when everything holds, 1 otherwise. Needs only Python 3.
"""

import json
import os
import subprocess
import sys
from collections import OrderedDict, deque

WORDS = ["One", "Two", "Three", "Four"]
PAGE_KEYS = (["Location", "Page Text"]
             + ["Option %s" % w for w in WORDS]
             + ["Option %s Destination Page" % w for w in WORDS]
             + ["Option %s Score" % w for w in WORDS]
             + ["Key Item%d" % i for i in range(1, 5)]
             + ["Add%d" % i for i in range(1, 5)]
             + ["Required%d" % i for i in range(1, 5)]
             + ["Battle", "Image", "Movie", "Music", "Mp3"])
BATTLE_KEYS = ["BattleEscapecheck", "BattleMonName", "BattleMonHp", "BattleMonAtk", "BattleMonDef",
               "BattleImage", "BattleMusic", "BattleMonKeyItem", "BattleMonExp", "BattleWin", "BattleLose",
               "BattleEscape", "ATKMessage", "AltAtk", "AltAtkDam"]
CHAR_KEYS = ["CharLoadAllow", "CharCreateAllow", "CharImage", "CharName", "CharHp", "CharAtk", "CharDef"]
MEDIA_KEYS = ["Image", "Movie", "Music", "Mp3", "BattleImage", "BattleMusic"]


def parse(raw):
    sections = OrderedDict()
    current = None
    for line in raw.split("\r\n"):
        s = line.strip()
        if not s:
            continue
        if s.startswith("[") and "]" in s:
            current = sections.setdefault(s[1:s.index("]")].strip(), OrderedDict())
        elif "=" in s and current is not None:
            k, v = s.split("=", 1)
            current[k.strip()] = v.strip()
    return sections


def find_cli():
    here = os.path.dirname(os.path.abspath(__file__))
    for candidate in (os.environ.get("FABLECRAFT_CLI"),
                      os.path.join(here, "..", "..", "build", "bin", "fablecraft-cli")):
        if candidate and os.path.isfile(candidate) and os.access(candidate, os.X_OK):
            return candidate
    return None


def program_check(path, cli):
    """The program's own checker: no findings, and a bounded score at every ending."""
    if not cli:
        print("note: fablecraft-cli not found, the program's own check is skipped")
        return []
    run = subprocess.run([cli, "check", "--json", path], capture_output=True)
    if run.returncode not in (0, 1):
        return ["fablecraft-cli check failed (%d): %s" % (run.returncode, run.stderr.decode(errors="replace").strip())]
    report = json.loads(run.stdout)
    errors = ["fablecraft-cli check: page %s, %s: %s" % (f["page"], f["key"] or "-", f["message"])
              for f in report["findings"]]
    for e in report["endings"]:
        if e["min_score"] is None or e["max_score"] is None:
            errors.append("fablecraft-cli check: the score at ending %s has no bound" % e["page"])
    print("fablecraft-cli check: %d states, %d findings, endings %s" % (
        report["states"], len(report["findings"]),
        ", ".join("%s (%s..%s)" % (e["page"], e["min_score"], e["max_score"]) for e in report["endings"])))
    return errors


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    args = sys.argv[1:]
    cli = None
    if len(args) >= 2 and args[0] == "--cli":
        cli = args[1]
        args = args[2:]
        if not (os.path.isfile(cli) and os.access(cli, os.X_OK)):
            sys.exit("--cli %s: not an executable file" % cli)
    else:
        cli = find_cli()
    path = args[0] if args else os.path.join(here, "..", "..", "data", "VellumAdventure.qst")
    base = os.path.dirname(os.path.abspath(path))
    errors = []
    data = open(path, "rb").read()
    try:
        raw = data.decode("cp1252")
    except UnicodeDecodeError as e:
        sys.exit("%s: not Windows-1252 text: %s" % (path, e))
    if raw.replace("\r\n", "").count("\n") or raw.replace("\r\n", "").count("\r"):
        errors.append("line breaks other than CR LF")
    if any(ord(c) > 126 for c in raw):
        print("note: characters beyond ASCII present")
    ini = parse(raw)
    pages = {name: sec for name, sec in ini.items() if name.isdigit()}

    if len(pages) < 30:
        errors.append("only %d pages" % len(pages))
    if ini.get("Quest Data", {}).get("Number Of Pages") != str(len(pages)):
        errors.append("Number Of Pages does not match %d pages" % len(pages))
    for key in ("Title", "Author", "Version"):
        if not ini.get("Story Info", {}).get(key):
            errors.append("Story Info lacks %s" % key)
    for key in CHAR_KEYS:
        if key not in ini.get("CharacterData", {}):
            errors.append("CharacterData lacks %s" % key)
    used = set(k for sec in pages.values() for k, v in sec.items() if v != "")
    # An empty win or lose page is a setting too: the fight ends on the page.
    used |= set(k for sec in pages.values() if sec.get("Battle") == "1"
                for k in ("BattleWin", "BattleLose") if k in sec)
    for key in PAGE_KEYS + BATTLE_KEYS:
        if key not in used:
            errors.append("page key never used: %s" % key)

    def media(where, key, value):
        if value and not os.path.isfile(os.path.join(base, value)):
            errors.append("%s %s: missing file %s" % (where, key, value))

    media("CharacterData", "CharImage", ini.get("CharacterData", {}).get("CharImage", ""))

    # Per-page checks; collect the choices for the walk below.
    choices = {}
    for name, sec in pages.items():
        if len(sec.get("Page Text", "")) > 1000:
            errors.append("page %s: Page Text longer than 1000" % name)
        for key in MEDIA_KEYS:
            media("page " + name, key, sec.get(key, ""))
        opts = []
        for i, w in enumerate(WORDS, 1):
            caption = sec.get("Option %s" % w, "")
            if not caption:
                continue
            dest = sec.get("Option %s Destination Page" % w, "")
            score = sec.get("Option %s Score" % w, "")
            if len(caption) > 60:
                errors.append("page %s option %d: caption longer than 60" % (name, i))
            if len(score) > 3 or (score and not score.lstrip("+-").isdigit()):
                errors.append("page %s option %d: bad score %r" % (name, i, score))
            if dest not in pages:
                errors.append("page %s option %d: destination %r does not exist" % (name, i, dest))
            req, add = sec.get("Required%d" % i, ""), sec.get("Add%d" % i, "")
            if req not in ("0", "1") or add not in ("0", "1"):
                errors.append("page %s option %d: Required %r / Add %r not 0 or 1" % (name, i, req, add))
            opts.append((sec.get("Key Item%d" % i, ""), add == "1", req == "1", dest))
        choices[name] = opts
        if sec.get("Battle") == "1":
            for key in ("BattleWin", "BattleLose") + (("BattleEscape",) if sec.get("BattleEscapecheck") != "0" else ()):
                value = sec.get(key, "")
                if value == "" and key != "BattleEscape":
                    if not opts:
                        errors.append("page %s: %s is empty and the page has no choices" % (name, key))
                elif value not in pages:
                    errors.append("page %s: %s %r does not exist" % (name, key, value))

    # Abstract play from page 1 with an empty inventory.
    def moves(state):
        page, items = state
        sec = pages.get(page, {})
        for item, add, req, dest in choices.get(page, []):
            held = item == "" or item in items
            if (req and not held) or (add and held):
                continue
            yield dest, (items | {item}) if add and item else items
        if sec.get("Battle") == "1":
            # An empty win or lose page leaves the player here, where the
            # choices above go on.
            loot = sec.get("BattleMonKeyItem", "")
            yield sec.get("BattleWin", "") or page, (items | {loot}) if loot else items
            yield sec.get("BattleLose", "") or page, items
            if sec.get("BattleEscapecheck") != "0":
                yield sec.get("BattleEscape", ""), items

    start = ("1", frozenset())
    seen = {start}
    edges = {}
    queue = deque([start])
    while queue:
        state = queue.popleft()
        nxt = [(d, frozenset(i)) for d, i in moves(state) if d in pages]
        edges[state] = nxt
        for s in nxt:
            if s not in seen:
                seen.add(s)
                queue.append(s)
    reached = set(p for p, _ in seen)
    for name in sorted(pages, key=int):
        if name not in reached:
            errors.append("page %s cannot be reached from page 1" % name)
    endings = set(p for p in pages if not choices[p] and pages[p].get("Battle") != "1")
    # States from which an ending can be reached: walk the edges backwards.
    back = {}
    for s, nxt in edges.items():
        for t in nxt:
            back.setdefault(t, []).append(s)
    good = set(s for s in seen if s[0] in endings)
    queue = deque(good)
    while queue:
        s = queue.popleft()
        for p in back.get(s, []):
            if p not in good:
                good.add(p)
                queue.append(p)
    stuck = sorted(set(s[0] for s in seen if s not in good), key=int)
    if stuck:
        errors.append("no ending reachable from some visits of pages %s" % ", ".join(stuck))
    for s in seen:
        if s[0] not in endings and not edges[s]:
            errors.append("page %s offers nothing when holding %s" % (s[0], sorted(s[1])))

    print("%s: %d pages, %d endings (%s), %d play situations explored"
          % (os.path.basename(path), len(pages), len(endings), ", ".join(sorted(endings, key=int)), len(seen)))
    errors += program_check(path, cli)
    for e in errors:
        print("ERROR:", e)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
