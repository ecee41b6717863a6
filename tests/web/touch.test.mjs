// The page on phones and tablets and with a gamepad, in headless Chromium: tap to play with
// fullscreen missing (as on an iPhone), an orientation lock that refuses and a wake lock that is
// granted; one finger on the move stick while another drags to look; the page neither scrolling
// nor zooming; no touch controls without a touch; and a fake standard gamepad whose dead zone,
// left stick, RT and B act on the camera. Every wait is on the effect it checks, up to a deadline.
import assert from 'node:assert/strict';
import { after, before, describe, test } from 'node:test';

import { camera, startBrowser, waitFor } from './browser.mjs';
import { WEB_DIR } from './programs.mjs';

const PHONE = { width: 844, height: 390, deviceScaleFactor: 3, isMobile: true, hasTouch: true, isLandscape: true };
const TABLET = { width: 1180, height: 820, deviceScaleFactor: 2, isMobile: true, hasTouch: true, isLandscape: true };
const DESKTOP = { width: 1024, height: 860 };

let session;
before(async () => {
  session = await startBrowser(WEB_DIR);
});
after(async () => {
  await session?.close();
});

// Set up before the page's own scripts: what the page asked of the browser is counted, the
// browser's answers are those of a phone with no fullscreen, a refusing orientation lock and a
// wake lock, and a gamepad may stand in navigator.getGamepads.
function stubs(withPad) {
  window.asked = { orientation: 0, wake: 0, pointerLock: 0 };
  delete Element.prototype.requestFullscreen;
  Element.prototype.requestPointerLock = function () { window.asked.pointerLock++; };
  if (screen.orientation) {
    screen.orientation.lock = () => {
      window.asked.orientation++;
      return Promise.reject(new DOMException('no lock here', 'NotSupportedError'));
    };
  }
  Object.defineProperty(navigator, 'wakeLock', {
    configurable: true,
    value: { request: async () => { window.asked.wake++; return { released: false, release: async () => {}, addEventListener() {} }; } },
  });
  if (withPad) {
    window.fakePad = {
      id: 'Fake pad (STANDARD GAMEPAD)', index: 0, connected: true, mapping: 'standard', timestamp: 1,
      axes: [0, 0, 0, 0],
      buttons: Array.from({ length: 17 }, () => ({ pressed: false, touched: false, value: 0 })),
    };
    navigator.getGamepads = () => [window.fakePad, null, null, null];
  }
}

async function withPage(viewport, { pad = false } = {}, body) {
  const page = await session.browser.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  try {
    await page.evaluateOnNewDocument(stubs, pad);
    await page.setViewport(viewport);
    await page.goto(session.url + 'index.html');
    await waitFor('the demo to run', () => page.evaluate(() => document.body.dataset.state === 'running'));
    await waitFor('a few frames', async () => (await camera(page)).frame > 3);
    await body(page);
    assert.deepEqual(errors, [], 'the page reported errors');
  } finally {
    await page.close();
  }
}

const canvasBox = (page) => page.$eval('#canvas', (c) => {
  const r = c.getBoundingClientRect();
  return { x: r.x, y: r.y, width: r.width, height: r.height };
});

const distance = (a, b) => Math.hypot(a.values[0] - b.values[0], a.values[1] - b.values[1], a.values[2] - b.values[2]);
const yawApart = (a, b) => Math.min(Math.abs(a.values[4] - b.values[4]), 360 - Math.abs(a.values[4] - b.values[4]));

// Waits until `frames` more frames were drawn; the camera then.
async function framesLater(page, frames) {
  const start = (await camera(page)).frame;
  return waitFor(`${frames} more frames`, async () => {
    const now = await camera(page);
    return now.frame >= start + frames && now;
  });
}

// Waits until the camera stands still from one frame to a later one.
async function atRest(page) {
  let previous = await camera(page);
  await waitFor('the camera to come to rest', async () => {
    const now = await camera(page);
    const still = now.frame > previous.frame && now.values.every((v, i) => v === previous.values[i]);
    previous = now;
    return still;
  });
  return previous;
}

// The first touch shows the controls and the panel; lifting it plays.
async function tapToPlay(page) {
  const box = await canvasBox(page);
  assert.equal(await page.$('#touch'), null, 'touch controls before any touch');
  const finger = await page.touchscreen.touchStart(box.x + box.width / 2, box.y + box.height / 2);
  await waitFor('the tap to play panel', () => page.evaluate(() => {
    const panel = document.getElementById('play');
    return panel && !panel.classList.contains('hidden');
  }));
  await finger.end();
  await waitFor('the page to play', () => page.evaluate(() => document.body.dataset.played === '1'));
  await waitFor('the wake lock to be asked for', () => page.evaluate(() => window.asked.wake === 1));
  assert.equal(await page.evaluate(() => window.asked.orientation), 1, 'the landscape lock was not asked for');
  assert.ok(await page.$eval('#play', (p) => p.classList.contains('hidden')), 'the panel stayed');
  return canvasBox(page); // in the touch layout now
}

async function holdStickForward(page, box) {
  const x = box.x + box.width * 0.25, y = box.y + box.height * 0.6;
  const finger = await page.touchscreen.touchStart(x, y);
  await finger.move(x, y - 30);
  await finger.move(x, y - 60); // 60 of 70 px of travel: forward at about four fifths
  return finger;
}

