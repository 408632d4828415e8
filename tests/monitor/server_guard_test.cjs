// The monitor answers this machine's own pages only: a request naming
// another Host (a rebound DNS name) or carrying another site's Origin is
// refused before it can read the stream or drive the module, and nothing
// listens beyond the loopback interface. A malformed start is refused with
// its reason; an explicit port is taken, and one already in use refused.
'use strict';
const http = require('node:http');
const net = require('node:net');
const os = require('node:os');
const { startMonitor, stopMonitor, check } = require('./monitor_process.cjs');
const { listeningSockets } = require('./monitor_program.cjs');

function request(port, { method = 'GET', path = '/', headers = {}, body } = {}) {
  return new Promise((resolve, reject) => {
    // An empty Host stands for none at all (an HTTP/1.0 client's request).
    const setHost = headers.Host !== '';
    if (!setHost) delete headers.Host;
    const req = http.request({ host: '127.0.0.1', port, method, path, headers, setHost }, (res) => {
      let text = '';
      res.on('data', (d) => {
        text += d;
        if (path === '/events') req.destroy();  // one event is enough
      });
      res.on('close', () => resolve({ status: res.statusCode, text }));
    });
    req.on('error', (e) => (e.code === 'ECONNRESET' ? null : reject(e)));
    if (body !== undefined) req.write(body);
    req.end();
  });
}

// How a connection to address:port ends: 'connected', 'timeout' or the
// error's code. Only ECONNREFUSED shows that the address is this machine's
// and nothing listens on that port.
function connectOutcome(address, port) {
  return new Promise((resolve) => {
    const s = net.connect({ host: address, port });
    const limit = setTimeout(() => { s.destroy(); resolve('timeout'); }, 5000);
    s.on('connect', () => { clearTimeout(limit); s.destroy(); resolve('connected'); });
    s.on('error', (e) => { clearTimeout(limit); resolve(e.code || e.message); });
  });
}

// What a connection to an address this machine cannot use at all answers
// (no IPv6, no route to it): such an address proves nothing either way.
const UNUSABLE = new Set(['EADDRNOTAVAIL', 'EAFNOSUPPORT', 'ENETUNREACH', 'EHOSTUNREACH']);

// This machine's addresses beside 127.0.0.1. A link-local one is taken with
// its interface: without it the address names no link, and every connection
// to it fails (EINVAL) whether something listens there or not.
function otherAddresses() {
  const found = ['::1'];
  for (const [name, entries] of Object.entries(os.networkInterfaces())) {
    for (const a of entries) {
      if (a.internal) continue;
      const address = a.address.split('%')[0];
      found.push(a.scopeid ? `${address}%${name}` : address);
    }
  }
  return found;
}

// A port nobody listens on right now.
function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

