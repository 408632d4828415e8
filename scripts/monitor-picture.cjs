// The README's picture of the live view (docs/monitor.png), taken as a user
// first sees a bench: five inputs running (four of the simulated board's
// signals and input 15, wired to analog output 0), output 0 set to 2.5 V, a
// recording under way, no fault. Not a test: run it again when the page
// changes.
//
//   NODE_PATH=build/npm/node_modules node scripts/monitor-picture.cjs [build/native] [docs/monitor.png]
//
// The monitor runs in a scratch folder of the system's temporary folder,
// where the recording goes: the page names it, and a folder of this checkout
// has no place in the picture. The folder is removed afterwards.
'use strict';
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { chromium } = require('playwright-core');

const build = path.resolve(process.argv[2] || 'build/native');
const picture = path.resolve(process.argv[3] || 'docs/monitor.png');
const WAIT = { timeout: 30000 };

async function main() {
  const work = path.join(os.tmpdir(), 'tarnix-bench', 'recordings');
  fs.rmSync(path.dirname(work), { recursive: true, force: true });
  fs.mkdirSync(work, { recursive: true });
  const profile = path.join(path.dirname(work), 'board.json');
  // The first board of the simulated library as it comes, with input 15
  // wired to analog output 0 so the output set shows on a trace.
  fs.writeFileSync(profile, JSON.stringify({
    boards: [{ serial: 20130017, signals: [{ channel: 15, kind: 'loopback', output: 0 }] }],
  }));
  const monitor = spawn(path.join(build, 'bin', 'tarnix-host'),
    ['--board-config', profile, 'monitor'], { cwd: work, stdio: ['ignore', 'pipe', 'inherit'] });
  const ended = new Promise((resolve) => monitor.on('exit', resolve));
  const browser = await chromium.launch({
    executablePath: '/usr/bin/chromium', headless: true,
    args: process.getuid && process.getuid() === 0 ? ['--no-sandbox'] : [],
  });
  try {
    const url = await new Promise((resolve, reject) => {
      let out = '';
      monitor.stdout.on('data', (d) => {
        out += d;
        const m = /serving (http:\/\/\S+)/.exec(out);
        if (m) resolve(m[1]);
      });
      ended.then(() => reject(new Error(`monitor ended: ${out}`)));
    });
    const page = await browser.newPage({ viewport: { width: 1100, height: 900 } });
    await page.goto(url);
    await page.waitForFunction(() => document.getElementById('state').textContent === 'idle', null, WAIT);
    await page.fill('#channels', '0-3,15');
    await page.fill('#rate', '5000');
    await page.fill('#blockSize', '250');
    await page.click('#start');
    await page.waitForFunction(() => document.querySelectorAll('.trace').length === 5, null, WAIT);
    await page.fill('#ao0', '2.5');
    await page.click('#ao0-set');
    await page.waitForFunction(() => document.getElementById('ao0-result').textContent.startsWith('code'), null, WAIT);
    await page.fill('#recordName', 'bench-run-1.wav');
    await page.click('#record');
    // A full window of traces, the recording some seconds long.
    await page.waitForFunction(() => Number(document.querySelector('.trace').dataset.newest) >= 5.5 &&
      Number(document.getElementById('recordStatus').dataset.seconds) >= 3, null, WAIT);
    const faults = await page.$$eval('#messages li', (l) => l.map((li) => li.textContent));
    if (faults.length > 0) throw new Error(`the page shows messages: ${faults.join('; ')}`);
    fs.mkdirSync(path.dirname(picture), { recursive: true });
    await page.screenshot({ path: picture, fullPage: true });
    console.log(`wrote ${picture}`);
    await page.click('#record');
    await page.click('#stop');
  } finally {
    await browser.close();
    monitor.kill('SIGTERM');
    await ended;
    fs.rmSync(path.dirname(work), { recursive: true, force: true });
  }
}

main().catch((e) => { console.error(e.message); process.exit(1); });
