// The live view's Record button, as a user works it: refused with its
// reason while nothing is measured, for a name with a folder in it and for
// a file that exists; then a recording whose size and duration grow while it
// runs (the screenshot, when asked, is taken then) and whose file, once
// stopped, holds what the page said: its frames of the scanned inputs in a
// WAV header.
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const { check } = require('./monitor_process.cjs');

const WAIT = { timeout: 30000 };

const status = (page) => page.$eval('#recordStatus', (el) => ({
  text: el.textContent, refused: el.classList.contains('refused'), state: el.dataset.state,
  bytes: Number(el.dataset.bytes), seconds: Number(el.dataset.seconds), frames: Number(el.dataset.frames),
}));

async function record(page, name) {
  await page.fill('#recordName', name);
  await page.click('#record');
  await page.waitForFunction(() => {
    const el = document.getElementById('recordStatus');
    return el.classList.contains('refused') || el.dataset.state === 'recording';
  }, null, WAIT).catch(() => {});
  return status(page);
}

// The fields of a WAV header the checks need, read from the file's bytes.
function wavHeader(file) {
  const bytes = fs.readFileSync(file);
  const chunks = {};
  for (let at = 12; at + 8 <= bytes.length;) {
    const id = bytes.toString('latin1', at, at + 4);
    const size = bytes.readUInt32LE(at + 4);
    chunks[id] = { at: at + 8, size };
    at += 8 + size + (size % 2);
  }
  return {
    riff: bytes.toString('latin1', 0, 4), length: bytes.length,
    channels: chunks['fmt '] ? bytes.readUInt16LE(chunks['fmt '].at + 2) : 0,
    dataBytes: chunks.data ? chunks.data.size : -1,
  };
}

// `folder`: where the monitor writes (its --wav-folder), as this machine
// names it.
async function checkRecording(page, folder, screenshot) {
  const idle = await record(page, 'early.wav');
  check(idle.refused && idle.text === 'nothing is being measured: start a measurement first',
    'Record while nothing is measured is refused with the reason', idle.text);

  await page.fill('#channels', '0-3');
  await page.fill('#rate', '20000');
  await page.fill('#blockSize', '256');
  await page.fill('#hostDelayMs', '0');
  await page.click('#start');
  await page.waitForFunction(() => Number(document.getElementById('samples').textContent) > 0, null, WAIT);
  const outside = await record(page, '../outside.wav');
  fs.writeFileSync(path.join(folder, 'taken.wav'), 'not to be overwritten');
  const taken = await record(page, 'taken.wav');
  check(outside.refused && outside.text === 'a plain file name only, without a folder: ../outside.wav' &&
    taken.refused && taken.text.startsWith('taken.wav already exists in ') &&
    fs.readFileSync(path.join(folder, 'taken.wav'), 'utf8') === 'not to be overwritten',
  'a name with a folder and an existing file are refused with the reason, the file left alone',
  `${outside.text} / ${taken.text}`);

  const started = await record(page, 'run1.wav');
  await page.waitForFunction((s) => {
    const el = document.getElementById('recordStatus');
    return Number(el.dataset.seconds) > s.seconds + 0.5 && Number(el.dataset.bytes) > s.bytes;
  }, started, WAIT).catch(() => {});
  const grown = await status(page);
  check(started.state === 'recording' && grown.state === 'recording' && grown.seconds > started.seconds + 0.5 &&
    grown.bytes > started.bytes && /^recording run1\.wav: [0-9.]+ MB, [0-9.]+ s$/.test(grown.text) &&
    await page.textContent('#record') === 'Stop recording',
  'while recording, its size and duration grow', `${JSON.stringify(started)} -> ${JSON.stringify(grown)}`);
  if (screenshot) {
    fs.mkdirSync(path.dirname(screenshot), { recursive: true });
    await page.screenshot({ path: screenshot, fullPage: true });
    check(fs.statSync(screenshot).size > 10000, `screenshot while recording kept in ${screenshot}`);
  }

  await page.click('#record');
  await page.waitForFunction(() => document.getElementById('recordStatus').dataset.state === 'ended', null, WAIT)
    .catch(() => {});
  const ended = await status(page);
  const header = wavHeader(path.join(folder, 'run1.wav'));
  check(ended.state === 'ended' && ended.text.startsWith('recorded run1.wav') && header.riff === 'RIFF' &&
    header.channels === 4 && header.dataBytes === ended.frames * 8 && header.length === ended.bytes &&
    ended.frames >= grown.frames && ended.seconds === ended.frames / 5000,
  'stopped, the file holds the frames and bytes the page showed, four inputs each',
  `${JSON.stringify(ended)} ${JSON.stringify(header)}`);
  await page.click('#stop');
}

module.exports = { checkRecording };
