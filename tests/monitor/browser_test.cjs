// The live view in headless Chromium against the simulated board: the page
// loads, a measurement shows growing traces whose ramp values advance and
// counts that move, the module's own refusal and overrun texts appear, and
// stop stops; then the single-point panels and the voltage axes
// (panel_checks.cjs) and the Record button (record_checks.cjs), where a
// screenshot of the view while recording is kept (argument 1).
'use strict';
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { chromium } = require('playwright-core');
const { startMonitor, stopMonitor, check } = require('./monitor_process.cjs');
const { programPath } = require('./monitor_program.cjs');
const { checkRecording } = require('./record_checks.cjs');

const screenshot = process.argv[2];
const WAIT = { timeout: 30000 };
const { checkPanels } = require('./panel_checks.cjs');

// What the page shows, read the way a user reads it.
async function view(page) {
  return page.evaluate(() => {
    const num = (id) => Number(document.getElementById(id).textContent);
    const traces = [...document.querySelectorAll('.trace')].map((el) => ({
      channel: Number(el.dataset.channel), points: Number(el.dataset.points || 0),
      last: Number(el.dataset.last), rising: el.dataset.rising === 'true',
      drawn: el.querySelector('canvas') !== null,
    }));
    const stats = [...document.querySelectorAll('#stats tbody tr')].map((tr) =>
      [...tr.children].map((td) => Number(td.textContent)));
    return {
      state: document.getElementById('state').textContent,
      blocks: num('blocks'), samples: num('samples'), fill: num('fill'), overruns: num('overruns'),
      messages: [...document.querySelectorAll('#messages li')].map((li) => li.textContent),
      traces, stats,
    };
  });
}

