// The live view's single-point panels and voltage axes, checked in the page
// as a user works them: an output port's toggles read back on its wired
// input port, a counter written and read, the module's own text for a
// refused call, an analog output set to 2.5 V coming back on the input
// wired to it, and the voltage axis over the board's range, then fitted to
// the samples in a shorter window.
'use strict';
const { check, BOARD_PROFILE } = require('./monitor_process.cjs');

// The test board's wiring, and its counter that only the module believes in.
const BOARD = BOARD_PROFILE.boards[0];
const WIRED_INPUT = BOARD.signals.find((s) => s.kind === 'loopback').channel;
const WIRED_PORTS = [BOARD.portWires[0].output, BOARD.portWires[0].input];
const REFUSED_COUNTER = BOARD.counters;

const WAIT = { timeout: 30000 };

const text = (page, id) => page.$eval(id, (el) => el.textContent);
// Waits until the page shows what a check expects, or until WAIT's limit;
// the check that follows reads the page and says what it found.
const settle = (page, fn, arg) => page.waitForFunction(fn, arg, WAIT).catch(() => {});
const waitText = (page, id, wanted) => settle(page, ([sel, w]) => document.querySelector(sel)?.textContent === w, [id, wanted]);

// The tick labels a trace's voltage axis drew, as numbers and units.
async function ticks(page, channel) {
  const labels = await page.$eval(`.trace[data-channel="${channel}"]`, (el) => el.dataset.ticks || '');
  return labels.split('|').filter(Boolean).map((l) => ({ label: l, volts: parseFloat(l), unit: l.endsWith(' V') }));
}

async function checkPanels(page) {
  const board = await page.evaluate(() => fetch('/api/board').then((r) => r.json()));
  const rows = await page.evaluate(() => Object.fromEntries(['analogOutputs', 'digitalOutputs', 'digitalInputs', 'counterPanel']
    .map((id) => [id, document.querySelectorAll(`#${id} .row`).length])));
  check(rows.analogOutputs === board.analogOutputs && rows.digitalOutputs === board.outputPorts &&
    rows.digitalInputs === board.inputPorts && rows.counterPanel === board.counters && board.counters === REFUSED_COUNTER + 1,
  'one panel row per output, port and counter the module describes', JSON.stringify({ rows, board }));

  // Bits 0 and 2 of the output port; its wired input port reads them at
  // the panel's steady rate, without a click.
  const [out, into] = WIRED_PORTS;
  await page.check(`#do${out}-bit0`);
  await waitText(page, `#do${out}-result`, 'wrote 0x1');
  await page.check(`#do${out}-bit2`);
  await waitText(page, `#do${out}-result`, 'wrote 0x5');
  check(await text(page, `#do${out}-result`) === 'wrote 0x5', `output port ${out}'s toggles write 0x5`);
  await waitText(page, `#di${into}-result`, 'reads 0x5');
  const leds = await page.$$eval(`#digitalInputs .row:nth-child(${into + 1}) .led`, (l) => l.map((e) => e.classList.contains('on')));
  check(await text(page, `#di${into}-result`) === 'reads 0x5' &&
    leds.join() === [false, false, false, false, false, true, false, true].join(),
    `toggles on output port ${out} read back as 0x5 on input port ${into}, bits 0 and 2 lit`, leds.join());

  await page.fill('#ct1', '1000');
  await page.click('#ct1-write');
  await waitText(page, '#ct1-result', 'wrote 1000');
  check(await text(page, '#ct1-result') === 'wrote 1000', 'counter 1 takes the value 1000');
  await page.click('#ct1-read');
  await settle(page, () => /^reads \d+$/.test(document.getElementById('ct1-result').textContent));
  const counted = Number((await text(page, '#ct1-result')).split(' ')[1]);
  check(counted >= 1000 && counted < 1000 + 60 * 1000, 'counter 1 written 1000 reads from 1000 on (it counts at 1000/s)', counted);

  // The module describes one counter more than the board has: the board
  // library refuses it, and the row shows the module's DRV_ShowError text.
  await page.click(`#ct${REFUSED_COUNTER}-write`);
  await settle(page, (n) => document.getElementById(`ct${n}-result`).classList.contains('refused'), REFUSED_COUNTER);
  const refusal = await text(page, `#ct${REFUSED_COUNTER}-result`);
  check(refusal === 'DRV_WriteCounterOutput: Counter not on this board',
    'a counter the board lacks shows the module\'s refusal text', refusal);

  // Volts beyond the output scale never reach the module.
  await page.fill('#ao1', '12');
  await page.click('#ao1-set');
  await settle(page, () => document.getElementById('ao1-result').classList.contains('refused'));
  const beyond = await text(page, '#ao1-result');
  check(beyond === 'volts: from -9.99424 to 9.993935', '12 V is refused with the output scale\'s limits', beyond);

  await page.fill('#channels', `0-3,${WIRED_INPUT}`);
  await page.fill('#rate', '5000');
  await page.fill('#blockSize', '250');
  await page.fill('#hostDelayMs', '0');
  await page.click('#start');
  const wired = `.trace[data-channel="${WIRED_INPUT}"]`;
  await page.waitForFunction((sel) => Number(document.querySelector(sel)?.dataset.points) > 100, wired, WAIT);
  await page.fill('#ao0', '2.5');
  await page.click('#ao0-set');
  await waitText(page, '#ao0-result', 'code 40965 = 2.5001 V');
  check(await text(page, '#ao0-result') === 'code 40965 = 2.5001 V',
    'analog output 0 takes 2.5 V as code 40965, as `tarnix-host io --ao 0=2.5V` does');
  // 2.5 V on the +-10 V input's 12-bit scale: code 511, 2.4963 V.
  const onTrace = (sel) => Math.abs(Number(document.querySelector(sel).dataset.last) - 2.4963) < 0.001;
  await settle(page, onTrace, wired);
  const last = await page.$eval(wired, (el) => el.dataset.last);
  check(Math.abs(Number(last) - 2.4963) < 0.001, `the 2.5 V comes back on input ${WIRED_INPUT}'s trace`, last);
  const full = await ticks(page, WIRED_INPUT);
  check(full.length >= 3 && full.every((t) => t.unit && t.volts >= -10 && t.volts <= 10) &&
    full[0].volts <= -5 && full[full.length - 1].volts >= 5,
  'the voltage axis has ticks in volts over the board\'s +-10 V input range', full.map((t) => t.label).join(' '));
  // A 1 s window drops the 0 V before the write; auto-scale then fits the
  // axis to the flat 2.5 V.
  await page.fill('#window', '1');
  await page.dispatchEvent('#window', 'change');
  await page.check('#autoScale');
  const fits = (sel) => {
    const el = document.querySelector(sel);
    const labels = (el.dataset.ticks || '').split('|').map(parseFloat);
    return Number(el.dataset.newest) - Number(el.dataset.oldest) <= 1 && labels.length >= 2 &&
      labels.every((v) => v > 2.3 && v < 2.7);
  };
  await settle(page, fits, wired);
  const fitted = await ticks(page, WIRED_INPUT);
  const span = await page.$eval(wired, (el) => Number(el.dataset.newest) - Number(el.dataset.oldest));
  check(span <= 1 && fitted.length >= 2 && fitted.every((t) => t.unit && t.volts > 2.3 && t.volts < 2.7),
    'a 1 s window and auto-scale fit the axis to the held 2.5 V', `${span} s: ${fitted.map((t) => t.label).join(' ')}`);
  await page.click('#stop');
}

module.exports = { checkPanels };
