// A small static file server for the web build: serves a folder (build-web/ by default) on
// 127.0.0.1 with the types a browser needs for the page, the program and its data. Used by
// `scripts/web.sh --serve` and by the browser tests, which also mount folders of their own.
//
//   node scripts/web-serve.mjs [FOLDER] [--port N]
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm',
  '.json': 'application/json',
  '.txt': 'text/plain; charset=utf-8',
  '.png': 'image/png',
  '.zip': 'application/zip',
};

// The file a URL path names under one of the mounts (URL prefix -> folder); null when it names
// nothing there or tries to leave its folder.
function resolve(mounts, urlPath) {
  let decoded;
  try {
    decoded = decodeURIComponent(urlPath);
  } catch {
    return null;
  }
  for (const [prefix, folder] of mounts) {
    if (!decoded.startsWith(prefix)) continue;
    const root = path.resolve(folder);
    const file = path.resolve(root, '.' + path.posix.normalize('/' + decoded.slice(prefix.length)));
    if (file !== root && !file.startsWith(root + path.sep)) return null;
    return file;
  }
  return null;
}

// Starts serving; resolves to { server, port, url }. `mounts` maps URL prefixes ('/', '/x/') to
// folders; the longest prefix that matches wins.
export function serve(mounts, port = 0) {
  const sorted = Object.entries(mounts).sort((a, b) => b[0].length - a[0].length);
  const server = http.createServer((request, response) => {
    const urlPath = new URL(request.url, 'http://localhost').pathname;
    let file = resolve(sorted, urlPath);
    if (file && fs.existsSync(file) && fs.statSync(file).isDirectory()) file = path.join(file, 'index.html');
    if (!file || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404, { 'Content-Type': 'text/plain' });
      response.end('not found\n');
      return;
    }
    response.writeHead(200, {
      'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
      'Content-Length': fs.statSync(file).size,
      'Cache-Control': 'no-store',
    });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolvePromise, reject) => {
    server.once('error', reject);
    server.listen(port, '127.0.0.1', () => {
      const actual = server.address().port;
      resolvePromise({ server, port: actual, url: `http://127.0.0.1:${actual}/` });
    });
  });
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const args = process.argv.slice(2);
  let folder = 'build-web';
  let port = 8800;
  for (let i = 0; i < args.length; ++i) {
    if (args[i] === '--port') port = Number(args[++i]);
    else folder = args[i];
  }
  if (!fs.existsSync(path.join(folder, 'index.html'))) {
    console.error(`web-serve: ${folder}/index.html is missing: run scripts/web.sh first`);
    process.exit(1);
  }
  const { url } = await serve({ '/': folder }, port);
  console.log(`Serving ${folder} at ${url} (Ctrl+C stops)`);
}
