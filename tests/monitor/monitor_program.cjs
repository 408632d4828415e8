// Which tarnix-host the monitor tests run, and how it is started, ended and
// looked at: the native program itself, or, when TARNIX_WINE_RUN names
// scripts/wine-run.sh, tarnix-host.exe under Wine through that script.
//
// Wine turns SIGINT into the console's Ctrl-C event, which the program
// handles as a user's Ctrl-C; SIGTERM would kill a Wine process outright,
// with no shutdown. So a Windows program is ended with SIGINT, sent to the
// Wine process itself, which runs below the script (and below xvfb-run
// where there is no display): the script runs in a process group of its
// own, and the Wine process is the one of that group that names the
// program and has no child that does.
'use strict';
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');

const wineRun = process.env.TARNIX_WINE_RUN || '';
const underWine = wineRun !== '';
const programFile = underWine ? 'tarnix-host.exe' : 'tarnix-host';

// How the program is asked to end, and what the checks call it.
const stopSignal = underWine ? 'SIGINT' : 'SIGTERM';
const stopName = underWine ? 'Ctrl-C (SIGINT under Wine)' : 'SIGTERM';

// How long the program may take to print its URL: a first Wine run also
// creates the Wine prefix.
const startSeconds = underWine ? 300 : 20;

// A file name as the program takes it (Wine's drive Z: is the root).
function programPath(file) {
  return underWine ? `Z:${path.resolve(file).replace(/\//g, '\\')}` : file;
}

function startProgram(args) {
  const bin = process.env.TARNIX_BIN;
  if (!bin) throw new Error('TARNIX_BIN is not set');
  const program = path.join(bin, programFile);
  const options = { stdio: ['ignore', 'pipe', 'pipe'] };
  return underWine
    ? spawn('sh', [wineRun, program, ...args], { ...options, detached: true })
    : spawn(program, args, options);
}

// The processes of one process group, from /proc.
function groupProcesses(group) {
  const found = [];
  for (const entry of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    try {
      const stat = fs.readFileSync(`/proc/${entry}/stat`, 'utf8');
      // After "pid (name) ": state, parent, process group.
      const [, parent, pgrp] = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      if (Number(pgrp) !== group) continue;
      const cmdline = fs.readFileSync(`/proc/${entry}/cmdline`, 'utf8');
      found.push({ pid: Number(entry), parent: Number(parent), cmdline });
    } catch {
      // Ended while being read: not one of ours any more.
    }
  }
  return found;
}

// The process that runs the program itself: `child` natively, the Wine
// process under Wine (asked once the program has started).
function programPid(child) {
  if (!underWine) return child.pid;
  const named = groupProcesses(child.pid).filter((p) => p.cmdline.includes(programFile));
  const wine = named.filter((p) => !named.some((q) => q.parent === p.pid));
  if (wine.length !== 1) {
    throw new Error(`no single Wine process runs ${programFile}: ${JSON.stringify(named)}`);
  }
  return wine[0].pid;
}

// Asks the program running as `pid` to end; one that has already ended
// shows in its exit status.
function stopProgram(pid) {
  try {
    process.kill(pid, stopSignal);
  } catch (e) {
    if (e.code !== 'ESRCH') throw e;
  }
}

// The local addresses of the listening TCP sockets of the program running
// as `pid` and serving `port`, as the kernel has them (/proc/PID/net/tcp and tcp6): natively
// every listening socket the process holds (matched by socket inode), so
// one on another port shows too; under Wine the sockets are held by the
// wineserver, which serves every program of the prefix, so there it is
// every listening socket on `port`, whoever holds it.
function listeningSockets(pid, port) {
  const inodes = new Set();
  if (!underWine) {
    for (const fd of fs.readdirSync(`/proc/${pid}/fd`)) {
      let target = '';
      try { target = fs.readlinkSync(`/proc/${pid}/fd/${fd}`); } catch { continue; }
      const m = /^socket:\[(\d+)\]$/.exec(target);
      if (m) inodes.add(m[1]);
    }
  }
  const found = [];
  for (const table of ['tcp', 'tcp6']) {
    const text = fs.readFileSync(`/proc/${pid}/net/${table}`, 'utf8');
    for (const line of text.trim().split('\n').slice(1)) {
      const f = line.trim().split(/\s+/);
      const [hex, portHex] = f[1].split(':');
      const localPort = parseInt(portHex, 16);
      if (f[3] !== '0A') continue;  // 0A: LISTEN
      if (underWine ? localPort !== port : !inodes.has(f[9])) continue;
      // IPv4 as one little-endian word; IPv6 as four of them.
      const bytes = (hex.match(/.{8}/g) || []).flatMap((w) => w.match(/../g).reverse());
      const address = table === 'tcp'
        ? bytes.map((b) => parseInt(b, 16)).join('.')
        : bytes.join('').match(/.{4}/g).join(':');
      found.push({ table, address, port: localPort });
    }
  }
  return found;
}

// Ends what startProgram started, at once and without waiting: for a test
// that is ending before it could stop the program itself. Under Wine the
// whole process group is asked, the script and the Wine process in it.
function endProgram(child) {
  try {
    if (underWine) process.kill(-child.pid, stopSignal);
    else if (child.exitCode === null && child.signalCode === null) child.kill(stopSignal);
  } catch (e) {
    if (e.code !== 'ESRCH') throw e;
  }
}

module.exports = {
  startProgram, programPid, stopProgram, endProgram, programPath, listeningSockets, startSeconds,
  stopName, underWine,
};
