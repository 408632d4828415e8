// The single-point panels: one row per analog output, digital output port,
// digital input port and counter the module described for the board. Every
// action is one call of the module's own entry (DRV_WriteAnalogOutput,
// DRV_WriteDigitalOutput, DRV_ReadDigitalInput, DRV_WriteCounterOutput,
// DRV_ReadCounterInput), made by the program on its acquisition thread; the
// row shows what came back, or the module's text for a refusal.
'use strict';

const DIGITAL_READ_MS = 500;

function element(tag, props = {}, children = []) {
  const el = Object.assign(document.createElement(tag), props);
  for (const child of children) el.append(child);
  return el;
}

function hex(value) { return '0x' + (value >>> 0).toString(16).toUpperCase(); }

// Posts one action; answers the program's reply, whose `ok` is false both
// for a refusal by the module (with its entry) and a malformed request.
async function act(path, body) {
  try {
    const reply = await fetch(path, {
      method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body),
    });
    const text = await reply.text();
    try {
      return JSON.parse(text);
    } catch {
      return { ok: false, entry: '', message: text.trim() };  // the server's own refusal, plain text
    }
  } catch (e) {
    return { ok: false, entry: '', message: 'no answer from the monitor: ' + e.message };
  }
}

// Shows a reply in a row's result field: the text for success, or the
// refusal as "DRV_entry: the module's text".
function show(result, answer, text) {
  result.classList.toggle('refused', !answer.ok);
  result.textContent = answer.ok ? text(answer) : (answer.entry ? answer.entry + ': ' : '') + answer.message;
  result.dataset.value = answer.ok ? String(answer.value) : '';
}

function row(name, ...parts) {
  const result = element('output', { className: 'result' });
  return { el: element('div', { className: 'row' }, [element('span', { className: 'name', textContent: name }), ...parts, result]), result };
}

function analogOutputRow(channel, [low, high]) {
  const volts = element('input', { type: 'number', step: '0.001', min: low, max: high, value: '0', id: `ao${channel}` });
  const set = element('button', { type: 'button', textContent: 'Set', id: `ao${channel}-set` });
  const r = row(`output ${channel}`, volts, 'V', set);
  r.result.id = `ao${channel}-result`;
  const write = async () => {
    const answer = await act('/api/analog-output', { channel, volts: Number(volts.value) });
    show(r.result, answer, (a) => `code ${a.value} = ${a.volts.toFixed(4)} V`);
  };
  set.addEventListener('click', write);
  volts.addEventListener('keydown', (e) => { if (e.key === 'Enter') write(); });
  return r.el;
}

function bitBoxes(width, make) {
  const bits = [];
  const box = element('span', { className: 'bits' });
  for (let bit = width - 1; bit >= 0; --bit) {
    const mark = make(bit);
    bits[bit] = mark;
    box.append(element('label', { title: `bit ${bit}` }, [String(bit), mark]));
  }
  return { box, bits };
}

function digitalOutputRow(port, width) {
  const { box, bits } = bitBoxes(width, (bit) => element('input', { type: 'checkbox', id: `do${port}-bit${bit}` }));
  const r = row(`port ${port}`, box);
  r.result.id = `do${port}-result`;
  r.result.textContent = 'not written yet';
  box.addEventListener('change', async () => {
    const value = bits.reduce((sum, b, bit) => sum + (b.checked ? 2 ** bit : 0), 0);
    const answer = await act('/api/digital-output', { port, value });
    show(r.result, answer, (a) => `wrote ${hex(a.value)}`);
  });
  return r.el;
}

function digitalInputRow(port, width) {
  const { box, bits } = bitBoxes(width, () => element('span', { className: 'led' }));
  const read = element('button', { type: 'button', textContent: 'Read', id: `di${port}-read` });
  const r = row(`port ${port}`, box, read);
  r.result.id = `di${port}-result`;
  let reading = false;
  const readNow = async () => {
    if (reading) return;  // one read at a time, however slow the module answers
    reading = true;
    const answer = await act('/api/digital-input', { port });
    reading = false;
    show(r.result, answer, (a) => `reads ${hex(a.value)}`);
    bits.forEach((led, bit) => led.classList.toggle('on', answer.ok && ((answer.value >>> bit) & 1) === 1));
  };
  read.addEventListener('click', readNow);
  return { el: r.el, readNow };
}

function counterRow(counter) {
  const value = element('input', { type: 'number', min: '0', step: '1', value: '0', id: `ct${counter}` });
  const write = element('button', { type: 'button', textContent: 'Write', id: `ct${counter}-write` });
  const read = element('button', { type: 'button', textContent: 'Read', id: `ct${counter}-read` });
  const r = row(`counter ${counter}`, value, write, read);
  r.result.id = `ct${counter}-result`;
  write.addEventListener('click', async () => {
    const answer = await act('/api/counter-output', { counter, value: Number(value.value) });
    show(r.result, answer, (a) => `wrote ${a.value}`);
  });
  read.addEventListener('click', async () => {
    const answer = await act('/api/counter-input', { counter });
    show(r.result, answer, (a) => `reads ${a.value}`);
  });
  return r.el;
}

function fill(panelId, count, make) {
  const panel = document.getElementById(panelId);
  const rows = panel.querySelector('.rows');
  if (count === 0) rows.textContent = 'none on this board';
  for (let i = 0; i < count; ++i) rows.append(make(i));
  return panel;
}

fetch('/api/board').then((r) => r.json()).then((board) => {
  document.getElementById('board').textContent = board.name;
  fill('analogOutputs', board.analogOutputs, (ch) => analogOutputRow(ch, board.outputRange));
  fill('digitalOutputs', board.outputPorts, (port) => digitalOutputRow(port, board.portWidth));
  const inputs = [];
  const inputPanel = fill('digitalInputs', board.inputPorts, (port) => {
    const input = digitalInputRow(port, board.portWidth);
    inputs.push(input);
    return input.el;
  });
  fill('counterPanel', board.counters, counterRow);
  // The input ports are read at a steady rate while their panel is open
  // and the page is in view.
  const readShown = () => {
    if (inputPanel.open && !document.hidden) for (const input of inputs) input.readNow();
  };
  readShown();
  setInterval(readShown, DIGITAL_READ_MS);
  inputPanel.addEventListener('toggle', readShown);
});
