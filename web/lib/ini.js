// INI text as the desktop profile store reads and writes it: section and key
// names match without regard to case, names and values are trimmed of blanks
// and tabs, one pair of enclosing quotes is dropped from a value, the first
// of duplicate sections and keys wins, lines end at CR LF, CR or LF.
// Files are Windows-1252 unless they carry a UTF-8 or UTF-16 byte-order mark
// or are UTF-8 text with non-ASCII characters.

export const MAX_READ_LENGTH = 8999;

// 0x80-0x9F of Windows-1252; the other bytes equal Latin-1. The five
// undefined codes map to the C1 controls of the same number.
const CP1252_HIGH = [
  0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,
  0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008d, 0x017d, 0x008f,
  0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
  0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178,
];

export function cp1252Decode(bytes, start = 0, end = bytes.length) {
  let s = '';
  for (let i = start; i < end; i++) {
    const b = bytes[i];
    s += String.fromCharCode(b >= 0x80 && b < 0xa0 ? CP1252_HIGH[b - 0x80] : b);
  }
  return s;
}

// The byte of one UTF-16 code unit, or -1.
export function cp1252Byte(c) {
  if (c < 0x80 || (c >= 0xa0 && c <= 0xff)) return c;
  const i = CP1252_HIGH.indexOf(c);
  return i < 0 ? -1 : 0x80 + i;
}

// The bytes of text, or null when a character has none.
export function cp1252Encode(text) {
  const out = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) {
    const b = cp1252Byte(text.charCodeAt(i));
    if (b < 0) return null;
    out[i] = b;
  }
  return out;
}

function utf8SequenceLength(p, i, size) {
  const b = p[i];
  if (b < 0x80) return 1;
  let len, cp;
  if (b >= 0xc2 && b <= 0xdf) { len = 2; cp = b & 0x1f; }
  else if (b >= 0xe0 && b <= 0xef) { len = 3; cp = b & 0x0f; }
  else if (b >= 0xf0 && b <= 0xf4) { len = 4; cp = b & 0x07; }
  else return 0;
  if (i + len > size) return 0;
  for (let k = 1; k < len; k++) {
    const c = p[i + k];
    if ((c & 0xc0) !== 0x80) return 0;
    cp = (cp << 6) | (c & 0x3f);
  }
  if ((len === 3 && cp < 0x800) || (len === 4 && (cp < 0x10000 || cp > 0x10ffff))) return 0;
  if (cp >= 0xd800 && cp <= 0xdfff) return 0;
  return len;
}

// UTF-8 text, perhaps with a few stray bytes: at least one multi-byte
// sequence and at least four of them for every stray byte.
export function utf8MostlyValid(p) {
  let multi = 0, invalid = 0, i = 0;
  while (i < p.length) {
    const len = utf8SequenceLength(p, i, p.length);
    if (len === 0) { invalid++; i++; continue; }
    if (len > 1) multi++;
    i += len;
  }
  return multi > 0 && invalid * 4 <= multi;
}

function hasHighBytes(p) {
  for (let i = 0; i < p.length; i++) if (p[i] >= 0x80) return true;
  return false;
}

const utf8Decoder = new TextDecoder('utf-8', { ignoreBOM: true });
const utf8Encoder = new TextEncoder();

const isBlank = (c) => c === 0x20 || c === 0x09;
const isBreak = (c) => c === 0x0d || c === 0x0a;

function isAsciiRange(p, s, e) {
  for (let i = s; i < e; i++) if (p[i] >= 0x80) return false;
  return true;
}

function asciiLower(s) {
  return s.replace(/[A-Z]+/g, (m) => m.toLowerCase());
}

function trimBlanks(s) {
  let b = 0, e = s.length;
  while (b < e && (s[b] === ' ' || s[b] === '\t')) b++;
  while (e > b && (s[e - 1] === ' ' || s[e - 1] === '\t')) e--;
  return s.slice(b, e);
}

// A name as lookups compare it: ASCII names lower-cased, others case folded.
export function foldName(name) {
  name = trimBlanks(name);
  // eslint-disable-next-line no-control-regex
  return /^[\x00-\x7f]*$/.test(name) ? asciiLower(name) : name.toLowerCase();
}

