// The live view: one trace per scanned channel over a sliding window, the
// per-channel figures and counts as the program streams them (Server-Sent
// Events from /events), and the controls, which the program passes to the
// module's own entries. Each trace has a voltage axis: the board's input
// range, or fitted to the samples when auto-scale is on.
'use strict';

const COLOURS = ['#1f77b4', '#d62728', '#2ca02c', '#9467bd', '#ff7f0e', '#17becf', '#8c564b', '#e377c2'];
const $ = (id) => document.getElementById(id);

let run = -1;
let traces = [];         // {channel, t, v, plot, el}
let lastMessage = 0;     // newest message shown
let windowSeconds = 5;   // as the program keeps it
let inputRange = [-10, 10];  // the board's, volts, until the stream says
let rangeShown = false;
let lastRecording = { state: 'none' };

// The time axis always spans one window, so a trace fills it from the left.
function timeRange(u, min, max) {
  const newest = Number.isFinite(max) ? max : 0;
  return [Math.max(0, newest - windowSeconds), Math.max(windowSeconds, newest)];
}

function voltRange(u, min, max) {
  if (!$('autoScale').checked || !Number.isFinite(min) || !Number.isFinite(max)) return inputRange;
  // A flat trace still gets an axis a few millivolts wide around its level.
  const pad = max > min ? (max - min) * 0.1 : Math.max(Math.abs(max) * 0.02, 0.01);
  return [min - pad, max + pad];
}

// Tick labels with as many decimals as the tick spacing needs, and the
// unit; the labels drawn are also left on the trace's element.
function voltLabels(el) {
  return (u, splits, axis, space, step) => {
    const digits = Math.min(6, Math.max(0, -Math.floor(Math.log10(step) + 1e-9)));
    const labels = splits.map((v) => (Math.abs(v) < step / 1e6 ? 0 : v).toFixed(digits) + ' V');
    el.dataset.ticks = labels.join('|');
    return labels;
  };
}

function buildTraces(channels) {
  const box = $('traces');
  for (const trace of traces) trace.plot.destroy();
  box.textContent = '';
  traces = channels.map((channel, i) => {
    const el = document.createElement('div');
    el.className = 'trace';
    el.dataset.channel = channel;
    el.dataset.points = '0';
    box.appendChild(el);
    const plot = new uPlot({
      // Tall enough for a tick every few volts over the board's range.
      width: Math.max(box.clientWidth - 4, 300), height: 200,
      legend: { show: false },
      scales: { x: { time: false, range: timeRange }, y: { range: voltRange } },
      axes: [{ label: 'time (s)' }, { label: 'input ' + channel, size: 80, space: 24, values: voltLabels(el) }],
      series: [{}, { stroke: COLOURS[i % COLOURS.length], width: 1, points: { show: false } }],
    }, [[], []], el);
    return { channel, t: [], v: [], plot, el };
  });
}

function redrawTraces() {
  for (const trace of traces) trace.plot.setData([trace.t, trace.v]);
  $('rangeNote').textContent = $('autoScale').checked
    ? 'voltage axes fitted to the samples'
    : `voltage axes: the board's input range, ${inputRange[0]} to ${inputRange[1]} V`;
}

// Drops what fell out of the window, measured back from the newest point.
function trim(trace) {
  const newest = trace.t[trace.t.length - 1];
  let old = 0;
  while (old < trace.t.length && trace.t[old] < newest - windowSeconds) ++old;
  if (old > 0) { trace.t.splice(0, old); trace.v.splice(0, old); }
  return newest;
}

function appendPoints(points) {
  if (!points || points.t.length === 0) return;
  traces.forEach((trace, c) => {
    trace.t.push(...points.t);
    trace.v.push(...points.v[c]);
    const newest = trim(trace);
    trace.plot.setData([trace.t, trace.v]);
    trace.el.dataset.points = String(trace.t.length);
    trace.el.dataset.last = String(trace.v[trace.v.length - 1]);
    trace.el.dataset.newest = String(newest);
    trace.el.dataset.oldest = String(trace.t[0]);
    // Whether the window never falls: a quick look at a counting input.
    trace.el.dataset.rising = String(trace.v.every((v, i) => i === 0 || v >= trace.v[i - 1]));
  });
}

function showMessage(kind, text) {
  const li = document.createElement('li');
  li.className = kind;
  li.textContent = text;
  const list = $('messages');
  list.prepend(li);
  while (list.children.length > 6) list.lastChild.remove();
}

