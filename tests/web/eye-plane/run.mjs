// Opens index.html in Debian's headless Chromium (SwiftShader) and in Firefox ESR (llvmpipe, on
// the X display in DISPLAY) and prints, for each w of the third corner, how many of the 60
// triangles each browser draws, and how many Firefox draws that Chromium drops in both passes.
//   node tests/web/eye-plane/run.mjs      (after npm ci in tests/web; Firefox needs DISPLAY)
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';

const page = pathToFileURL(path.join(path.dirname(fileURLToPath(import.meta.url)), 'index.html')).href;

async function results(options) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'qv-eye-plane-'));
  const browser = await puppeteer.launch({ ...options, userDataDir: profile });
  try {
    const tab = await browser.newPage();
    await tab.goto(page);
    await tab.waitForFunction(() => window.results, { timeout: 60000 });
    return await tab.evaluate(() => ({ renderer: window.renderer, results: window.results }));
  } finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

const chromium = await results({
  executablePath: process.env.QV_CHROMIUM || '/usr/bin/chromium-headless-shell',
  headless: 'shell',
  args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader', '--ignore-gpu-blocklist'],
});
const firefox = await results({
  browser: 'firefox',
  executablePath: process.env.QV_FIREFOX || '/usr/bin/firefox-esr',
  headless: false,
  extraPrefsFirefox: { 'webgl.force-enabled': true },
});
console.log(`Chromium: ${chromium.renderer}\nFirefox: ${firefox.renderer}`);
const drawn = ([back, front]) => back + front > 0;
for (const name of Object.keys(firefox.results)) {
  const c = chromium.results[name], f = firefox.results[name];
  const dropped = f.filter((x, i) => drawn(x) && !drawn(c[i])).length;
  console.log(`${name}: Firefox draws ${f.filter(drawn).length} of ${f.length}, Chromium ${c.filter(drawn).length}; ` +
              `dropped by Chromium in both passes: ${dropped}`);
}