export class IniFile {
  // mode: 'detect' or 'cp1252' (saved games).
  constructor(bytes, mode = 'detect') {
    this.mode = mode;
    this.encoding = 'cp1252';
    let data = bytes;
    let start = 0;
    if (mode === 'detect' && data.length >= 2 && ((data[0] === 0xff && data[1] === 0xfe) || (data[0] === 0xfe && data[1] === 0xff))) {
      const little = data[0] === 0xff;
      this.encoding = little ? 'utf16le' : 'utf16be';
      const text = new TextDecoder(little ? 'utf-16le' : 'utf-16be', { ignoreBOM: true }).decode(data.subarray(2));
      data = utf8Encoder.encode(text);
    } else if (mode === 'detect') {
      if (data.length >= 3 && data[0] === 0xef && data[1] === 0xbb && data[2] === 0xbf) {
        this.encoding = 'utf8bom';
        start = 3;
      } else if (hasHighBytes(data) && utf8MostlyValid(data)) {
        this.encoding = 'utf8';
      }
    }
    this.bytes = data;
    this.contentStart = start;
    // Sections in file order: {name, lineStart, lineEnd, bodyStart, bodyEnd}.
    this.sections = [];
    this.sectionIndex = new Map(); // folded name -> first section
    const d = data, n = data.length;
    let pos = start;
    while (pos < n) {
      let e = pos;
      while (e < n && !isBreak(d[e])) e++;
      const next = e < n ? (d[e] === 0x0d && e + 1 < n && d[e + 1] === 0x0a ? e + 2 : e + 1) : n;
      let f = pos;
      while (f < e && isBlank(d[f])) f++;
      if (f < e && d[f] === 0x5b /* [ */) {
        let q = f + 1;
        while (q < e && d[q] !== 0x5d) q++;
        if (q < e) {
          let nb = f + 1, ne = q;
          while (nb < ne && isBlank(d[nb])) nb++;
          while (ne > nb && isBlank(d[ne - 1])) ne--;
          if (this.sections.length) this.sections[this.sections.length - 1].bodyEnd = pos;
          const sec = { nameStart: nb, nameEnd: ne, lineStart: pos, lineEnd: e, bodyStart: next, bodyEnd: n, keys: null };
          this.sections.push(sec);
          const folded = this.foldRaw(nb, ne);
          if (!this.sectionIndex.has(folded)) this.sectionIndex.set(folded, sec);
        }
      }
      pos = next;
    }
  }

  // The names of the sections a lookup can reach (the first of duplicates),
  // in file order.
  sectionNames() {
    return [...this.sectionIndex.values()].map((sec) => this.decode(sec.nameStart, sec.nameEnd));
  }

  decode(s, e) {
    if (this.encoding === 'cp1252') return cp1252Decode(this.bytes, s, e);
    return utf8Decoder.decode(this.bytes.subarray(s, e));
  }

  foldRaw(s, e) {
    if (isAsciiRange(this.bytes, s, e)) return asciiLower(cp1252Decode(this.bytes, s, e));
    return this.decode(s, e).toLowerCase();
  }

  keysOf(sec) {
    if (sec.keys) return sec.keys;
    const d = this.bytes;
    const keys = [];
    const index = new Map();
    let p = sec.bodyStart;
    while (p < sec.bodyEnd) {
      let e = p;
      while (e < sec.bodyEnd && !isBreak(d[e])) e++;
      let f = p;
      while (f < e && isBlank(d[f])) f++;
      if (f < e && d[f] !== 0x3b /* ; */) {
        let eq = f;
        while (eq < e && d[eq] !== 0x3d) eq++;
        if (eq < e) {
          let ke = eq;
          while (ke > f && isBlank(d[ke - 1])) ke--;
          let vs = eq + 1, ve = e;
          while (vs < ve && isBlank(d[vs])) vs++;
          while (ve > vs && isBlank(d[ve - 1])) ve--;
          const key = { keyStart: f, keyEnd: ke, valueStart: vs, valueEnd: ve, lineStart: p };
          keys.push(key);
          const folded = this.foldRaw(f, ke);
          if (!index.has(folded)) index.set(folded, key);
        }
      }
      p = e < sec.bodyEnd ? (d[e] === 0x0d && e + 1 < sec.bodyEnd && d[e + 1] === 0x0a ? e + 2 : e + 1) : sec.bodyEnd;
    }
    sec.keys = { list: keys, index };
    return sec.keys;
  }

  findKey(section, key) {
    const sec = this.sectionIndex.get(foldName(section));
    if (!sec) return null;
    const k = this.keysOf(sec).index.get(foldName(key));
    return k ? { sec, key: k } : null;
  }

  valueOf(k) {
    const d = this.bytes;
    let vs = k.valueStart, ve = k.valueEnd;
    if (ve - vs >= 2 && d[vs] === d[ve - 1] && (d[vs] === 0x22 || d[vs] === 0x27)) {
      vs++;
      ve--;
    }
    return this.decode(vs, ve);
  }

  // The value as a profile read returns it: "" when missing, at most 8999
  // characters.
  read(section, key) {
    const found = this.findKey(section, key);
    if (!found) return '';
    let v = this.valueOf(found.key);
    if (v.length > MAX_READ_LENGTH) {
      let n = MAX_READ_LENGTH;
      const c = v.charCodeAt(n - 1);
      if (c >= 0xd800 && c <= 0xdbff) n--;
      v = v.slice(0, n);
    }
    return v;
  }

