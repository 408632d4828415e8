'use strict';
// The third-party parts of the release packages (packaging/third-party.json)
// with what the build machine says about each: its version, its package URL
// and its licence texts. Read by manifest.cjs.
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');

const ROOT = path.resolve(__dirname, '..', '..');
const DATA = path.join(ROOT, 'packaging', 'third-party.json');
const PACKAGES = ['win32', 'win64', 'deb'];

function fail(message) {
  throw new Error(message);
}

// A field that is either one value or one value per package.
function pick(part, field, pkg) {
  const value = part[field];
  if (value && typeof value === 'object' && !Array.isArray(value)) {
    if (!(pkg in value)) fail(`${part.name}: no ${field} for package ${pkg}`);
    return value[pkg];
  }
  return value;
}

function projectVersion() {
  const text = fs.readFileSync(path.join(ROOT, 'CMakeLists.txt'), 'utf8');
  const m = /^project\(tarnix VERSION ([0-9.]+)/m.exec(text);
  if (!m) fail('no project(tarnix VERSION ...) in CMakeLists.txt');
  return m[1];
}

function debianRelease() {
  const text = fs.readFileSync('/etc/os-release', 'utf8');
  const id = /^ID=(.*)$/m.exec(text);
  const version = /^VERSION_ID="?([^"\n]*)"?$/m.exec(text);
  return `${id ? id[1] : 'debian'}-${version ? version[1] : 'unknown'}`;
}

function nativeArch() {
  return execFileSync('dpkg', ['--print-architecture'], { encoding: 'utf8' }).trim();
}

// The installed Debian package: version, source package and architecture.
// A package installed for several architectures answers for this machine's.
function dpkgPackage(name) {
  let out;
  try {
    out = execFileSync('dpkg-query', ['-W', '-f', '${Package} ${Version} ${source:Package} ${source:Version} ${Architecture} ${db:Status-Abbrev}\n', name],
                       { encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe'] });
  } catch (e) {
    fail(`Debian package ${name} is not installed`);
  }
  const arch = nativeArch();
  const rows = out.trim().split('\n').map((l) => l.split(' '))
    .filter((r) => r.length >= 6 && r[5].startsWith('ii'));
  const row = rows.find((r) => r[4] === arch) || rows.find((r) => r[4] === 'all') || rows[0];
  if (!row) fail(`Debian package ${name} is not installed`);
  return { name: row[0], version: row[1], source: row[2], sourceVersion: row[3], arch: row[4] };
}

// The version of a Debian source package unpacked by scripts/setup.sh.
function debianSource(name) {
  const changelog = path.join(ROOT, 'build', 'third_party', name, 'debian', 'changelog');
  if (!fs.existsSync(changelog)) fail(`${changelog} missing: run scripts/setup.sh`);
  const first = fs.readFileSync(changelog, 'utf8').split('\n')[0];
  const m = /^(\S+) \(([^)]+)\)/.exec(first);
  if (!m) fail(`${changelog}: no version in its first line`);
  const series = path.join(ROOT, 'build', 'third_party', name, 'debian', 'patches', 'series');
  const patches = fs.existsSync(series)
    ? fs.readFileSync(series, 'utf8').split('\n').map((l) => l.replace(/#.*/, '').trim().split(/\s+/)[0]).filter(Boolean)
    : [];
  return { source: m[1], version: m[2], patches };
}

function npmPackage(lockFile, name) {
  const lock = JSON.parse(fs.readFileSync(path.join(ROOT, lockFile), 'utf8'));
  const entry = (lock.packages || {})[`node_modules/${name}`];
  if (!entry || !entry.version) fail(`${lockFile} has no entry for ${name}`);
  return { version: entry.version, resolved: entry.resolved, integrity: entry.integrity };
}

// What the build machine says about one part for one package: version,
// package URL, where it came from (and, for a patched Debian source, the
// upstream version and the patches).
function resolve(part, pkg) {
  const where = pick(part, 'version', pkg);
  const [kind, ...rest] = String(where).split(':');
  const distro = debianRelease();
  if (kind === 'dpkg') {
    const d = dpkgPackage(rest.join(':'));
    return { version: d.version, purl: `pkg:deb/debian/${d.name}@${encodeURIComponent(d.version)}?arch=${d.arch}&distro=${distro}`,
             debian: d };
  }
  if (kind === 'debian-source') {
    const d = debianSource(rest.join(':'));
    const upstream = d.version.replace(/^\d+:/, '').replace(/-[^-]*$/, '').replace(/[+~](ds|dfsg)\d*$/, '');
    return { version: d.version, upstream, patches: d.patches, sourceName: d.source,
             purl: `pkg:deb/debian/${d.source}@${encodeURIComponent(d.version)}?arch=source&distro=${distro}` };
  }
  if (kind === 'npm') {
    const [lockFile, name] = rest;
    const n = npmPackage(lockFile, name);
    return { version: n.version, purl: `pkg:npm/${name}@${n.version}`, npm: n };
  }
  return fail(`${part.name}: unknown version source '${where}'`);
}

function load() {
  const data = JSON.parse(fs.readFileSync(DATA, 'utf8'));
  for (const part of data.parts) {
    for (const [pkg, placement] of Object.entries(part.packages)) {
      if (!PACKAGES.includes(pkg)) fail(`${part.name}: unknown package ${pkg}`);
      if (placement !== 'inside' && placement !== 'run-time') fail(`${part.name}: ${pkg} is '${placement}', not inside or run-time`);
      if (placement === 'inside' && !pick(part, 'texts', pkg)) fail(`${part.name}: no licence texts for ${pkg}`);
    }
  }
  return data;
}

// The parts of one package, in the data file's order, each resolved.
function partsOf(data, pkg) {
  return data.parts.filter((p) => pkg in p.packages)
    .map((p) => ({ ...p, placement: p.packages[pkg], resolved: resolve(p, pkg) }));
}

// A part's licence texts, each file read whole.
function licenceTexts(part, pkg) {
  return (pick(part, 'texts', pkg) || []).map((file) => {
    const full = path.isAbsolute(file) ? file : path.join(ROOT, file);
    if (!fs.existsSync(full)) fail(`${part.name}: licence text ${full} missing`);
    return { file, text: fs.readFileSync(full, 'utf8') };
  });
}

// A name fit for a file: letters, digits, '.', '+' and '-'.
function fileName(part) {
  return part.name.replace(/[^A-Za-z0-9.+-]+/g, '-');
}

module.exports = { ROOT, PACKAGES, load, partsOf, licenceTexts, fileName, projectVersion, dpkgPackage,
                   debianRelease, nativeArch, fail };
