// ?timedemo: the demo's flight as fast as the browser allows, reported on the console as one JSON
// line with the fields of quorvel-capture --timedemo --json, and on the page. The flight is cut to
// its first frames here (&frames=); its camera goes where the capture's goes.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';

import { openPage, startBrowser, waitFor } from './browser.mjs';
import { SOURCE_DIR, WEB_DIR, capture, tempDir } from './programs.mjs';

const FRAMES = 150;

let session;
before(async () => {
  session = await startBrowser(WEB_DIR);
});
after(async () => {
  await session?.close();
});

test('the timedemo writes the capture\'s JSON as one line and shows its figures', async () => {
  const json = path.join(tempDir(), 'capture.json');
  capture(['--script', path.join(SOURCE_DIR, 'data/flight.txt'), '--frames', String(FRAMES), '--timedemo', '--json', json]);
  const linux = JSON.parse(fs.readFileSync(json, 'utf8'));

  const { page, consoleHas } = await openPage(session, `?timedemo&frames=${FRAMES}`);
  try {
    const line = await consoleHas(/^\{"/);
    const web = JSON.parse(line);
    assert.deepEqual(Object.keys(web).sort(), Object.keys(linux).sort());
    assert.equal(web.frames, FRAMES);
    assert.equal(web.frameTimesMs.length, FRAMES);
    assert.ok(web.meanFps > 0 && web.totalSeconds > 0);
    assert.match(web.renderer, /./);
    // One version everywhere: the JSON's, the capture's and the page's footer.
    assert.match(web.version, /^\d+\.\d+\.\d+$/);
    assert.equal(web.version, linux.version);
    assert.equal(await page.$eval('#version', (e) => e.textContent.trim()), `Quorvel ${web.version}`);
    // The same flight: each frame's camera is where the capture's was, and draws the same rooms.
    assert.deepEqual(web.roomsDrawn, linux.roomsDrawn);
    assert.deepEqual(web.cameraRoom, linux.cameraRoom);
    web.cameraPosition.forEach((p, i) => p.forEach((v, k) =>
      assert.ok(Math.abs(v - linux.cameraPosition[i][k]) < 1e-3, `frame ${i}: camera at ${p}, capture's at ${linux.cameraPosition[i]}`)));
    console.log(`browser timedemo of ${FRAMES} frames: ${web.meanFps.toFixed(1)} FPS on ${web.renderer}; ` +
                `quorvel-capture: ${linux.meanFps.toFixed(1)} FPS`);
    const figures = await waitFor('the figures on the page', () =>
      page.$eval('#figures', (e) => !e.classList.contains('hidden') && e.textContent));
    assert.match(figures, /mean FPS/);
  } finally {
    await page.close();
  }
});
