// Runs one browser test file with node's test runner, once what it needs is there: the web build
// (scripts/web.sh), puppeteer-core installed from the lock file, the browser QV_BROWSER names
// (Debian's headless Chromium by default; Firefox ESR, which also needs an X display) and the
// Linux capture tool. Without them it skips (exit 77), unless QV_REQUIRE_WEB=1 makes that a
// failure, as scripts/test.sh does.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const missing = [];
const web = process.env.QV_WEB_DIR || '';
if (!fs.existsSync(path.join(web, 'quorvel.wasm'))) missing.push(`the web build (${web}/quorvel.wasm): run scripts/web.sh`);
if (!fs.existsSync(path.join(here, 'node_modules', 'puppeteer-core'))) missing.push('puppeteer-core: run scripts/web.sh (npm ci in tests/web)');
if (process.env.QV_BROWSER === 'firefox') {
  if (!fs.existsSync(process.env.QV_FIREFOX || '/usr/bin/firefox-esr')) missing.push('firefox-esr: run scripts/deps.sh web');
  if (!process.env.DISPLAY) missing.push('an X display for Firefox (DISPLAY)');
} else if (!fs.existsSync(process.env.QV_CHROMIUM || '/usr/bin/chromium-headless-shell')) {
  missing.push('chromium-headless-shell: run scripts/deps.sh web');
}
if (!fs.existsSync(process.env.QV_CAPTURE || '')) missing.push('quorvel-capture');
if (missing.length) {
  for (const m of missing) console.error('missing ' + m);
  process.exit(process.env.QV_REQUIRE_WEB === '1' ? 1 : 77);
}
const file = path.join(here, process.argv[2]);
const result = spawnSync(process.execPath, ['--test', file], { stdio: 'inherit' });
process.exit(result.status === null ? 1 : result.status);
