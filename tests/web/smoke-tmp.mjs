import fs from 'node:fs';
import { startBrowser, openPage, pageState, grab, waitFor } from './browser.mjs';
import { besideSpinner } from './pictures.mjs';
const s = await startBrowser(process.env.QV_WEB_DIR);
const t0 = Date.now();
const log = (...a) => console.log(((Date.now() - t0) / 1000).toFixed(1), ...a);
const save = (p, f) => fs.writeFileSync(f, Buffer.concat([Buffer.from(`P6 ${p.width} ${p.height} 255\n`), p.rgb]));
try {
  const { page, lines } = await openPage(s, '');
  const before = await grab(page);
  await page.focus('#canvas');
  await page.keyboard.down('KeyW');
  await waitFor('w', async () => besideSpinner(before, await grab(page)) > 0.2);
  await page.keyboard.up('KeyW'); log('W done');
  let previous = await grab(page);
  await page.keyboard.down('KeyB');
  await waitFor('rest', async () => { const now = await grab(page); const d = besideSpinner(previous, now); log('rest d', d.toFixed(3)); previous = now; return d < 0.01; });
  await page.keyboard.up('KeyB');
  const rest = previous; save(rest, '/tmp/qv-rest.ppm');
  await page.evaluate(() => { window.moves = []; document.addEventListener('mousemove', e => window.moves.push([e.movementX, e.movementY, e.buttons])); });
  const box = await (await page.$('#canvas')).boundingBox();
  await page.mouse.move(box.x + 400, box.y + 300);
  await page.mouse.down();
  for (let i = 1; i < 4; ++i) { await page.mouse.move(box.x + 400 + 20 * i, box.y + 300, { steps: 4 }); const g = await grab(page); log('mv', besideSpinner(rest, g).toFixed(3)); if (i == 3) save(g, '/tmp/qv-mv.ppm'); }
  log(JSON.stringify(await page.evaluate(() => window.moves)));
} finally { await s.close(); }