async function notScrolledOrZoomed(page) {
  const view = await page.evaluate(() => ({
    x: window.scrollX, y: window.scrollY, scale: window.visualViewport.scale,
    top: document.scrollingElement.scrollTop, left: document.scrollingElement.scrollLeft,
  }));
  assert.deepEqual(view, { x: 0, y: 0, scale: 1, top: 0, left: 0 });
}

describe('touch', () => {
  test('a phone: tap to play, stick and look with two fingers at once, no scroll or zoom', async () => {
    await withPage(PHONE, {}, async (page) => {
      const box = await tapToPlay(page);
      // Landscape phone: the 4:3 picture as high as the screen, the controls table folded away.
      assert.ok(Math.abs(box.height - PHONE.height) <= 1, `the picture is ${box.height} px high`);
      assert.ok(Math.abs(box.width - (PHONE.height * 4) / 3) <= 1, `the picture is ${box.width} px wide`);
      assert.equal(await page.$eval('#controls', (c) => getComputedStyle(c).display), 'none');

      const start = await camera(page);
      const mover = await holdStickForward(page, box);
      const lx = box.x + box.width * 0.75, ly = box.y + box.height * 0.5;
      const looker = await page.touchscreen.touchStart(lx, ly);
      for (let i = 1; i <= 6; ++i) await looker.move(lx - 20 * i, ly);
      try {
        await waitFor('the camera to move and turn', async () => {
          const now = await camera(page);
          return distance(now, start) > 0.3 && yawApart(now, start) > 2;
        });
      } finally {
        await looker.end();
        await mover.end();
      }
      await notScrolledOrZoomed(page);
      assert.equal(await page.evaluate(() => window.asked.pointerLock), 0, 'a touch asked for pointer lock');
      // The page shown again (after a switch of apps) asks for the wake lock again.
      await page.evaluate(() => document.dispatchEvent(new Event('visibilitychange')));
      await waitFor('the wake lock to be asked for again', () => page.evaluate(() => window.asked.wake === 2));
    });
  });

  test('a tablet: the stick moves the camera and a tap on B stops it', async () => {
    await withPage(TABLET, {}, async (page) => {
      const box = await tapToPlay(page);
      assert.ok(Math.abs(box.height - TABLET.height) <= 1, `the picture is ${box.height} px high`);
      const start = await camera(page);
      const mover = await holdStickForward(page, box);
      try {
        await waitFor('the stick to move the camera', async () => distance(await camera(page), start) > 0.3);
      } finally {
        await mover.end();
      }
      const moving = await camera(page);
      assert.ok(distance(await framesLater(page, 3), moving) > 0, 'the camera lost its speed without B');
      const b = await page.$$eval('#touch-taps button', (buttons) => {
        const r = buttons.find((x) => x.textContent === 'B').getBoundingClientRect();
        return { x: r.x + r.width / 2, y: r.y + r.height / 2 };
      });
      const tap = await page.touchscreen.touchStart(b.x, b.y);
      await tap.end();
      const rest = await atRest(page);
      assert.equal(distance(await framesLater(page, 5), rest), 0, 'the camera drifted on after B');
      await notScrolledOrZoomed(page);
    });
  });

  test('without touch no touch controls show and the mouse asks for pointer lock', async () => {
    await withPage(DESKTOP, {}, async (page) => {
      const box = await canvasBox(page);
      await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
      await framesLater(page, 5);
      assert.equal(await page.$('#touch'), null);
      assert.equal(await page.$('#play'), null);
      assert.ok(!(await page.evaluate(() => document.body.classList.contains('touch'))));
      assert.equal(await page.evaluate(() => window.asked.pointerLock), 1);
    });
  });
});

describe('gamepad', () => {
  test('shows after a button, rests in its dead zone, moves with the left stick, rises with RT, stops with B', async () => {
    await withPage(DESKTOP, { pad: true }, async (page) => {
      const setPad = (axes, buttons = {}) => page.evaluate((a, b) => {
        window.fakePad.axes = a;
        window.fakePad.buttons.forEach((button, i) => {
          const value = b[i] || 0;
          Object.assign(button, { pressed: value > 0.5, touched: value > 0, value });
        });
        window.fakePad.timestamp += 1;
      }, axes, buttons);

      // Pushed forward but never pressed: the pad does not count yet.
      await setPad([0, -1, 0, 0]);
      const start = await camera(page);
      assert.equal(distance(await framesLater(page, 20), start), 0, 'an unpressed pad moved the camera');
      assert.equal(await page.evaluate(() => document.body.dataset.pad), undefined);

      // A button makes it count; a stick inside the dead zone still moves nothing.
      await setPad([0.1, -0.12, 0.05, 0.1], { 0: 1 });
      await waitFor('the pad to show', () => page.evaluate(() => document.body.dataset.pad));
      await setPad([0.1, -0.12, 0.05, 0.1]);
      const still = await camera(page);
      const later = await framesLater(page, 20);
      assert.equal(distance(later, still), 0, 'a stick inside the dead zone moved the camera');
      assert.equal(yawApart(later, still), 0, 'a stick inside the dead zone turned the camera');

      await setPad([0, -1, 0, 0]);
      await waitFor('the left stick to move the camera', async () => distance(await camera(page), still) > 0.3);

      await setPad([0, 0, 0, 0], { 1: 1 }); // B
      await atRest(page);
      await setPad([0, 0, 0, 0]);
      const low = await camera(page);
      await setPad([0, 0, 0, 0], { 7: 1 }); // RT
      await waitFor('RT to raise the camera', async () => (await camera(page)).values[1] > low.values[1] + 0.3);
      await setPad([0, 0, 0, 0], { 1: 1 });
      await atRest(page);
    });
  });
});
