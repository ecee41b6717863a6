// The Linux side of the browser tests: where the web build, the Linux build's capture tool and its
// run folder are (from the environment CTest sets), and runs of quorvel-capture to compare with.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

export const WEB_DIR = process.env.QV_WEB_DIR;
export const CAPTURE = process.env.QV_CAPTURE;
export const RUN_DIR = process.env.QV_RUN_DIR;
export const SOURCE_DIR = process.env.QV_SOURCE_DIR;
// A small compiled world other than the demo's (the capture tests' world).
export const EXAMPLE_WORLD = process.env.QV_EXAMPLE_WORLD;

export function tempDir() {
  return fs.mkdtempSync(path.join(os.tmpdir(), 'qv-web-test-'));
}

// quorvel-capture in the demo world with `args`; its stdout.
export function capture(args) {
  return execFileSync(CAPTURE, ['--dir', RUN_DIR, ...args], { encoding: 'utf8', stdio: ['ignore', 'pipe', 'inherit'] });
}

// The first `frames` frames of a capture script as its own file (the events before that frame).
export function scriptHead(source, frames, file) {
  const lines = fs.readFileSync(source, 'utf8').split('\n').filter((line) => {
    const first = line.replace(/#.*/, '').trim().split(/\s+/)[0];
    return !/^\d+$/.test(first) || Number(first) < frames;
  });
  fs.writeFileSync(file, lines.join('\n'));
}
