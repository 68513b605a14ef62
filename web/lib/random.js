// The fight's random numbers: a 32-bit Mersenne Twister seeded through the
// standard seed sequence from one 32-bit seed, drawn as the desktop engine's
// generator draws them, so the same seed gives the same fight.

const N = 624;
const M = 397;

// The standard seed sequence's generate() for one seed value and n outputs.
function seedSequence(seed, n) {
  const b = new Uint32Array(n).fill(0x8b8b8b8b);
  const s = 1;
  const t = n >= 623 ? 11 : n >= 68 ? 7 : n >= 39 ? 5 : n >= 7 ? 3 : (n - 1) >> 1;
  const p = (n - t) >> 1;
  const q = p + t;
  const m = Math.max(s + 1, n);
  const T = (x) => (x ^ (x >>> 27)) >>> 0;
  for (let k = 0; k < m; k++) {
    const r1 = Math.imul(1664525, T(b[k % n] ^ b[(k + p) % n] ^ b[(k - 1 + n) % n])) >>> 0;
    const r2 = (r1 + (k === 0 ? s : k <= s ? (k % n) + seed : k % n)) >>> 0;
    b[(k + p) % n] = b[(k + p) % n] + r1;
    b[(k + q) % n] = b[(k + q) % n] + r2;
    b[k % n] = r2;
  }
  for (let k = m; k < m + n; k++) {
    const r3 = Math.imul(1566083941, T((b[k % n] + b[(k + p) % n] + b[(k - 1 + n) % n]) >>> 0)) >>> 0;
    const r4 = (r3 - (k % n)) >>> 0;
    b[(k + p) % n] ^= r3;
    b[(k + q) % n] ^= r4;
    b[k % n] = r4;
  }
  return b;
}

export class Random {
  constructor(seed = Date.now()) {
    this.seed(seed);
  }

  seed(seed) {
    this.mt = seedSequence(seed >>> 0, N);
    if ((this.mt[0] & 0x80000000) === 0 && this.mt.every((x, i) => i === 0 || x === 0)) this.mt[0] = 0x80000000;
    this.index = N;
  }

  // One 32-bit output.
  generate() {
    const mt = this.mt;
    if (this.index >= N) {
      for (let i = 0; i < N; i++) {
        const y = (mt[i] & 0x80000000) | (mt[(i + 1) % N] & 0x7fffffff);
        mt[i] = mt[(i + M) % N] ^ (y >>> 1) ^ (y & 1 ? 0x9908b0df : 0);
      }
      this.index = 0;
    }
    let y = mt[this.index++];
    y ^= y >>> 11;
    y ^= (y << 7) & 0x9d2c5680;
    y ^= (y << 15) & 0xefc60000;
    y ^= y >>> 18;
    return y >>> 0;
  }

  // 0 <= result < highest, as (output * highest) >> 32.
  bounded(highest) {
    const v = this.generate();
    // v * highest may exceed 2^53 only for huge bounds; fights use small ones.
    return Math.floor((v * highest) / 4294967296);
  }

  boundedRange(lowest, highest) {
    return this.bounded(highest - lowest) + lowest;
  }

  // 53 random bits from two outputs (first one low) over 2^53.
  generateDouble() {
    const lo = this.generate();
    const hi = this.generate();
    return (hi * 2097152 + (lo >>> 11)) / 9007199254740992;
  }
}