function showStats(stats) {
  const body = document.querySelector('#stats tbody');
  body.textContent = '';
  for (const s of stats) {
    const row = document.createElement('tr');
    for (const cell of [s.channel, s.count, s.min.toFixed(4), s.max.toFixed(4), s.mean.toFixed(4), s.rms.toFixed(4)]) {
      const td = document.createElement('td');
      td.textContent = cell;
      row.appendChild(td);
    }
    body.appendChild(row);
  }
}

// Sizes as a person reads them.
function megabytes(bytes) { return (bytes / 1048576).toFixed(bytes < 10485760 ? 2 : 1) + ' MB'; }

let recordRefusal = '';  // the last refusal, shown until the next click

function showRecording(r) {
  const status = $('recordStatus');
  const recording = r.state === 'recording';
  $('record').textContent = recording ? 'Stop recording' : 'Record';
  $('record').classList.toggle('recording', recording);
  status.dataset.state = r.state;
  status.dataset.bytes = String(r.bytes);
  status.dataset.seconds = String(r.seconds);
  status.dataset.frames = String(r.frames);
  if (recordRefusal) {
    status.className = 'refused';
    status.textContent = recordRefusal;
  } else if (r.state === 'none') {
    status.className = '';
    status.textContent = '';
  } else {
    status.className = recording ? 'recording' : '';
    status.textContent = `${recording ? 'recording' : 'recorded'} ${r.file}: ${megabytes(r.bytes)}, ` +
      `${r.seconds.toFixed(1)} s` + (r.note ? ` (${r.note})` : '');
  }
}

function update(s) {
  const rangeMoved = !rangeShown || s.inputRange[0] !== inputRange[0] || s.inputRange[1] !== inputRange[1];
  inputRange = s.inputRange;
  rangeShown = true;
  const windowMoved = s.windowSeconds !== windowSeconds;
  if (windowMoved) {
    windowSeconds = s.windowSeconds;
    if (document.activeElement !== $('window')) $('window').value = windowSeconds;
    traces.forEach(trim);
  }
  if (s.run !== run) { run = s.run; buildTraces(s.channels); }
  if (rangeMoved || windowMoved) redrawTraces();
  appendPoints(s.points);
  const state = $('state');
  state.textContent = s.state;
  state.className = 'state' + (s.state === 'measuring' ? ' measuring' : s.state.includes('overrun') ? ' overrun' : '');
  $('blocks').textContent = s.blocks;
  $('samples').textContent = s.samples;
  $('fill').textContent = s.fillPercent;
  $('overruns').textContent = s.overruns;
  $('runRate').textContent = s.run > 0 ? s.rate + ' samples/s, block ' + s.blockSize + ', buffer ' + s.bufferSize : '-';
  showStats(s.stats);
  lastRecording = s.recording;
  showRecording(s.recording);
  for (const m of s.messages) {
    if (m.sequence <= lastMessage) continue;
    lastMessage = m.sequence;
    showMessage(m.kind, m.text);
  }
}

async function post(path, body) {
  const reply = await fetch(path, {
    method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body || {}),
  });
  const answer = await reply.json();
  // The module's refusals arrive with the stream; what the program itself
  // rejects (a malformed field) is shown here.
  if (reply.status === 400) showMessage('refused', answer.message);
  return answer;
}

$('controls').addEventListener('submit', (event) => {
  event.preventDefault();
  post('/api/start', {
    channels: $('channels').value,
    rate: Number($('rate').value),
    blockSize: Number($('blockSize').value),
    hostDelayMs: Number($('hostDelayMs').value),
  });
});
$('stop').addEventListener('click', () => post('/api/stop'));
// One button: Record while none runs, Stop recording while one does; a
// refusal (nothing measured, a name that will not do) says why beside it.
$('recorder').addEventListener('submit', async (event) => {
  event.preventDefault();
  recordRefusal = '';
  showRecording(lastRecording);
  const stopping = lastRecording.state === 'recording';
  const answer = await post(stopping ? '/api/record/stop' : '/api/record', stopping ? {} : { name: $('recordName').value.trim() });
  if (!answer.ok) recordRefusal = answer.message;
  showRecording(lastRecording);
});
$('traceSettings').addEventListener('submit', (event) => event.preventDefault());
$('window').addEventListener('change', () => post('/api/window', { seconds: Number($('window').value) }));
$('autoScale').addEventListener('change', redrawTraces);

fetch('/api/status').then((r) => r.json()).then((s) => {
  $('channels').value = s.defaults.channels;
  $('rate').value = s.defaults.rate;
  $('blockSize').value = s.defaults.blockSize;
  $('hostDelayMs').value = s.defaults.hostDelayMs;
  $('recordFolder').textContent = s.wavFolder;
  const events = new EventSource('/events');
  events.onmessage = (event) => update(JSON.parse(event.data));
  events.onerror = () => { $('state').textContent = 'disconnected'; };
});