// Reads the page until `ready(view)` holds or WAIT's limit has passed;
// answers the last view read, for the checks that follow to judge.
async function viewWhen(page, ready) {
  const until = Date.now() + WAIT.timeout;
  for (;;) {
    const v = await view(page);
    if (ready(v) || Date.now() > until) return v;
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

// The next `count` events of the monitor's stream, read by a second
// listener in the page: each comes at least one stream interval after the
// one before.
function nextEvents(page, count) {
  return page.evaluate((n) => new Promise((resolve) => {
    const seen = [];
    const events = new EventSource('/events');
    events.onmessage = (e) => {
      const s = JSON.parse(e.data);
      seen.push({ state: s.state, samples: s.samples, blocks: s.blocks });
      if (seen.length === n) { events.close(); resolve(seen); }
    };
  }), count);
}

async function startWith(page, { channels, rate, blockSize, hostDelayMs = 0 }) {
  await page.fill('#channels', channels);
  await page.fill('#rate', String(rate));
  await page.fill('#blockSize', String(blockSize));
  await page.fill('#hostDelayMs', String(hostDelayMs));
  await page.click('#start');
}

async function main() {
  const recordings = fs.mkdtempSync(path.join(os.tmpdir(), 'tarnix-recordings-'));
  const monitor = await startMonitor(['--wav-folder', programPath(recordings)]);
  const browser = await chromium.launch({
    executablePath: '/usr/bin/chromium', headless: true,
    args: process.getuid && process.getuid() === 0 ? ['--no-sandbox'] : [],
  });
  let failure;
  try {
    const page = await browser.newPage({ viewport: { width: 1100, height: 900 } });
    const errors = [];
    page.on('pageerror', (e) => errors.push(String(e)));
    await page.goto(monitor.url);
    await page.waitForFunction(() => document.getElementById('state').textContent === 'idle', null, WAIT);
    check((await page.title()) === 'TARNIX monitor' && (await page.inputValue('#rate')) === '1000',
      'the page loads with the command line\'s settings');

    // 20000 samples/s over 4 inputs: 5000 scans/s, thinned on the way to
    // the traces; the figures still count every sample.
    await startWith(page, { channels: '0-3', rate: 20000, blockSize: 256 });
    await page.waitForFunction(() => Number(document.querySelector('.trace')?.dataset.points) > 50, null, WAIT);
    const first = await view(page);
    check(first.state === 'measuring' && first.traces.length === 4 && first.traces.every((t) => t.drawn),
      'start shows one trace per scanned input', JSON.stringify(first.traces));
    // Until everything has moved on (each check below says what did not).
    const fills = new Set([first.fill]);
    const a = first.traces[0];
    const later = await viewWhen(page, (v) => {
      fills.add(v.fill);
      const t = v.traces[0];
      return t !== undefined && t.points > a.points && t.last > a.last && t.rising && v.samples > first.samples &&
        v.blocks > first.blocks && [...fills].some((f) => f > 0 && f <= 100);
    });
    const b = later.traces[0];
    check(b.points > a.points, 'the traces\' point count grows', `${a.points} -> ${b.points}`);
    check(b.last > a.last && b.rising, 'the sequence on input 0 advances, and rises across the window',
      `${a.last} -> ${b.last}, rising ${b.rising}`);
    check(later.samples > first.samples && later.blocks > first.blocks,
      'blocks and samples moved update', `${first.samples} -> ${later.samples}`);
    check([...fills].some((f) => f > 0 && f <= 100), 'the fill percentage updates', [...fills].join(','));
    const counted = later.stats.reduce((sum, row) => sum + row[1], 0);
    check(counted === later.samples && later.stats[0][1] > 5 * b.points,
      'the figures cover every sample, more than the thinned traces show',
      `${counted} of ${later.samples}, ${later.stats[0][1]} vs ${b.points} points`);
    const [ch, , min, max, mean, rms] = later.stats[0];
    check(ch === 0 && min < mean && mean < max && rms >= Math.abs(mean) && max < 10,
      'input 0 has sound min/mean/max/RMS in volts', later.stats[0].join(' '));

    await page.click('#stop');
    await page.waitForFunction(() => document.getElementById('state').textContent === 'idle', null, WAIT);
    const stopped = await view(page);
    const events = await nextEvents(page, 3);
    const after = await view(page);
    check(events.every((e) => e.state === 'idle' && e.samples === stopped.samples && e.blocks === stopped.blocks) &&
      after.samples === stopped.samples && after.blocks === stopped.blocks,
      'stop stops: no more samples arrive', `${stopped.samples} -> ${JSON.stringify(events)} -> ${after.samples}`);

    await startWith(page, { channels: '0-3', rate: 200000, blockSize: 256 });
    await page.waitForFunction(() => document.querySelector('#messages li')?.textContent.includes('Wrong sampling frequency'), null, WAIT);
    const refused = await view(page);
    check(refused.messages[0] === 'DRV_TestStruct: Wrong sampling frequency' && refused.state === 'idle',
      'a rate above the board\'s maximum shows the module\'s "Wrong sampling frequency"', refused.messages[0]);

    // A host that waits 300 ms after each block falls behind 20000
    // samples/s: the board's FIFO overflows and the module stops.
    await startWith(page, { channels: '0-3', rate: 20000, blockSize: 256, hostDelayMs: 300 });
    await page.waitForFunction(() => document.getElementById('state').textContent.includes('overrun'), null, WAIT);
    const overrun = await view(page);
    check(overrun.messages[0] === 'Driver buffer or hardware FIFO overrun!' && overrun.overruns === 1,
      'a slow host\'s overrun shows the module\'s overrun message', JSON.stringify(overrun.messages));

    await checkPanels(page);
    await checkRecording(page, recordings, screenshot);
    check(errors.length === 0, 'the page raised no script errors', errors.join('; '));
  } catch (e) {
    failure = e;
  }
  await browser.close();
  fs.rmSync(recordings, { recursive: true, force: true });
  await stopMonitor(monitor, failure);
}

main().catch((e) => { console.error(e.message); process.exit(1); });
