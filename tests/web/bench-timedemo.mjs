// A benchmark, not a test: the demo's whole flight as the page's timedemo in headless Chromium,
// beside quorvel-capture --timedemo of the same flight on the same machine, and their ratio.
//   node tests/web/bench-timedemo.mjs WEB_DIR CAPTURE RUN_DIR FLIGHT
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import { openPage, startBrowser, waitFor } from './browser.mjs';

const [webDir, capture, runDir, flight] = process.argv.slice(2);
if (!flight) {
  console.error('usage: node tests/web/bench-timedemo.mjs WEB_DIR CAPTURE RUN_DIR FLIGHT');
  process.exit(2);
}

const json = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'qv-bench-')), 'capture.json');
execFileSync(capture, ['--dir', runDir, '--script', flight, '--timedemo', '--json', json], { stdio: 'ignore' });
const desktop = JSON.parse(fs.readFileSync(json, 'utf8'));

const session = await startBrowser(webDir);
let web;
try {
  const { page, lines } = await openPage(session, '?timedemo');
  const line = await waitFor('the timedemo', () => lines.find((l) => l.startsWith('{"')), 30 * 60 * 1000);
  web = JSON.parse(line);
  await page.close();
} finally {
  await session.close();
}
console.log(`browser timedemo: ${web.frames} frames, ${web.meanFps.toFixed(1)} FPS, median ${web.medianMs.toFixed(2)} ms (${web.renderer})`);
console.log(`quorvel-capture:  ${desktop.frames} frames, ${desktop.meanFps.toFixed(1)} FPS, median ${desktop.medianMs.toFixed(2)} ms (${desktop.renderer})`);
console.log(`browser / capture mean FPS: ${(web.meanFps / desktop.meanFps).toFixed(2)}`);