async function guards(monitor) {
  const { port } = monitor;
  const self = `127.0.0.1:${port}`;
  const json = { 'Content-Type': 'application/json' };
  const start = JSON.stringify({ channels: '0-1', rate: 1000 });
  let r = await request(port, { headers: { Host: self } });
  check(r.status === 200 && r.text.includes('TARNIX monitor'), 'the page is served to Host 127.0.0.1');
  r = await request(port, { headers: { Host: `localhost:${port}`, Origin: `http://localhost:${port}` } });
  check(r.status === 200, 'Host and Origin localhost are served');
  for (const host of [`[::1]:${port}`, '[::1]']) {
    r = await request(port, { path: '/api/status', headers: { Host: host, Origin: `http://${host}` } });
    check(r.status === 200, `Host and Origin '${host}' are served`, `status ${r.status}`);
  }

  for (const host of ['evil.example', `evil.example:${port}`, `127.0.0.1.evil.example:${port}`,
    `localhost.evil.example:${port}`, `127.0.0.1:${port}@evil.example`, '', `[::2]:${port}`,
    `[::1].evil.example:${port}`]) {
    r = await request(port, { path: '/api/status', headers: { Host: host } });
    check(r.status === 403, `Host '${host}' is refused`, `status ${r.status}`);
  }
  r = await request(port, { path: '/events', headers: { Host: `evil.example:${port}` } });
  check(r.status === 403 && !r.text.includes('data:'), 'the stream is refused to a foreign Host');
  for (const origin of ['http://evil.example', `http://evil.example:${port}`, 'null',
    `https://127.0.0.1.evil.example:${port}`, `http://localhost.evil.example:${port}`]) {
    r = await request(port, { method: 'POST', path: '/api/start', body: start,
      headers: { ...json, Host: self, Origin: origin } });
    check(r.status === 403, `start with Origin '${origin}' is refused`, `status ${r.status}`);
  }
  r = await request(port, { method: 'POST', path: '/api/start', body: start,
    headers: { 'Content-Type': 'text/plain', Host: self } });
  check(r.status === 415, 'a form-style (text/plain) start is refused', `status ${r.status}`);

  // Malformed starts: 400 with the reason, and the module left alone.
  const whole = (key) => `${key}: a whole number of samples`;
  const delay = 'hostDelayMs: whole milliseconds from 0 to 10000';
  for (const [body, reason] of [
    ['{"channels": "0-1", ', 'the body is not a JSON object'],
    ['[1000]', 'the body is not a JSON object'],
    ['{"channels": 3}', 'channels: a list such as 0-3,6'],
    ['{"channels": "0-16"}', 'channels: bad channel item \'0-16\' (channels are 0 to 15, ranges low-high)'],
    ['{"rate": "1000"}', 'rate: a number of samples per second'],
    ['{"hostDelayMs": -1}', delay], ['{"hostDelayMs": 10001}', delay],
    ['{"hostDelayMs": 2.5}', delay], ['{"hostDelayMs": "5"}', delay],
    ['{"blockSize": 256.5}', whole('blockSize')], ['{"blockSize": 3e9}', whole('blockSize')],
    ['{"blockSize": "256"}', whole('blockSize')], ['{"bufferSize": -3e9}', whole('bufferSize')],
    ['{"bufferSize": 0.5}', whole('bufferSize')]]) {
    r = await request(port, { method: 'POST', path: '/api/start', body, headers: { ...json, Host: self } });
    let answer = {};
    try { answer = JSON.parse(r.text); } catch { /* checked below */ }
    check(r.status === 400 && answer.ok === false && answer.message === reason,
      `start ${body} is refused: ${reason}`, `status ${r.status}: ${r.text}`);
  }
  r = await request(port, { path: '/api/status', headers: { Host: self } });
  const status = JSON.parse(r.text);
  check(status.state === 'idle' && status.run === 0 && status.samples === 0,
    'none of the refused requests started the module', r.text.slice(0, 200));

  r = await request(port, { method: 'POST', path: '/api/start', body: start,
    headers: { ...json, Host: self, Origin: `http://${self}` } });
  check(r.status === 200 && JSON.parse(r.text).ok === true, 'the page\'s own start is accepted', r.text);
  r = await request(port, { method: 'POST', path: '/api/stop', body: '{}', headers: { ...json, Host: self } });
  check(r.status === 200, 'the page\'s own stop is accepted');

  const sockets = listeningSockets(monitor.pid, port);
  check(sockets.length > 0 && sockets.every((s) => s.table === 'tcp' && s.address === '127.0.0.1' && s.port === port),
    `the only listening socket is 127.0.0.1:${port}`, JSON.stringify(sockets));
  // One check for all of them, so the count of cases is the same on every
  // machine, however many addresses it has.
  const refused = [];
  const wrong = [];
  for (const address of otherAddresses()) {
    const shown = address.includes(':') ? `[${address}]:${port}` : `${address}:${port}`;
    const outcome = await connectOutcome(address, port);
    if (UNUSABLE.has(outcome)) {
      console.log(`# not applicable - ${shown}: this machine cannot use the address (${outcome}), so it proves nothing`);
    } else if (outcome === 'ECONNREFUSED') {
      refused.push(shown);
    } else {
      wrong.push(`${shown} ${outcome}`);
    }
  }
  check(wrong.length === 0, `nothing listens on this machine's other addresses (refused: ${refused.join(' ') || 'none usable'})`,
    `a connection ended otherwise than refused: ${wrong.join(', ')}`);
}

async function explicitPort() {
  const wanted = await freePort();
  const monitor = await startMonitor(['--port', String(wanted)]);
  let failure;
  try {
    check(monitor.port === wanted, `--port ${wanted} is the port served`, monitor.url);
    const second = await startMonitor(['--port', String(wanted)]).then(
      async (m) => ({ served: true, ended: await m.stop() }), (e) => e);
    check(!second.served && second.exit && second.exit.code === 5 &&
      second.stderr.includes(`error: cannot listen on 127.0.0.1:${wanted}`),
      'a second monitor on a port in use is refused and says which', second.message || 'it served');
  } catch (e) {
    failure = e;
  }
  await stopMonitor(monitor, failure);
}

async function main() {
  const monitor = await startMonitor();
  let failure;
  try {
    await guards(monitor);
  } catch (e) {
    failure = e;
  }
  await stopMonitor(monitor, failure);
  await explicitPort();
}

main().catch((e) => { console.error(e.message); process.exit(1); });
