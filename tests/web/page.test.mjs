// The page in headless Chromium, played by hand: its first frame against the Linux capture's, the
// keys and the mouse, the F1 overlay, Escape and starting again, a world that is not there, and a
// world dropped onto the page. Every wait is on the effect it checks, up to a deadline.
import assert from 'node:assert/strict';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { camera, grab, openPage, pageState, shot, startBrowser, waitFor } from './browser.mjs';
import { besideSpinner, crop, differentFraction, readPng, showsAPicture } from './pictures.mjs';
import { EXAMPLE_WORLD, WEB_DIR, capture, tempDir } from './programs.mjs';

let session;
before(async () => {
  session = await startBrowser(WEB_DIR, { '/examples/': EXAMPLE_WORLD });
});
after(async () => {
  await session?.close();
});

// Runs `body` on a fresh page at `query`, and closes the page whatever happens: a page left open
// would go on drawing and slow the next test.
async function withPage(query, body) {
  const opened = await openPage(session, query);
  try {
    await body(opened);
  } finally {
    await opened.page.close();
  }
}

// Holds `key` until `effect` holds, then lets go; what `effect` gave.
async function holdUntil(page, key, what, effect) {
  await page.keyboard.down(key);
  try {
    return await waitFor(what, effect);
  } finally {
    await page.keyboard.up(key);
  }
}

// B takes all speed and leftover turning away: held until the camera stands still from one frame
// to a later one; the picture then.
async function bringToRest(page) {
  let previous = await camera(page);
  await holdUntil(page, 'KeyB', 'the camera to come to rest', async () => {
    const now = await camera(page);
    const still = now.frame > previous.frame && now.values.every((v, i) => v === previous.values[i]);
    previous = now;
    return still;
  });
  return grab(page);
}

describe('the page', () => {
  test('the first frame shows the demo and matches the Linux capture beside the spinner', async () => {
    const linuxFile = path.join(tempDir(), 'linux-first.png');
    capture(['--shot', `0:${linuxFile}`]);
    const linux = readPng(linuxFile);

    await withPage('?shots=0', async ({ page, consoleHas }) => {
      const first = await waitFor('the first frame', () => shot(page, 0));
      const timing = await consoleHas('first frame:');
      console.log(timing);
      assert.equal(first.width, 800);
      assert.equal(first.height, 600);
      assert.ok(showsAPicture(first), 'the first frame is blank');
      // The spinner keeps turning between the programs' first frames (the browser's clock is
      // real), so the whole picture is compared loosely and the parts it never reaches closely.
      const apart = differentFraction(first, linux);
      const beside = besideSpinner(first, linux);
      console.log(`first frame: ${(apart * 100).toFixed(2)}% of all pixels and at most ${(beside * 100).toFixed(2)}% ` +
                  'of those beside the spinner differ from the Linux capture');
      assert.ok(apart < 0.2, `${apart} of the first frame differs from the Linux capture`);
      assert.ok(beside < 0.01, `${beside} of the first frame beside the spinner differs from the Linux capture`);
    });
  });

  test('holding W moves the camera, the mouse turns it, F1 shows the overlay and F12 saves the frame', async () => {
    await withPage('', async ({ page }) => {
      const before = await waitFor('a first frame', () => grab(page));
      await page.focus('#canvas');
      await holdUntil(page, 'KeyW', 'W to move the camera', async () => besideSpinner(before, await grab(page)) > 0.2);
      const rest = await bringToRest(page);

      // A click on the picture asks for the pointer; without it (see openPage), a drag turns the view.
      const box = await (await page.$('#canvas')).boundingBox();
      const cx = box.x + box.width / 2, cy = box.y + box.height / 2;
      await page.mouse.move(cx, cy);
      await page.mouse.down();
      assert.deepEqual(await page.evaluate(() => window.pointerLockAsked), ['canvas'], 'the click did not ask for the pointer');
      let dx = 0;
      await waitFor('the mouse to turn the camera', async () => {
        dx += 20;
        await page.mouse.move(cx + dx, cy, { steps: 4 });
        return besideSpinner(rest, await grab(page)) > 0.2;
      });
      await page.mouse.up();
      const turned = await bringToRest(page);

      // The overlay's panel and text in the top-left corner.
      const corner = (image) => crop(image, 0, 0, 320, 70);
      await holdUntil(page, 'F1', 'F1 to show the overlay', async () => differentFraction(corner(turned), corner(await grab(page))) > 0.3);
      const overlay = await grab(page);
      assert.ok(differentFraction(corner(turned), corner(overlay)) > 0.3, 'the overlay went away again');

      // F12 saves the frame in the world's folder, from where the page offers it as a download.
      const saved = () => page.evaluate(() => Module.FS.analyzePath('/demo/quorvel-0001.png').exists);
      await holdUntil(page, 'F12', 'F12 to save the frame', saved);
      assert.ok(await page.evaluate(() => Module.FS.readFile('/demo/quorvel-0001.png').length > 1000));
    });
  });

  test('Escape ends the demo, the page says so, and it starts again', async () => {
    await withPage('', async ({ page }) => {
      await waitFor('the demo to run', async () => (await pageState(page)) === 'running');
      await page.focus('#canvas');
      await holdUntil(page, 'Escape', 'Escape to end the demo', async () => (await pageState(page)) === 'ended');
      assert.ok(await page.$eval('#ended', (e) => !e.classList.contains('hidden')), 'the page does not say the demo ended');
      await page.click('#restart');
      await waitFor('the demo to run again', async () => (await pageState(page)) === 'running');
      const again = await grab(page);
      assert.ok(showsAPicture(again), 'the demo started again shows nothing');
    });
  });

  test('a world that is not there says "Could not load world!" on the page and the console', async () => {
    await withPage('?world=no-such-world', async ({ page, consoleHas }) => {
      await consoleHas('Could not load world!');
      const text = await waitFor('the message panel', () =>
        page.$eval('#message', (e) => !e.classList.contains('hidden') && e.textContent));
      assert.match(text, /Could not load world!/);
      assert.equal(await pageState(page), 'failed');
    });
  });

  test('a world served beside the page and a world dropped onto it replace the demo world', async () => {
    await withPage('?world=examples', async ({ page }) => {
      const served = await waitFor('the served world', async () => (await pageState(page)) === 'running' && grab(page));
      assert.ok(showsAPicture(served));

      // The same world's files, dropped: the page runs it from its own folder.
      await page.evaluate(async () => {
        const names = ['demo.kbw', 'demo.ktl'];
        const ktl = new Uint8Array(await (await fetch('examples/demo.ktl')).arrayBuffer());
        names.push(...Module.ccall('quorvel_texture_names', 'string', ['string'], ['/world/demo.ktl']).split('\n').filter(Boolean));
        const transfer = new DataTransfer();
        for (const name of names) {
          const bytes = name === 'demo.ktl' ? ktl : new Uint8Array(await (await fetch('examples/' + name)).arrayBuffer());
          transfer.items.add(new File([bytes], name.split('/').pop()));
        }
        document.dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
      });
      // The served world stays 'running' while the drop's files are written: only the dropped
      // folder's start says the new world runs.
      await waitFor('the dropped world to run', () =>
        page.evaluate(() => document.body.dataset.state === 'running' && document.body.dataset.world === '/dropped-1'));
      const dropped = await grab(page);
      assert.ok(showsAPicture(dropped));
      // The same world from the same place: only what moves by itself may differ.
      assert.ok(differentFraction(served, dropped) < 0.2, 'the dropped world does not look like the served one');
    });
  });
});
