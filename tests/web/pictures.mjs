// Pictures for the browser tests: reading the PNG files quorvel-capture writes (8-bit RGB or RGBA,
// not interlaced) with node's own zlib, and the comparisons the desktop tests make (pixels that
// differ by more than a small amount; the regions the demo's spinner and its shadow never reach).
import fs from 'node:fs';
import zlib from 'node:zlib';

// { width, height, rgb } with the top row first.
export function readPng(file) {
  const data = fs.readFileSync(file);
  if (data.toString('latin1', 1, 4) !== 'PNG') throw new Error(`${file}: not a PNG file`);
  let width = 0, height = 0, channels = 0;
  const idat = [];
  for (let at = 8; at < data.length;) {
    const length = data.readUInt32BE(at);
    const type = data.toString('latin1', at + 4, at + 8);
    const body = data.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      const depth = body[8], colour = body[9], interlace = body[12];
      channels = { 2: 3, 6: 4 }[colour];
      if (depth !== 8 || !channels || interlace) throw new Error(`${file}: only 8-bit RGB(A) PNGs are read here`);
    } else if (type === 'IDAT') {
      idat.push(body);
    }
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const stride = width * channels;
  const out = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; ++x) {
      const a = x >= channels ? out[y * stride + x - channels] : 0;
      const b = y > 0 ? out[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? out[(y - 1) * stride + x - channels] : 0;
      let v = line[x];
      if (filter === 1) v += a;
      else if (filter === 2) v += b;
      else if (filter === 3) v += (a + b) >> 1;
      else if (filter === 4) {
        const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
        v += pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      out[y * stride + x] = v & 0xff;
    }
  }
  if (channels === 3) return { width, height, rgb: out };
  const rgb = Buffer.alloc(width * height * 3);
  for (let i = 0, j = 0; i < out.length; i += 4, j += 3) out.copy(rgb, j, i, i + 3);
  return { width, height, rgb };
}

// The w x h rectangle at (x, y), top-left origin.
export function crop(image, x, y, w, h) {
  const rgb = Buffer.alloc(w * h * 3);
  for (let row = 0; row < h; ++row) image.rgb.copy(rgb, row * w * 3, ((y + row) * image.width + x) * 3, ((y + row) * image.width + x + w) * 3);
  return { width: w, height: h, rgb };
}

// Of all pixels, those whose three channels differ by more than 24 in sum (1 for sizes that differ).
export function differentFraction(a, b) {
  if (!a || !b || a.width !== b.width || a.height !== b.height || !a.rgb.length) return 1;
  let differ = 0;
  for (let i = 0; i + 2 < a.rgb.length; i += 3) {
    const d = Math.abs(a.rgb[i] - b.rgb[i]) + Math.abs(a.rgb[i + 1] - b.rgb[i + 1]) + Math.abs(a.rgb[i + 2] - b.rgb[i + 2]);
    if (d > 24) ++differ;
  }
  return differ / (a.rgb.length / 3);
}

// Pixels whose every channel is within `tolerance`, out of all: the agreement of two pictures.
export function agreement(a, b, tolerance) {
  if (!a || !b || a.width !== b.width || a.height !== b.height) return 0;
  let within = 0;
  for (let i = 0; i + 2 < a.rgb.length; i += 3) {
    if (Math.abs(a.rgb[i] - b.rgb[i]) <= tolerance && Math.abs(a.rgb[i + 1] - b.rgb[i + 1]) <= tolerance &&
        Math.abs(a.rgb[i + 2] - b.rgb[i + 2]) <= tolerance) ++within;
  }
  return within / (a.rgb.length / 3);
}

// Not blank: many changes of colour along the rows, and not mostly black.
export function showsAPicture(image) {
  let dark = 0, changes = 0;
  const n = image.rgb.length / 3;
  for (let i = 0; i + 3 < image.rgb.length; i += 3) {
    if (image.rgb[i] + image.rgb[i + 1] + image.rgb[i + 2] < 30) ++dark;
    if (image.rgb[i] !== image.rgb[i + 3]) ++changes;
  }
  return n > 0 && dark < n / 2 && changes > n / 20;
}

// The parts of the demo's first view that the spinner and its shadow never reach: the sides and
// the wall above them (800 x 600). They change only when the camera moves or turns.
const BESIDE_SPINNER = [[0, 0, 180, 600], [620, 0, 180, 600], [180, 0, 440, 180]];

export function besideSpinner(a, b) {
  let most = 0;
  for (const [x, y, w, h] of BESIDE_SPINNER) most = Math.max(most, differentFraction(crop(a, x, y, w, h), crop(b, x, y, w, h)));
  return most;
}

// Streaks: of all pixels, those darker and those lighter by more than `threshold` (in the mean of
// the three channels) than the reference's. A missing or doubled shadow-volume face leaves wedges
// of darkened or undarkened pixels that a within-16 agreement still tolerates. `beside*` count
// only the pixels that no one-pixel shift explains: darker (or lighter) than every reference pixel
// within one pixel, while the reference pixel is lighter (or darker) than every pixel of the
// picture within one pixel. Two conformant rasterizers may place an edge, or two edges that
// coincide on screen (a shadow's border seen exactly along its volume's side), one pixel apart:
// with 4 subpixel bits a horizontal edge close to a row of pixel centres lands on either row. A
// wrong shadow more than a pixel wide is darker or lighter than its whole neighbourhood both ways.
export function streaks(image, reference, threshold = 60) {
  if (!image || !reference || image.width !== reference.width || image.height !== reference.height) {
    return { darker: 1, lighter: 1, besideDarker: 1, besideLighter: 1 };
  }
  const { width, height } = image;
  const mean = (rgb, x, y) => {
    const i = (y * width + x) * 3;
    return (rgb[i] + rgb[i + 1] + rgb[i + 2]) / 3;
  };
  // Whether `value` is below (sign -1) or above (sign 1) every pixel of `rgb` around (x, y) by
  // more than the threshold.
  const beyondAll = (value, rgb, x, y, sign) => {
    for (let ny = Math.max(0, y - 1); ny <= Math.min(height - 1, y + 1); ++ny) {
      for (let nx = Math.max(0, x - 1); nx <= Math.min(width - 1, x + 1); ++nx) {
        if (!(sign * (value - mean(rgb, nx, ny)) > threshold)) return false;
      }
    }
    return true;
  };
  let darker = 0, lighter = 0, besideDarker = 0, besideLighter = 0;
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const value = mean(image.rgb, x, y), was = mean(reference.rgb, x, y);
      const d = value - was;
      if (d >= -threshold && d <= threshold) continue;
      const sign = d < 0 ? -1 : 1;
      if (sign < 0) ++darker;
      else ++lighter;
      if (!beyondAll(value, reference.rgb, x, y, sign) || !beyondAll(was, image.rgb, x, y, -sign)) continue;
      if (sign < 0) ++besideDarker;
      else ++besideLighter;
    }
  }
  const n = width * height;
  return { darker: darker / n, lighter: lighter / n, besideDarker: besideDarker / n, besideLighter: besideLighter / n };
}
