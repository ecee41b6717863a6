// A scripted flight in the page (?script=&frames=) against quorvel-capture's frames of the same
// flight: the demo's own flight, its first 331 frames, with frames along the way kept and compared
// pixel by pixel. The flight stops after its frames, says so on the console, and leaves its last
// frame on the canvas.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';

import { openPage, pageState, shot, startBrowser, waitFor } from './browser.mjs';
import { agreement, readPng } from './pictures.mjs';
import { SOURCE_DIR, WEB_DIR, capture, tempDir } from './programs.mjs';

const FRAMES = 331;
const SHOTS = [0, 60, 200, 330];
// Channels within this of the capture's count as agreeing: WebGL on SwiftShader and desktop GL on
// llvmpipe round colours and place edges a little differently.
const TOLERANCE = 16;

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

test('the scripted flight draws the frames quorvel-capture draws', async () => {
  const dir = tempDir();
  const flight = path.join(SOURCE_DIR, 'data/flight.txt');
  capture(['--script', flight, '--frames', String(FRAMES), ...SHOTS.flatMap((f) => ['--shot', `${f}:${dir}/${f}.png`])]);

  const { page, lines } = await openPage(session, `?script=data/flight.txt&frames=${FRAMES}&shots=${SHOTS.join(',')}`);
  try {
    // At most the display's rate, on a software WebGL on a busy machine: a long wait.
    await waitFor('the flight to end', () => lines.find((l) => l === `frames done: ${FRAMES}`), 600000);
    assert.equal(await pageState(page), 'done');
    const worst = { frame: -1, agreement: 1 };
    for (const frame of SHOTS) {
      const browser = await waitFor(`frame ${frame}`, () => shot(page, frame));
      const linux = readPng(`${dir}/${frame}.png`);
      const a = agreement(browser, linux, TOLERANCE);
      console.log(`frame ${frame}: ${(a * 100).toFixed(2)}% of pixels within ${TOLERANCE} of quorvel-capture's`);
      if (a < worst.agreement) Object.assign(worst, { frame, agreement: a });
    }
    console.log(`worst frame: ${worst.frame} at ${(worst.agreement * 100).toFixed(2)}%`);
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
