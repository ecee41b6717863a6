// The picture comparisons the browser tests rest on, on made-up pictures: the streak count sees a
// wrong shadow more than a pixel wide, and not an edge, or two coinciding edges, one pixel apart.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { agreement, streaks } from './pictures.mjs';

const W = 40, H = 30;

// A picture from a function of the pixel: a grey level.
function picture(level) {
  const rgb = Buffer.alloc(W * H * 3);
  for (let y = 0; y < H; ++y) for (let x = 0; x < W; ++x) rgb.fill(level(x, y), (y * W + x) * 3, (y * W + x) * 3 + 3);
  return { width: W, height: H, rgb };
}

// A lit wall (200) with a shadow (40) below row `edge`.
const wall = (edge) => picture((x, y) => (y >= edge ? 40 : 200));

test('an edge one pixel lower differs from the reference but is not a streak', () => {
  const s = streaks(wall(11), wall(10));
  assert.equal(s.lighter, W / (W * H)); // the whole row 10
  assert.equal(s.besideLighter, 0);
  assert.equal(s.darker + s.besideDarker, 0);
});

test('where two edges coincide in the reference, one of them a pixel off is not a streak', () => {
  // The reference: a dark lintel above row 10, lit wall hidden, shadowed wall below. The picture
  // shows one row of the lit wall between them: the lintel's edge moved up, the shadow's stayed.
  const reference = picture((x, y) => (y < 10 ? 80 : 40));
  const shifted = picture((x, y) => (y < 9 ? 80 : y === 9 ? 200 : 40));
  const s = streaks(shifted, reference);
  assert.equal(s.lighter, W / (W * H));
  assert.equal(s.besideLighter, 0);
});

test('a wedge of shadow where the reference has light is a streak', () => {
  const reference = wall(20);
  // A three-pixel band from (5, 2) to the right border, and a wedge widening towards it.
  const line = picture((x, y) => (y >= 1 && y <= 3 && x >= 5 ? 40 : y >= 20 ? 40 : 200));
  const wedge = picture((x, y) => (y >= 20 || (x >= 10 && Math.abs(y - 8) <= (x - 10) / 8) ? 40 : 200));
  const thin = streaks(line, reference);
  assert.equal(thin.besideDarker, (W - 6) / (W * H)); // its middle row, but for the pixel at its end
  const wide = streaks(wedge, reference);
  assert.ok(wide.besideDarker > 0.02 && wide.besideDarker <= wide.darker, JSON.stringify(wide));
  assert.equal(wide.besideLighter, 0);
});

test('a missing shadow is a lighter streak, and a small change of colour is none', () => {
  const reference = wall(20);
  const missing = picture((x, y) => (y >= 20 && !(x >= 30 && y >= 25) ? 40 : 200));
  // All of it but its rim next to the shadow that is there.
  assert.equal(streaks(missing, reference).besideLighter, (9 * 4) / (W * H));
  const tinted = picture((x, y) => (y >= 20 ? 40 : 200) + 30);
  const t = streaks(tinted, reference);
  assert.equal(t.darker + t.lighter, 0);
  assert.equal(agreement(tinted, reference, 16), 0);
  assert.equal(agreement(tinted, reference, 30), 1);
});

test('pictures of different sizes are all streaks', () => {
  const s = streaks(wall(10), { width: W, height: H - 1, rgb: Buffer.alloc(W * (H - 1) * 3) });
  assert.equal(s.besideDarker, 1);
});
