import fs from 'node:fs';
import { startBrowser, openPage, pageState, shot, camera, waitFor } from './browser.mjs';
const s = await startBrowser(process.env.QV_WEB_DIR, { '/data/': '/work/wt-i27web/data' });
const save = (p, f) => fs.writeFileSync(f, Buffer.concat([Buffer.from(`P6 ${p.width} ${p.height} 255\n`), p.rgb]));
try {
  const { page, lines } = await openPage(s, '?script=data/flight.txt&frames=201&shots=60,200');
  await waitFor('done', () => lines.find((l) => l.startsWith('frames done')), 300000);
  save(await shot(page, 60), '/tmp/qv-60.ppm'); save(await shot(page, 200), '/tmp/qv-200.ppm');
  console.log(JSON.stringify(await camera(page)));
} finally { await s.close(); }
