// The game's rules as plain decisions on the values read from a quest, and
// the number and text conventions of the desktop engine.

const SPACES = new Set([0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x20, 0x85, 0xa0, 0x1680, 0x2028, 0x2029, 0x202f, 0x205f, 0x3000]);
const isSpace = (c) => SPACES.has(c) || (c >= 0x2000 && c <= 0x200a);

// Trims what the desktop's text functions count as white space.
export function trimmed(s) {
  let b = 0, e = s.length;
  while (b < e && isSpace(s.charCodeAt(b))) b++;
  while (e > b && isSpace(s.charCodeAt(e - 1))) e--;
  return s.slice(b, e);
}

// A decimal number with optional sign and blanks around ("+2", "2.5", ".5");
// null for anything else.
export function parseDecimal(text) {
  if (!/^[ \t\n\v\f\r]*[+-]?(\d+(\.\d*)?|\.\d+)[ \t\n\v\f\r]*$/.test(text)) return null;
  const v = Number(text.replace(/^[ \t\n\v\f\r]+|[ \t\n\v\f\r]+$/g, ''));
  return Number.isFinite(v) ? v : null;
}

// Text to a number as the desktop's number conversion reads it (exponents
// allowed, nothing around it); null when it is not one or not finite.
export function toNumber(text) {
  if (!/^[+-]?(\d+(\.\d*)?|\.\d+)([eE][+-]?\d+)?$/.test(text)) return null;
  const v = Number(text);
  return Number.isFinite(v) ? v : null;
}

// Text to a single-precision number: null when it is not a number or out of
// the single range (a non-zero value that underflows counts as none).
export function toFloat(text) {
  const d = toNumber(text);
  if (d === null) return null;
  if (Math.abs(d) > 3.4028234663852886e38) return null;
  const f = Math.fround(d);
  if (d !== 0 && f === 0) return null;
  return f;
}

export function roundHalfEven(v) {
  const f = Math.floor(v);
  const d = v - f;
  if (d < 0.5) return f;
  if (d > 0.5) return f + 1;
  return f % 2 === 0 ? f : f + 1;
}

const MIN_SCORE = -32768;
const MAX_SCORE = 32767;

export function scoreValue(scoreText) {
  const v = parseDecimal(scoreText);
  if (v === null) return 0;
  const r = roundHalfEven(v);
  return r < MIN_SCORE || r > MAX_SCORE ? 0 : r + 0;
}

// The score after a choice: the sum rounded half to even; the old score
// stands when the value is no number or the sum leaves -32768..32767.
export function addToScore(scoreText, optionScore) {
  const s = scoreValue(scoreText);
  const add = parseDecimal(optionScore);
  if (add === null) return String(s);
  const sum = roundHalfEven(s + add);
  return String(sum < MIN_SCORE || sum > MAX_SCORE ? s : sum + 0);
}

export const itemHeld = (item, inventory) => item === '' || inventory.includes(item);
export const requiresItem = (v) => v === '1';
export const ungated = (v) => v === '0';
export function hidesOnceHeld(addValue) {
  const n = toNumber(trimmed(addValue));
  return n !== null && n === 1;
}
export const givesItem = (addValue, item) => addValue === '1' && item !== '';

export function gateByItem(shown, caption, requiredValue, held) {
  let result = shown;
  if (held) result = caption;
  else if (requiresItem(requiredValue)) result = '';
  if (ungated(requiredValue)) result = caption;
  return result;
}

export const hideHeldGift = (shown, addValue, held) => (held && hidesOnceHeld(addValue) ? '' : shown);
export const opensBattle = (v) => v === '1';
export const escapeAllowed = (v) => v !== '0';
export const leavesBattlePage = (page) => page !== '';

// Fills the lowest-numbered %N markers of template with value, as the
// desktop's text formatting does (markers in earlier values count too).
export function formatArg(template, value) {
  const found = [];
  let min = Infinity;
  const re = /%(L?)(\d)(\d?)/g;
  let m;
  while ((m = re.exec(template))) {
    const n = m[3] === '' ? Number(m[2]) : Number(m[2]) * 10 + Number(m[3]);
    if (n > min) { re.lastIndex = m.index + m[0].length; continue; }
    if (n < min) { min = n; found.length = 0; }
    found.push([m.index, m[0].length]);
  }
  if (!found.length) return template;
  let out = '', at = 0;
  for (const [i, len] of found) {
    out += template.slice(at, i) + value;
    at = i + len;
  }
  return out + template.slice(at);
}

// One code point as the desktop's case-insensitive comparison folds it: the
// simple folding, which keeps the length (the lower case of the upper case,
// so that the variants of a letter meet; a letter whose case changes its
// length stays as it is).
function foldCodePoint(c) {
  const single = (t) => [...t].length === 1;
  const upper = c.toUpperCase();
  if (!single(upper)) return c.toLowerCase();
  const lower = upper.toLowerCase();
  return single(lower) ? lower : upper;
}

// Whether two texts are equal without regard to case.
export function sameIgnoringCase(a, b) {
  if (a === b) return true;
  const x = [...a], y = [...b];
  if (x.length !== y.length) return false;
  for (let i = 0; i < x.length; i++)
    if (x[i] !== y[i] && foldCodePoint(x[i]) !== foldCodePoint(y[i])) return false;
  return true;
}
