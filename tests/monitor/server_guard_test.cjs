// The monitor answers this machine's own pages only: a request naming
// another Host (a rebound DNS name) or carrying another site's Origin is
// refused before it can read the stream or drive the module, and nothing
// listens beyond the loopback interface.
'use strict';
const http = require('node:http');
const net = require('node:net');
const os = require('node:os');
const { startMonitor, check } = require('./monitor_process.cjs');
const { listeningSockets, stopName } = require('./monitor_program.cjs');

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

function canConnect(address, port) {
  return new Promise((resolve) => {
    const s = net.connect({ host: address, port, timeout: 2000 });
    s.on('connect', () => { s.destroy(); resolve(true); });
    s.on('error', () => resolve(false));
    s.on('timeout', () => { s.destroy(); resolve(false); });
  });
}

async function main() {
  const monitor = await startMonitor();
  const { port } = monitor;
  const self = `127.0.0.1:${port}`;
  const json = { 'Content-Type': 'application/json' };
  const start = JSON.stringify({ channels: '0-1', rate: 1000 });
  try {
    let r = await request(port, { headers: { Host: self } });
    check(r.status === 200 && r.text.includes('TARNIX monitor'), 'the page is served to Host 127.0.0.1');
    r = await request(port, { headers: { Host: `localhost:${port}`, Origin: `http://localhost:${port}` } });
    check(r.status === 200, 'Host and Origin localhost are served');

    for (const host of ['evil.example', `evil.example:${port}`, `127.0.0.1.evil.example:${port}`,
      `localhost.evil.example:${port}`, `127.0.0.1:${port}@evil.example`, '']) {
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
    const outside = Object.values(os.networkInterfaces()).flat()
      .filter((a) => !a.internal && a.family === 'IPv4').map((a) => a.address);
    for (const address of outside) {
      check(!(await canConnect(address, port)), `nothing listens on ${address}:${port}`);
    }
  } finally {
    await monitor.stop();
  }
  check(true, `the monitor ended cleanly on ${stopName}`);
}

main().catch((e) => { console.error(e.message); process.exit(1); });
