// A scripted flight in the page (?script=&frames=) against quorvel-capture's frames of the same
// flight: the demo's own flight, its first 451 frames, with every 30th frame kept and compared
// pixel by pixel, for agreement and for streaks (see pictures.mjs). The flight stops after its
// frames, says so on the console, and leaves its last frame on the canvas.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';

import { BROWSER, openPage, pageState, shot, startBrowser, waitFor } from './browser.mjs';
import { agreement, readPng, streaks } from './pictures.mjs';
import { SOURCE_DIR, WEB_DIR, capture, tempDir } from './programs.mjs';

const FRAMES = 451;
const SHOTS = Array.from({ length: 16 }, (_, i) => 30 * i);
// Channels within this of the capture's count as agreeing: WebGL on SwiftShader or llvmpipe and
// desktop GL on llvmpipe round colours and place edges a little differently.
const TOLERANCE = 16;
// At most this share of a frame's pixels may be darker or lighter than the capture's by more than
// 60, beyond what placing an edge one pixel apart explains (see streaks in pictures.mjs): a
// shadow-volume face missed or counted twice shows up as hundreds of such pixels.
const MOST_STREAKED = 0.0002;

let session;
const fixtures = tempDir();
before(async () => {
  // A flight that quits by itself after five frames.
  fs.writeFileSync(path.join(fixtures, 'quit.txt'), 'step 20\n2 down W\n5 quit\n');
  session = await startBrowser(WEB_DIR, { '/data/': path.join(SOURCE_DIR, 'data'), '/fixtures/': fixtures });
});
after(async () => {
  await session?.close();
});

test('the scripted flight draws the frames quorvel-capture draws, without streaks', async () => {
  const dir = tempDir();
  const flight = path.join(SOURCE_DIR, 'data/flight.txt');
  capture(['--script', flight, '--frames', String(FRAMES), ...SHOTS.flatMap((f) => ['--shot', `${f}:${dir}/${f}.png`])]);

  const { page, lines } = await openPage(session, `?script=data/flight.txt&frames=${FRAMES}&shots=${SHOTS.join(',')}`);
  try {
    // At most the display's rate, on a software WebGL on a busy machine: a long wait.
    await waitFor('the flight to end', () => lines.find((l) => l === `frames done: ${FRAMES}`), 600000);
    assert.equal(await pageState(page), 'done');
    const worst = { frame: -1, agreement: 1 };
    const streakiest = { frame: -1, streaked: -1 };
    const differing = { frame: -1, share: -1 };
    const percent = (x, digits = 2) => `${(x * 100).toFixed(digits)}%`;
    for (const frame of SHOTS) {
      const browser = await waitFor(`frame ${frame}`, () => shot(page, frame));
      const linux = readPng(`${dir}/${frame}.png`);
      const a = agreement(browser, linux, TOLERANCE);
      const s = streaks(browser, linux);
      console.log(`${BROWSER} frame ${frame}: ${percent(a)} of pixels within ${TOLERANCE} of quorvel-capture's; ` +
                  `${percent(s.darker, 4)} darker and ${percent(s.lighter, 4)} lighter by more than 60, ` +
                  `${percent(s.besideDarker, 4)} and ${percent(s.besideLighter, 4)} beyond a one-pixel edge shift`);
      if (a < worst.agreement) Object.assign(worst, { frame, agreement: a });
      const streaked = s.besideDarker + s.besideLighter;
      if (streaked > streakiest.streaked) Object.assign(streakiest, { frame, streaked, ...s });
      if (s.darker + s.lighter > differing.share) Object.assign(differing, { frame, share: s.darker + s.lighter });
    }
    console.log(`${BROWSER} worst frame for agreement: ${worst.frame} at ${percent(worst.agreement)}`);
    console.log(`${BROWSER} most pixels darker or lighter by more than 60: frame ${differing.frame}, ${percent(differing.share, 4)}`);
    console.log(`${BROWSER} worst frame for streaks: ${streakiest.frame} with ${percent(streakiest.besideDarker, 4)} darker ` +
                `and ${percent(streakiest.besideLighter, 4)} lighter beyond a one-pixel edge shift ` +
                `(${percent(streakiest.darker, 4)} and ${percent(streakiest.lighter, 4)} in all)`);
    assert.ok(streakiest.streaked <= MOST_STREAKED,
              `frame ${streakiest.frame}: ${streakiest.besideDarker} of the pixels are darker and ${streakiest.besideLighter} lighter than the capture's`);
    assert.ok(worst.agreement >= 0.995, `frame ${worst.frame}: only ${worst.agreement} of the pixels agree`);
    // Stopped: no frame is drawn after the last.
    assert.equal(await page.evaluate(() => Module._quorvel_frames()), FRAMES);
  } finally {
    await page.close();
  }
});

test('a flight that quits by itself ends there, like quorvel-capture\'s', async () => {
  const { page, lines } = await openPage(session, '?script=fixtures/quit.txt&shots=4');
  try {
    await waitFor('the flight to end', () => lines.find((l) => l.startsWith('frames done:')));
    assert.ok(lines.includes('frames done: 5'), lines.join('\n'));
    assert.equal(await pageState(page), 'done');
    assert.ok(await shot(page, 4), 'the last frame was not drawn');
  } finally {
    await page.close();
  }
});