  // Windows-1252 files only (saved games): the bytes after storing every
  // [section, key, value] in order, or null when a text has no Windows-1252
  // byte or a name cannot be read back.
  withValues(writes) {
    const d = this.bytes, n = d.length;
    const prepared = [];
    for (const [section, key, value] of writes) {
      const s = trimBlanks(section), k = trimBlanks(key);
      if (/[\r\n\0\]]/.test(s)) return null;
      if (!k || /[\r\n\0=]/.test(k) || k[0] === ';' || k[0] === '[') return null;
      let text = value;
      const cut = text.search(/[\r\n\0]/);
      if (cut >= 0) text = text.slice(0, cut);
      const quote = text.length > 0 && (text[0] === ' ' || text[0] === '\t' || text.at(-1) === ' ' || text.at(-1) === '\t'
        || (text.length >= 2 && text[0] === text.at(-1) && (text[0] === '"' || text[0] === "'")));
      const sb = cp1252Encode(s), kb = cp1252Encode(k), vb = cp1252Encode(text);
      if (!sb || !kb || !vb) return null;
      prepared.push({ s, k, kb, sb, vb: quote ? concat([Uint8Array.of(0x22), vb, Uint8Array.of(0x22)]) : vb });
    }
    const lines = new Map(); // key object -> value bytes
    const groups = [];
    const groupOf = new Map();
    for (const p of prepared) {
      const sec = this.sectionIndex.get(foldName(p.s)) || null;
      if (sec) {
        const k = this.keysOf(sec).index.get(foldName(p.k));
        if (k) { lines.set(k, { sec, value: p.vb }); continue; }
      }
      const id = foldName(p.s);
      let g = groupOf.get(id);
      if (!g) {
        g = { sec, name: p.sb, keys: [], keyOf: new Map() };
        groupOf.set(id, g);
        groups.push(g);
      }
      const kid = foldName(p.k);
      const known = g.keyOf.get(kid);
      if (known) known.value = p.vb;
      else { const nk = { key: p.kb, value: p.vb }; g.keyOf.set(kid, nk); g.keys.push(nk); }
    }
    const lineEndFrom = (pos) => { while (pos < n && !isBreak(d[pos])) pos++; return pos; };
    const afterBreak = (e) => (e >= n ? e : d[e] === 0x0d && e + 1 < n && d[e + 1] === 0x0a ? e + 2 : e + 1);
    const CRLF = Uint8Array.of(0x0d, 0x0a);
    const EQ = Uint8Array.of(0x3d);
    const edits = [];
    for (const [k, { sec, value }] of lines) {
      let lineStart = k.keyStart;
      while (lineStart > sec.bodyStart && isBlank(d[lineStart - 1])) lineStart--;
      edits.push({ start: lineStart, end: afterBreak(lineEndFrom(k.valueEnd)), text: concat([d.subarray(k.keyStart, k.keyEnd), EQ, value, CRLF]) });
    }
    for (const g of groups) {
      if (!g.sec) continue;
      const list = this.keysOf(g.sec).list;
      let insertAt = g.sec.bodyStart;
      let needsBreak = g.sec.bodyStart === g.sec.lineEnd;
      if (list.length) {
        const e = lineEndFrom(list[list.length - 1].valueEnd);
        insertAt = afterBreak(e);
        needsBreak = insertAt === e;
      }
      const parts = needsBreak ? [CRLF] : [];
      for (const k of g.keys) parts.push(k.key, EQ, k.value, CRLF);
      edits.push({ start: insertAt, end: insertAt, text: concat(parts) });
    }
    edits.sort((a, b) => a.start - b.start); // stable
    const out = [];
    let at = 0;
    for (const e of edits) {
      out.push(d.subarray(at, e.start), e.text);
      at = e.end;
    }
    out.push(d.subarray(at, n));
    let result = concat(out);
    const tail = [];
    let total = result.length;
    let lastByte = total ? result[total - 1] : -1;
    const push = (b) => { tail.push(b); if (b.length) { total += b.length; lastByte = b[b.length - 1]; } };
    for (const g of groups) {
      if (g.sec) continue;
      if (total > this.contentStart && !isBreak(lastByte)) push(CRLF);
      push(Uint8Array.of(0x5b)); push(g.name); push(Uint8Array.of(0x5d, 0x0d, 0x0a));
      for (const k of g.keys) { push(k.key); push(EQ); push(k.value); push(CRLF); }
    }
    if (tail.length) result = concat([result, ...tail]);
    return result;
  }
}

export function concat(parts) {
  let size = 0;
  for (const p of parts) size += p.length;
  const out = new Uint8Array(size);
  let at = 0;
  for (const p of parts) { out.set(p, at); at += p.length; }
  return out;
}
