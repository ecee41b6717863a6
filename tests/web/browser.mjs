// What the browser tests share: the browser, driven by puppeteer-core (never a downloaded
// browser), one page of the web build served on 127.0.0.1 with its console kept, waiting on effects
// with deadlines, and the program's pictures read back. QV_BROWSER picks the browser: chromium
// (Debian's headless Chromium, WebGL on SwiftShader; the default) or firefox (Debian's Firefox ESR
// over WebDriver BiDi, WebGL on llvmpipe). Firefox runs headed on the X display in DISPLAY: its
// headless mode has no WebGL.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

import { serve } from '../../scripts/web-serve.mjs';

export const BROWSER = process.env.QV_BROWSER || 'chromium';
export const CHROMIUM = process.env.QV_CHROMIUM || '/usr/bin/chromium-headless-shell';
export const FIREFOX = process.env.QV_FIREFOX || '/usr/bin/firefox-esr';
// The executable of the browser the tests run in.
export const BROWSER_PATH = BROWSER === 'firefox' ? FIREFOX : CHROMIUM;
// Generous: a busy 2-core machine runs a software WebGL and the tests side by side.
export const DEADLINE_MS = Number(process.env.QV_WEB_DEADLINE_MS || 60000);

const FLAGS = [
  '--no-sandbox', // the tests may run as root
  '--use-angle=swiftshader',
  '--enable-unsafe-swiftshader',
  '--ignore-gpu-blocklist',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--disable-background-timer-throttling',
  '--disable-renderer-backgrounding',
  '--disable-backgrounding-occluded-windows',
];

// Firefox: WebGL on whatever Mesa driver the display has (llvmpipe under Xvfb), F1 and F12 left
// to the page, and nothing fetched from the network at start.
const FIREFOX_PREFS = {
  'webgl.force-enabled': true,
  'webgl.disable-fail-if-major-performance-caveat': true,
  'devtools.policy.disabled': true,
  'app.update.disabledForTesting': true,
  'browser.shell.checkDefaultBrowser': false,
  'datareporting.policy.dataSubmissionEnabled': false,
  'dom.min_background_timeout_value': 0,
};

function launch(profile) {
  if (BROWSER === 'firefox') {
    return puppeteer.launch({
      browser: 'firefox',
      executablePath: FIREFOX,
      headless: false,
      userDataDir: profile,
      extraPrefsFirefox: FIREFOX_PREFS,
      protocolTimeout: DEADLINE_MS * 2,
    });
  }
  return puppeteer.launch({
    executablePath: CHROMIUM,
    headless: 'shell',
    args: FLAGS,
    userDataDir: profile,
    protocolTimeout: DEADLINE_MS * 2,
  });
}

// Polls `check` (sync or async) every 50 ms until it gives a truthy value, which it returns;
// throws with `what` when `ms` pass first.
export async function waitFor(what, check, ms = DEADLINE_MS) {
  const end = Date.now() + ms;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > end) throw new Error(`waited ${ms} ms for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

// A browser with a fresh profile and a server for the web build (plus any extra mounts).
export async function startBrowser(webDir, mounts = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), `qv-${BROWSER}-`));
  const browser = await launch(profile);
  const { server, url } = await serve({ '/': webDir, ...mounts });
  return {
    browser,
    url,
    async close() {
      await browser.close();
      server.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// One page at `url` with its console lines (and page errors) kept in `lines`.
//
// Headless Chromium grants pointer lock, but from then on the page draws a frame every few
// seconds: in either browser the page's requests for it are recorded in window.pointerLockAsked
// instead, and the mouse turns the view by dragging, as it does where a browser refuses the lock.
export async function openPage(session, query = '') {
  const page = await session.browser.newPage();
  await page.evaluateOnNewDocument(() => {
    window.pointerLockAsked = [];
    Element.prototype.requestPointerLock = function () { window.pointerLockAsked.push(this.id); };
  });
  await page.setViewport({ width: 1024, height: 860 });
  const lines = [];
  page.on('console', (m) => lines.push(m.text()));
  page.on('pageerror', (e) => lines.push('pageerror: ' + e.message + ' ' + (process.env.QV_WEB_STACKS ? e.stack : '')));
  await page.goto(session.url + 'index.html' + query);
  const consoleHas = (test) =>
    waitFor(`a console line ${test}`, () => lines.find((l) => (test instanceof RegExp ? test.test(l) : l.includes(test))));
  return { page, lines, consoleHas };
}

// The page's state as the program last told it: running, ended, failed, done, timedemo.
export function pageState(page) {
  return page.evaluate(() => document.body.dataset.state || '');
}

// Reads a picture out of the program's memory: RGB rows, top row first (the program keeps them
// bottom row first, as GL reads them).
async function readPicture(page, pointerExpression) {
  const { width, height, base64 } = await page.evaluate((expr) => {
    if (!window.Module || !Module.calledRun) return { width: 0 }; // the program is not there yet
    const pointer = eval(expr); // eslint-disable-line no-eval
    if (!pointer) return { width: 0, height: 0, base64: '' };
    const width = Module._quorvel_picture_width();
    const height = Module._quorvel_picture_height();
    const bytes = Module.HEAPU8.subarray(pointer, pointer + width * height * 4);
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return { width, height, base64: btoa(text) };
  }, pointerExpression);
  if (!width) return null;
  const rgba = Buffer.from(base64, 'base64');
  const rgb = Buffer.alloc(width * height * 3);
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const from = ((height - 1 - y) * width + x) * 4;
      const to = (y * width + x) * 3;
      rgb[to] = rgba[from];
      rgb[to + 1] = rgba[from + 1];
      rgb[to + 2] = rgba[from + 2];
    }
  }
  return { width, height, rgb };
}

// The next frame the program draws.
export async function grab(page) {
  await waitFor('the program to start', () => page.evaluate(() => !!(window.Module && Module.calledRun)));
  await page.evaluate(() => Module._quorvel_request_grab());
  await waitFor('a frame to grab', () => page.evaluate(() => Module._quorvel_grab_frame() >= 0));
  return readPicture(page, 'Module._quorvel_grab_pixels()');
}

// The camera's position and angles after the latest frame, with that frame's number.
export function camera(page) {
  return page.evaluate(() => {
    const at = Module._quorvel_camera() / 4;
    return { frame: Module._quorvel_frames(), values: Array.from(Module.HEAPF32.subarray(at, at + 6)) };
  });
}

// The picture of frame `frame` kept because the page's ?shots= named it; null until drawn.
export function shot(page, frame) {
  return readPicture(page, `Module._quorvel_shot_pixels(${Number(frame)})`);
}
