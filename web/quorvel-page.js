// The page's side of Quorvel in the browser: reads the options in the URL, fetches the files they
// name into the program's in-memory files, loads the program (quorvel.js, quorvel.wasm and the
// packed demo world quorvel.data) with a progress bar, starts it, and shows what it reports:
// message boxes as a panel, the end of the demo with a way to start again, the timedemo's
// figures. A world's files dropped onto the page replace the world shown.
'use strict';

(function () {
  const params = new URLSearchParams(location.search);
  const $ = (id) => document.getElementById(id);
  const page = {
    dir: '/demo',     // the world folder the program runs in
    drops: 0,         // dropped worlds so far: each gets a folder of its own
    started: false,
  };

  // --- what the page shows ---

  function progress(text, fraction) {
    $('progress').classList.toggle('hidden', text === null);
    if (text === null) return;
    $('progress-text').textContent = text;
    if (fraction !== undefined) $('progress-fill').style.width = Math.round(fraction * 100) + '%';
  }

  function messageBox(caption, text) {
    $('message-caption').textContent = caption;
    $('message-text').textContent = text;
    $('message').classList.remove('hidden');
    progress(null);
  }

  function hint(text) { $('hint').textContent = text; }

  function freeHint() {
    hint(params.has('script') || params.has('timedemo')
      ? 'A scripted flight: the keys and mouse are not used.'
      : 'Click the picture to steer with the mouse. Escape gives the mouse back, and then ends the demo.');
  }

  function showFigures(json) {
    const r = JSON.parse(json);
    const rows = [
      ['renderer', r.renderer], ['frames', r.frames], ['total', r.totalSeconds.toFixed(3) + ' s'],
      ['mean FPS', r.meanFps.toFixed(1)], ['median frame', r.medianMs.toFixed(2) + ' ms'],
      ['95th percentile', r.p95Ms.toFixed(2) + ' ms'], ['99th percentile', r.p99Ms.toFixed(2) + ' ms'],
    ];
    const table = $('figures');
    table.replaceChildren(...rows.map(([name, value]) => {
      const tr = document.createElement('tr');
      for (const text of [name, String(value)]) {
        const td = document.createElement('td');
        td.textContent = text;
        tr.appendChild(td);
      }
      return tr;
    }));
    table.classList.remove('hidden');
    hint('Timedemo done: ' + r.frames + ' frames at ' + r.meanFps.toFixed(1) + ' frames per second.');
  }

  // The program's frame-time chart (SVG text it made itself), under the figures.
  function showChart(svg) {
    const chart = $('chart');
    chart.innerHTML = svg.replace(/^<\?xml[^>]*\?>\s*/, '');
    chart.classList.remove('hidden');
  }

  // --- files into the program's memory ---

  function mkdirs(path) {
    let at = '';
    for (const part of path.split('/').slice(1, -1)) {
      at += '/' + part;
      if (!Module.FS.analyzePath(at).exists) Module.FS.mkdir(at);
    }
  }

  function writeFile(path, bytes) {
    mkdirs(path);
    Module.FS.writeFile(path, new Uint8Array(bytes));
  }

  async function fetchBytes(url) {
    const response = await fetch(url);
    if (!response.ok) throw new Error(url + ': ' + response.status + ' ' + response.statusText);
    return response.arrayBuffer();
  }

  // Only plain relative names: a texture list cannot reach outside its world's folder.
  function safeName(name) {
    return name && !name.startsWith('/') && !name.split('/').includes('..');
  }

  function textureNames(ktlPath) {
    const text = Module.ccall('quorvel_texture_names', 'string', ['string'], [ktlPath]);
    return text.split('\n').filter(safeName);
  }

  // ?world=DIR: the world's two files and the textures its list names, into /world. What cannot
  // be fetched stays missing, and the program reports it as it would on the desktop.
  async function fetchWorld(dir) {
    const base = dir.replace(/\/+$/, '') + '/';
    const names = ['demo.kbw', 'demo.ktl'];
    let done = 0;
    const fetchOne = async (name) => {
      try {
        writeFile('/world/' + name, await fetchBytes(base + name));
      } catch (e) {
        console.error('quorvel: cannot fetch ' + e.message);
      }
      progress('Loading the world (' + (++done) + ' files)');
    };
    mkdirs('/world/x');
    await Promise.all(names.map(fetchOne));
    if (Module.FS.analyzePath('/world/demo.ktl').exists) await Promise.all(textureNames('/world/demo.ktl').map(fetchOne));
    return '/world';
  }

  // The program's options from the URL; null when a file it names cannot be had.
  async function programArguments() {
    const args = [];
    if (params.has('world')) {
      page.dir = await fetchWorld(params.get('world'));
      args.push('--dir', page.dir);
    }
    // ?timedemo=FILE times a recorded flight (F7) instead of the demo's own.
    const flight = params.get('script') || params.get('timedemo');
    if (flight) {
      const name = flight;
      try {
        writeFile('/flight/script.txt', await fetchBytes(name));
      } catch (e) {
        console.error('quorvel: cannot fetch ' + e.message);
        messageBox('Orvane Error!', 'Could not load the flight "' + name + '"');
        return null;
      }
      args.push('--script', '/flight/script.txt');
    }
    if (params.has('frames')) args.push('--frames', params.get('frames'));
    if (params.has('timedemo')) args.push('--timedemo');
    if (params.has('shots')) args.push('--shots', params.get('shots'));
    return args;
  }

  // --- a dropped world ---

  // Every file of a drop, folders included, with its path inside the drop.
  async function droppedFiles(dataTransfer) {
    const files = [];
    const walk = async (entry, path) => {
      if (entry.isFile) {
        const file = await new Promise((resolve, reject) => entry.file(resolve, reject));
        files.push({ path: path + file.name, file });
      } else if (entry.isDirectory) {
        const reader = entry.createReader();
        for (;;) {
          const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
          if (!batch.length) break;
          for (const child of batch) await walk(child, path + entry.name + '/');
        }
      }
    };
    const entries = [...dataTransfer.items].map((item) => item.webkitGetAsEntry && item.webkitGetAsEntry());
    if (entries.every(Boolean)) {
      for (const entry of entries) await walk(entry, '');
    } else {
      for (const file of dataTransfer.files) files.push({ path: file.name, file });
    }
    return files;
  }

  // A world file by its extension, a texture by the end of its path, else by its own name.
  function findDropped(files, name) {
    const base = name.split('/').pop();
    return files.find((f) => ('/' + f.path).endsWith('/' + name)) || files.find((f) => f.file.name === base);
  }

  async function installDrop(files) {
    const world = files.find((f) => f.file.name.toLowerCase().endsWith('.kbw'));
    const list = files.find((f) => f.file.name.toLowerCase().endsWith('.ktl'));
    if (!world || !list) {
      messageBox('Quorvel', 'Drop a world file (.kbw) and its texture list (.ktl) together, with the textures.');
      return null;
    }
    const dir = '/dropped-' + (++page.drops);
    writeFile(dir + '/demo.kbw', await world.file.arrayBuffer());
    writeFile(dir + '/demo.ktl', await list.file.arrayBuffer());
    for (const name of textureNames(dir + '/demo.ktl')) {
      const texture = findDropped(files, name);
      if (texture) writeFile(dir + '/' + name, await texture.file.arrayBuffer());
      else console.error('quorvel: the dropped files hold no ' + name);
    }
    return dir;
  }

  function restart(dir) {
    $('ended').classList.add('hidden');
    $('message').classList.add('hidden');
    $('figures').classList.add('hidden');
    $('chart').classList.add('hidden');
    page.dir = dir;
    try {
      Module.ccall('quorvel_restart', null, ['string'], [dir]);
    } catch (e) {
      if (e !== 'unwind') throw e; // a start-up failure ends in the message panel
    }
  }

  document.addEventListener('dragover', (e) => {
    e.preventDefault();
    if (page.started) $('drop').classList.remove('hidden');
  });
  document.addEventListener('dragleave', (e) => {
    if (!e.relatedTarget) $('drop').classList.add('hidden');
  });
  document.addEventListener('drop', async (e) => {
    e.preventDefault();
    $('drop').classList.add('hidden');
    if (!page.started) return;
    const dir = await installDrop(await droppedFiles(e.dataTransfer));
    if (dir) restart(dir);
  });

  $('message-ok').addEventListener('click', () => $('message').classList.add('hidden'));
  $('restart').addEventListener('click', () => restart(page.dir));

  // --- the program ---

  window.Module = {
    noInitialRun: true,
    print: (line) => console.log(line),
    printErr: (line) => console.error(line),
    // Emscripten reports the packed data's download as "Downloading data... (done/total)".
    setStatus(text) {
      const m = /\((\d+(?:\.\d+)?)\/(\d+)\)/.exec(text || '');
      if (m) progress('Loading the demo…', Number(m[1]) / Number(m[2]));
    },
    async onRuntimeInitialized() {
      progress('Starting…', 1);
      const args = await programArguments();
      if (!args) return;
      page.started = true;
      freeHint();
      Module.callMain(args);
    },
    quorvelMessageBox: messageBox,
    quorvelState(state, detail) {
      if (state === 'running') progress(null);
      if (state === 'ended') {
        $('ended-text').textContent = 'The demo has ended (Escape).';
        $('ended').classList.remove('hidden');
        hint('The demo has ended.');
      }
      if (state === 'done') hint('The flight is done: ' + detail + ' frames.');
      if (state === 'timedemo') showFigures(detail);
      // The folder of the world running, so that a watcher can tell one start from the next.
      if (state === 'running') document.body.dataset.world = detail;
      document.body.dataset.state = state;
    },
    quorvelPointerLock(active) {
      if (active) hint('Steering with the mouse. Escape gives the mouse back.');
      else freeHint();
    },
    quorvelChart: showChart,
    quorvelCanvasReplaced(canvas) { canvas.focus(); },
    quorvelDownload(path) {
      const bytes = Module.FS.readFile(path);
      const link = document.createElement('a');
      // A screenshot (F12) or a flight recording (F7, a text file).
      const type = path.endsWith('.png') ? 'image/png' : 'text/plain';
      link.href = URL.createObjectURL(new Blob([bytes], { type }));
      link.download = path.split('/').pop();
      link.click();
      setTimeout(() => URL.revokeObjectURL(link.href), 10000);
    },
    onAbort(what) { messageBox('Error', 'The program stopped: ' + what); },
  };

  progress('Loading the program…', 0);
  if (typeof WebAssembly !== 'object') {
    messageBox('Error', 'This browser cannot run WebAssembly.');
    return;
  }
  const script = document.createElement('script');
  script.src = 'quorvel.js';
  script.onerror = () => messageBox('Error', 'Could not load quorvel.js.');
  document.body.appendChild(script);
})();
