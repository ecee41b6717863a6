// A benchmark, not a test: the demo's whole flight timed in alternating pairs, quorvel-capture
// --timedemo and the page's timedemo in the browser QV_BROWSER names (headless Chromium unless it
// says firefox; Firefox needs an X display), on the same machine; each pair's ratio (browser /
// capture mean FPS), their median, and the load average before each run.
//   node bench/browser_pairs.mjs WEB_DIR CAPTURE RUN_DIR FLIGHT [PAIRS]
// Pairs alternate which side runs first, so that a load that rises or falls through the run
// weighs on both sides alike.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import { openPage, startBrowser, waitFor } from '../tests/web/browser.mjs';

const [webDir, capture, runDir, flight, pairsArg] = process.argv.slice(2);
if (!flight) {
  console.error('usage: node bench/browser_pairs.mjs WEB_DIR CAPTURE RUN_DIR FLIGHT [PAIRS]');
  process.exit(2);
}
const pairs = Number(pairsArg || 5);
const load = () => os.loadavg().map((l) => l.toFixed(2)).join(' ');
const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'qv-pairs-'));

function captureFps() {
  const json = path.join(dir, 'capture.json');
  execFileSync(capture, ['--dir', runDir, '--script', flight, '--timedemo', '--json', json], { stdio: 'ignore' });
  return JSON.parse(fs.readFileSync(json, 'utf8')).meanFps;
}

async function browserFps() {
  const session = await startBrowser(webDir);
  try {
    const { page, lines } = await openPage(session, '?timedemo');
    const line = await waitFor('the timedemo', () => lines.find((l) => l.startsWith('{"')), 30 * 60 * 1000);
    await page.close();
    return JSON.parse(line).meanFps;
  } finally {
    await session.close();
  }
}

const ratios = [];
for (let i = 0; i < pairs; ++i) {
  const order = i % 2 === 0 ? ['capture', 'browser'] : ['browser', 'capture'];
  const fps = {};
  for (const side of order) {
    const before = load();
    fps[side] = side === 'capture' ? captureFps() : await browserFps();
    console.log(`pair ${i + 1} ${side}: ${fps[side].toFixed(1)} FPS (load average before: ${before})`);
  }
  ratios.push(fps.browser / fps.capture);
  console.log(`pair ${i + 1} browser / capture: ${ratios[i].toFixed(3)}`);
}
const sorted = [...ratios].sort((a, b) => a - b);
const mid = sorted.length >> 1;
const median = sorted.length % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
console.log(`browser / capture median pair ratio: ${median.toFixed(3)} over ${pairs} pairs (load average now: ${load()})`);
fs.rmSync(dir, { recursive: true, force: true });
