// The live view: one trace per scanned channel over a sliding window, the
// per-channel figures and counts as the program streams them (Server-Sent
// Events from /events), and the controls, which the program passes to the
// module's own entries.
'use strict';

const WINDOW_SECONDS = 5;
const COLOURS = ['#1f77b4', '#d62728', '#2ca02c', '#9467bd', '#ff7f0e', '#17becf', '#8c564b', '#e377c2'];
const $ = (id) => document.getElementById(id);

let run = -1;
let traces = [];       // {channel, t, v, plot, el}
let lastMessage = 0;   // newest message shown

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
      width: Math.max(box.clientWidth - 4, 300), height: 130,
      legend: { show: false },
      scales: { x: { time: false } },
      axes: [{ label: 'time (s)' }, { label: 'input ' + channel + ' (V)', size: 60 }],
      series: [{}, { stroke: COLOURS[i % COLOURS.length], width: 1, points: { show: false } }],
    }, [[], []], el);
    return { channel, t: [], v: [], plot, el };
  });
}

function appendPoints(points) {
  if (!points || points.t.length === 0) return;
  traces.forEach((trace, c) => {
    trace.t.push(...points.t);
    trace.v.push(...points.v[c]);
    const newest = trace.t[trace.t.length - 1];
    let old = 0;
    while (old < trace.t.length && trace.t[old] < newest - WINDOW_SECONDS) ++old;
    if (old > 0) { trace.t.splice(0, old); trace.v.splice(0, old); }
    trace.plot.setData([trace.t, trace.v]);
    trace.el.dataset.points = String(trace.t.length);
    trace.el.dataset.last = String(trace.v[trace.v.length - 1]);
    trace.el.dataset.newest = String(newest);
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

function update(s) {
  if (s.run !== run) { run = s.run; buildTraces(s.channels); }
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

fetch('/api/status').then((r) => r.json()).then((s) => {
  $('channels').value = s.defaults.channels;
  $('rate').value = s.defaults.rate;
  $('blockSize').value = s.defaults.blockSize;
  $('hostDelayMs').value = s.defaults.hostDelayMs;
  const events = new EventSource('/events');
  events.onmessage = (event) => update(JSON.parse(event.data));
  events.onerror = () => { $('state').textContent = 'disconnected'; };
});
