// Touch controls and gamepads on the page. Nothing shows until the first pointerdown of a touch
// (never guessed from the user agent or media queries); then the page takes the phone or tablet
// layout, a "tap to play" panel asks for fullscreen, a landscape lock and a wake lock (each may be
// refused), and the controls lie over the picture: a floating move stick on the canvas's left
// half, drag to look on its right half, Up and Down to hold, B, Q and Z to tap, and a small menu
// of the F keys. Fingers are followed by pointer id, so two work at once. A gamepad is read by
// the program; the page only says when one is in use.
'use strict';

(function () {
  const $ = (id) => document.getElementById(id);
  const TRAVEL = 70; // CSS pixels from the stick's centre to full deflection
  const DIK = { space: 0x39, c: 0x2e, b: 0x30, q: 0x10, z: 0x2c, f1: 0x3b, f2: 0x3c, f3: 0x3d, f4: 0x3e, f5: 0x3f, f12: 0x58 };
  const touch = {
    on: false,        // a touch was seen: the controls are shown
    played: false,    // the tap to play was made
    stick: null,      // { id, x, y }: the finger on the move stick and where it landed
    look: null,       // { id, x, y }: the finger dragging the view and where it was last
    wakeLock: null,
  };

  // The program's touch entry points, once it runs.
  function call(name, ...args) {
    const f = window.Module && Module.calledRun && Module['_' + name];
    if (f) f(...args);
  }

  function element(tag, props, parent) {
    const e = document.createElement(tag);
    Object.assign(e, props);
    if (parent) parent.appendChild(e);
    return e;
  }

  // --- the controls over the picture ---

  let layer, stickBase, stickKnob, play, menu;

  function holdButton(parent, label, dik) {
    const button = element('button', { type: 'button', textContent: label, className: 'touch-button' }, parent);
    const release = () => {
      if (!button.classList.contains('down')) return;
      button.classList.remove('down');
      call('quorvel_touch_key', dik, 0);
    };
    button.addEventListener('pointerdown', (e) => {
      e.preventDefault();
      button.setPointerCapture(e.pointerId);
      button.classList.add('down');
      call('quorvel_touch_key', dik, 1);
    });
    for (const type of ['pointerup', 'pointercancel', 'lostpointercapture']) button.addEventListener(type, release);
    return button;
  }

  function build() {
    layer = element('div', { id: 'touch' }, document.body);
    stickBase = element('div', { id: 'stick', className: 'hidden' }, layer);
    stickKnob = element('div', { id: 'stick-knob' }, stickBase);

    const right = element('div', { id: 'touch-right' }, layer);
    holdButton(right, 'Up', DIK.space);
    holdButton(right, 'Down', DIK.c);
    const taps = element('div', { id: 'touch-taps' }, layer);
    holdButton(taps, 'B', DIK.b);
    holdButton(taps, 'Q', DIK.q);
    holdButton(taps, 'Z', DIK.z);

    const left = element('div', { id: 'touch-menu' }, layer);
    const toggle = element('button', { type: 'button', textContent: 'F', className: 'touch-button', id: 'fmenu-toggle' }, left);
    menu = element('div', { id: 'fmenu', className: 'hidden' }, left);
    for (const n of ['F1', 'F2', 'F3', 'F4', 'F5', 'F12']) holdButton(menu, n, DIK[n.toLowerCase()]);
    const help = element('button', { type: 'button', textContent: '?', className: 'touch-button' }, menu);
    toggle.addEventListener('click', () => menu.classList.toggle('hidden'));
    help.addEventListener('click', () => $('controls').classList.toggle('unfolded'));

    play = element('div', { id: 'play', className: 'panel' }, $('stage'));
    element('p', { textContent: 'Tap to play' }, play);
  }

  // --- tap to play: every request may be refused, and the page plays on whatever happens ---

  async function wake() {
    try {
      if (navigator.wakeLock) touch.wakeLock = await navigator.wakeLock.request('screen');
    } catch (e) { /* refused: the screen may dim */ }
  }

  async function startPlaying() {
    if (touch.played) return;
    touch.played = true;
    play.classList.add('hidden');
    document.body.dataset.played = '1';
    try {
      const root = document.documentElement;
      if (root.requestFullscreen) await root.requestFullscreen({ navigationUI: 'hide' });
    } catch (e) { /* no fullscreen (an iPhone), or refused */ }
    try {
      if (screen.orientation && screen.orientation.lock) await screen.orientation.lock('landscape');
    } catch (e) { /* desktops and many phones refuse the lock */ }
    await wake();
  }

  // The wake lock goes when the page is hidden; it is asked for again when the page shows.
  document.addEventListener('visibilitychange', () => {
    if (touch.played && document.visibilityState === 'visible') wake();
  });

  function touchSeen() {
    if (touch.on) return;
    touch.on = true;
    build();
    document.body.classList.add('touch');
    call('quorvel_touch_seen');
  }

  document.addEventListener('pointerdown', (e) => { if (e.pointerType === 'touch') touchSeen(); }, true);
  // Activation comes with pointerup on touch devices, not with pointerdown.
  document.addEventListener('pointerup', (e) => { if (e.pointerType === 'touch' && touch.on) startPlaying(); }, true);

  // --- the stick and the look drag, on the canvas itself ---

  function placeStick(dx, dy) {
    const length = Math.hypot(dx, dy);
    const k = length > TRAVEL ? TRAVEL / length : 1;
    stickKnob.style.transform = `translate(${dx * k}px, ${dy * k}px)`;
    call('quorvel_touch_stick', (dx * k) / TRAVEL, (dy * k) / TRAVEL);
  }

  function onDown(e) {
    if (e.pointerType !== 'touch' || !touch.played) return;
    e.preventDefault(); // no mouse events follow, so no pointer lock is asked for
    const canvas = e.currentTarget;
    const box = canvas.getBoundingClientRect();
    canvas.setPointerCapture(e.pointerId);
    if (e.clientX < box.left + box.width / 2) {
      if (touch.stick) return;
      touch.stick = { id: e.pointerId, x: e.clientX, y: e.clientY };
      stickBase.style.left = e.clientX + 'px';
      stickBase.style.top = e.clientY + 'px';
      stickBase.classList.remove('hidden');
      placeStick(0, 0);
    } else if (!touch.look) {
      touch.look = { id: e.pointerId, x: e.clientX, y: e.clientY };
    }
  }

  function onMove(e) {
    if (touch.stick && e.pointerId === touch.stick.id) {
      e.preventDefault();
      placeStick(e.clientX - touch.stick.x, e.clientY - touch.stick.y);
    } else if (touch.look && e.pointerId === touch.look.id) {
      e.preventDefault();
      const dx = Math.round(e.clientX - touch.look.x), dy = Math.round(e.clientY - touch.look.y);
      if (!dx && !dy) return;
      // Only the whole pixels passed on are taken off, so slow drags add up.
      touch.look.x += dx;
      touch.look.y += dy;
      call('quorvel_touch_look', dx, dy);
    }
  }

  function onUp(e) {
    if (touch.stick && e.pointerId === touch.stick.id) {
      touch.stick = null;
      stickBase.classList.add('hidden');
      call('quorvel_touch_stick', 0, 0);
    }
    if (touch.look && e.pointerId === touch.look.id) touch.look = null;
  }

  function attach(canvas) {
    canvas.addEventListener('pointerdown', onDown);
    canvas.addEventListener('pointermove', onMove);
    for (const type of ['pointerup', 'pointercancel']) canvas.addEventListener(type, onUp);
  }

  attach($('canvas'));
  // A new start of the demo puts a fresh canvas in place of the old one.
  const replaced = Module.quorvelCanvasReplaced;
  Module.quorvelCanvasReplaced = (canvas) => {
    if (replaced) replaced(canvas);
    touch.stick = touch.look = null;
    if (stickBase) stickBase.classList.add('hidden');
    attach(canvas);
  };

  // --- gamepads: the program reads them, the page says so ---

  Module.quorvelPad = (id) => {
    document.body.dataset.pad = id;
    $('hint').textContent = 'Gamepad: left stick moves, right stick looks, RT / LT up and down, B stops, LB / RB the ring, Back the overlay.';
  };
})();
