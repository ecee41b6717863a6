// F7 in the page: a flight recorded by hand (F7, W, Left, F7) is offered as a download, and that
// file, replayed by quorvel-capture, ends at the camera its last line gives. The page's timedemo
// of a recorded flight (?timedemo=FILE) shows the frame-time chart under its figures.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';

import { camera, openPage, startBrowser, waitFor } from './browser.mjs';
import { WEB_DIR, capture, tempDir } from './programs.mjs';

let session;
const fixtures = tempDir();
before(async () => {
  session = await startBrowser(WEB_DIR, { '/fixtures/': fixtures });
});
after(async () => {
  await session?.close();
});

// Holds `key` until `effect` gives something, then lets go; what it gave.
async function holdUntil(page, key, what, effect) {
  await page.keyboard.down(key);
  try {
    return await waitFor(what, effect);
  } finally {
    await page.keyboard.up(key);
  }
}

test('F7 records a flight, offers it as a download, and quorvel-capture flies it to the same camera', async () => {
  const { page, lines } = await openPage(session);
  try {
    // The page's download link is followed here instead of by the browser: its name and contents.
    await waitFor('the program to start', () => page.evaluate(() => !!(window.Module && Module.calledRun)));
    await page.evaluate(() => {
      window.downloads = [];
      HTMLAnchorElement.prototype.click = function () {
        const link = this;
        fetch(link.href).then((r) => r.text()).then((text) => window.downloads.push({ name: link.download, text }));
      };
    });
    await page.focus('#canvas');
    const said = (text) => () => lines.find((l) => l.includes(text));
    await holdUntil(page, 'F7', 'the recording to start', said('recording flight-0001.txt'));
    const start = await camera(page);
    await holdUntil(page, 'KeyW', 'the camera to move', async () => {
      const now = await camera(page);
      return Math.abs(now.values[2] - start.values[2]) > 0.05;
    });
    const flown = await camera(page);
    await holdUntil(page, 'ArrowLeft', 'the camera to turn', async () => {
      const now = await camera(page);
      return Math.abs(now.values[4] - flown.values[4]) > 2;
    });
    await holdUntil(page, 'F7', 'the recording to be saved', said('saved flight-0001.txt'));
    const download = await waitFor('the download', () => page.evaluate(() => window.downloads[0]));
    assert.equal(download.name, 'flight-0001.txt');
    assert.match(download.text, / down W\n/);
    assert.match(download.text, / down LEFT\n/);
    const end = /# end: camera (\S+) (\S+) (\S+) angles (\S+) (\S+) (\S+)\n$/.exec(download.text);
    assert.ok(end, download.text);

    const dir = tempDir();
    fs.writeFileSync(path.join(dir, 'flight-0001.txt'), download.text);
    fs.writeFileSync(path.join(fixtures, 'flight-0001.txt'), download.text);
    capture(['--script', path.join(dir, 'flight-0001.txt'), '--json', path.join(dir, 'replay.json')]);
    const replay = JSON.parse(fs.readFileSync(path.join(dir, 'replay.json'), 'utf8'));
    const last = replay.frames - 1;
    const values = [...replay.cameraPosition[last], ...replay.cameraAngles[last]];
    const off = values.map((v, i) => Math.abs(v - Number(end[i + 1])));
    const units = Math.max(...off.slice(0, 3)).toPrecision(3), degrees = Math.max(...off.slice(3)).toPrecision(3);
    console.log(`recorded in the browser, ${replay.frames} frames: the Linux replay ends ${units} units and ` +
                `${degrees} degrees off`);
    values.forEach((v, i) => {
      const limit = i < 3 ? 1e-3 : 0.01;
      assert.ok(Math.abs(v - Number(end[i + 1])) <= limit, `value ${i}: replayed ${v}, recorded ${end[i + 1]}`);
    });
  } finally {
    await page.close();
  }

  // The same recording timed in the page: the figures, and the chart under them.
  const timed = await openPage(session, '?timedemo=fixtures/flight-0001.txt');
  try {
    const line = await timed.consoleHas(/^\{"/);
    const web = JSON.parse(line);
    const recorded = fs.readFileSync(path.join(fixtures, 'flight-0001.txt'), 'utf8');
    assert.equal(web.frames, Number(/\n(\d+) quit\n/.exec(recorded)[1]));
    const points = await waitFor('the chart', () => timed.page.evaluate(() => {
      const chart = document.getElementById('chart');
      const line = chart && !chart.classList.contains('hidden') && chart.querySelector('polyline#frame-times');
      return line && line.points.numberOfItems;
    }));
    assert.equal(points, web.frames);
  } finally {
    await timed.page.close();
  }
});
