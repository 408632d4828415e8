// Starts `tarnix-host monitor` on a free loopback port for a test, and ends
// it the way a user does (SIGTERM, or Ctrl-C under Wine), answering how it
// ended. Which program runs, and how: monitor_program.cjs.
'use strict';
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const {
  startProgram, programPid, stopProgram, endProgram, programPath, startSeconds, stopName, underWine,
} = require('./monitor_program.cjs');

// The simulated board: input 0 carries a sequence (each sample 500 uV above
// the last, wrapping only after 40000 scans), so the trace's values must
// advance from block to block; a small FIFO lets a slow host
// overrun it within a second. Input 15 is wired to analog output 0 and
// digital port 0 to port 1, so what the page writes comes back; the module
// is told of one counter more than the board has, so that one is refused.
const BOARD_PROFILE = {
  boards: [{
    serial: 20130017, maxRate: 100000, fifoCapacity: 4096,
    signals: [
      { channel: 0, kind: 'sequence', step: 500 },
      { channel: 15, kind: 'loopback', output: 0 },
    ],
    portWires: [{ output: 0, input: 1 }],
    counters: 2,
    answers: [{ code: 300, value: 3 }],
  }],
};

// Each monitor started and not yet stopped, with its folder: ended when the
// test ends some other way (a failure before its stop, an exception, a
// signal), so that no monitor outlives its test.
const unstopped = new Map();
process.on('exit', () => {
  for (const [child, dir] of unstopped) {
    endProgram(child);
    fs.rmSync(dir, { recursive: true, force: true });
  }
});
for (const signal of ['SIGTERM', 'SIGINT', 'SIGHUP']) {
  process.on(signal, () => process.exit(128 + os.constants.signals[signal]));
}

function startMonitor(extraArgs = []) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tarnix-monitor-'));
  const profile = path.join(dir, 'board.json');
  fs.writeFileSync(profile, JSON.stringify(BOARD_PROFILE));
  const child = startProgram(['--board-config', programPath(profile), 'monitor', ...extraArgs]);
  unstopped.set(child, dir);
  let output = '';
  child.stderr.on('data', (d) => { output += d; });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => {
    if (!underWine) unstopped.delete(child);
    resolve({ code, signal });
  }));
  const url = new Promise((resolve, reject) => {
    let out = '';
    child.stdout.on('data', (d) => {
      out += d;
      const m = /serving (http:\/\/127\.0\.0\.1:(\d+)\/)/.exec(out);
      if (m) resolve({ url: m[1], port: Number(m[2]) });
    });
    exited.then((e) => reject(Object.assign(
      new Error(`monitor ended early (${JSON.stringify(e)}): ${out}${output}`),
      { exit: e, stdout: out, stderr: output })));
    setTimeout(() => reject(new Error(`monitor printed no URL within ${startSeconds} s`)),
      startSeconds * 1000).unref();
  });
  return url.then(({ url: base, port }) => ({
    url: base, port, pid: programPid(child),
    stderr: () => output,
    // Answers { code, signal } of the program's end.
    async stop() {
      stopProgram(this.pid);
      const e = await exited;
      unstopped.delete(child);
      fs.rmSync(dir, { recursive: true, force: true });
      return e;
    },
  }));
}

// Small check helper: prints "ok - what" or throws with the reason.
function check(condition, what, detail = '') {
  if (!condition) throw new Error(`FAILED - ${what}${detail ? ': ' + detail : ''}`);
  console.log(`ok - ${what}`);
}

// Ends the monitor and checks that it ended cleanly; a failure the
// test met before (`failure`) is reported first.
async function stopMonitor(monitor, failure) {
  const ended = await monitor.stop();
  if (failure) throw failure;
  check(ended.code === 0 && ended.signal === null, `the monitor ended cleanly on ${stopName}`,
    `${JSON.stringify(ended)}: ${monitor.stderr()}`);
}

module.exports = { startMonitor, stopMonitor, check, BOARD_PROFILE };
