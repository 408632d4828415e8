#!/usr/bin/env node
'use strict';
// What the release says about its third-party parts and its build, all
// from packaging/third-party.json and the build machine:
//   manifest.cjs licences PKG DIR [--crlf] [--nsis FILE]
//       the licence text of each part inside package PKG (win32, win64,
//       deb) as DIR/<part>.txt; --nsis also writes the installer's list of
//       them (macros TARNIX_THIRD_PARTY_FILES and _DELETE)
//   manifest.cjs copyright FILE
//       the Debian package's copyright file: LICENSE, then each part inside
//   manifest.cjs sbom PKG PACKAGE-FILE OUT.json
//       the package's bill of materials (CycloneDX 1.6 JSON); for a .deb,
//       its Depends field must name exactly the run-time parts
//   manifest.cjs buildinfo OUT --signing TEXT FILE...
//       the build record: commit, source date, tools, third-party versions,
//       and the files' SHA-256 checksums
// Every output is the same for the same commit, tools and parts: dated by
// SOURCE_DATE_EPOCH, nothing of the build folder, the user or the clock.
const fs = require('fs');
const path = require('path');
const crypto = require('crypto');
const { execFileSync } = require('child_process');
const parts = require('./parts.cjs');

function sourceDateEpoch() {
  const value = process.env.SOURCE_DATE_EPOCH;
  if (!/^[0-9]+$/.test(value || '')) parts.fail('SOURCE_DATE_EPOCH is not set to a number of seconds');
  return Number(value);
}

function header(part) {
  const r = part.resolved;
  return [`${part.name} ${r.version}`, part.summary, `From: ${part.origin}`, `Licence: ${part.licence}`,
          `Website: ${part.website}`].join('\n');
}

function licenceText(part, pkg) {
  const texts = parts.licenceTexts(part, pkg).map((t) => `==> ${t.file} <==\n${t.text.replace(/\s+$/, '')}\n`);
  return `${header(part)}\n\n${texts.join('\n')}`;
}

function writeLicences(pkg, dir, options) {
  const data = parts.load();
  fs.rmSync(dir, { recursive: true, force: true });
  fs.mkdirSync(dir, { recursive: true });
  const names = [];
  for (const part of parts.partsOf(data, pkg).filter((p) => p.placement === 'inside')) {
    let text = licenceText(part, pkg);
    if (options.crlf) text = text.replace(/\r?\n/g, '\r\n');
    const name = `${parts.fileName(part)}.txt`;
    fs.writeFileSync(path.join(dir, name), text);
    names.push(name);
  }
  if (options.nsis) {
    const files = names.map((n) => `  File "\${TREE}/third-party/${n}"`);
    const deletes = names.map((n) => `  Delete "$INSTDIR\\third-party\\${n}"`);
    fs.writeFileSync(options.nsis, ['; Written by packaging/release/manifest.cjs: the third-party licence texts.',
      '!macro TARNIX_THIRD_PARTY_FILES', ...files, '!macroend',
      '!macro TARNIX_THIRD_PARTY_DELETE', ...deletes, '!macroend', ''].join('\n'));
  }
}

function writeCopyright(out) {
  const data = parts.load();
  const own = fs.readFileSync(path.join(parts.ROOT, 'LICENSE'), 'utf8').replace(/\s+$/, '');
  const inside = parts.partsOf(data, 'deb').filter((p) => p.placement === 'inside');
  const sections = inside.map((p) => `${'-'.repeat(72)}\n${licenceText(p, 'deb')}`);
  fs.mkdirSync(path.dirname(out), { recursive: true });
  fs.writeFileSync(out, `TARNIX, data-acquisition driver module\n\n${own}\n\n` +
    'Parts of other projects compiled into this package, each with its licence:\n\n' +
    `${sections.join('\n')}`);
}

function licences(expression) {
  return /\s/.test(expression) ? [{ expression }] : [{ license: { id: expression } }];
}

function sha256(file) {
  return crypto.createHash('sha256').update(fs.readFileSync(file)).digest('hex');
}

// A UUID (version 5 layout) from the package file's own hash: the same
// package has the same serial number, another one another.
function serialNumber(hash) {
  const h = hash.slice(0, 32).split('');
  h[12] = '5';
  h[16] = '89ab'[parseInt(h[16], 16) & 3];
  const s = h.join('');
  return `urn:uuid:${s.slice(0, 8)}-${s.slice(8, 12)}-${s.slice(12, 16)}-${s.slice(16, 20)}-${s.slice(20)}`;
}

function component(part) {
  const r = part.resolved;
  const c = {
    type: 'library', 'bom-ref': `part:${parts.fileName(part)}`, name: part.name, version: r.version,
    description: part.summary, scope: 'required', licenses: licences(part.licence), purl: r.purl,
    externalReferences: [{ type: 'website', url: part.website }],
    properties: [{ name: 'tarnix:placement', value: part.placement === 'inside' ? 'inside the package' : 'run-time dependency' },
                 { name: 'tarnix:origin', value: part.origin }],
  };
  if (r.patches) {
    c.pedigree = {
      ancestors: [{ type: 'library', name: part.name, version: r.upstream }],
      patches: r.patches.map((p) => ({ type: 'unofficial',
        diff: { url: `https://sources.debian.org/src/${r.sourceName}/${r.version}/debian/patches/${p}/` } })),
      notes: `Debian's source package ${r.sourceName} ${r.version} with its patches applied`,
    };
  }
  if (r.npm && r.npm.integrity) {
    const [alg, b64] = r.npm.integrity.split('-');
    if (alg === 'sha512') c.hashes = [{ alg: 'SHA-512', content: Buffer.from(b64, 'base64').toString('hex') }];
  }
  return c;
}

// The .deb's Depends field names exactly the run-time parts' packages.
function checkDebDepends(file, runTime) {
  const depends = execFileSync('dpkg-deb', ['-f', file, 'Depends'], { encoding: 'utf8' });
  const named = new Set(depends.split(/[,|]/).map((d) => d.trim().split(/[\s(]/)[0]).filter(Boolean));
  const listed = new Set(runTime.flatMap((p) => p.debian_packages || []));
  const missing = [...named].filter((n) => !listed.has(n));
  const extra = [...listed].filter((n) => !named.has(n));
  if (missing.length || extra.length) {
    parts.fail(`${path.basename(file)} depends on ${[...named].join(', ')}; packaging/third-party.json ` +
               `lacks ${missing.join(', ') || 'nothing'} and has ${extra.join(', ') || 'nothing'} more`);
  }
}

function writeSbom(pkg, packageFile, out) {
  const data = parts.load();
  const list = parts.partsOf(data, pkg);
  if (pkg === 'deb') checkDebDepends(packageFile, list.filter((p) => p.placement === 'run-time'));
  const hash = sha256(packageFile);
  const version = parts.projectVersion();
  const components = list.map(component);
  const bom = {
    $schema: 'http://cyclonedx.org/schema/bom-1.6.schema.json',
    bomFormat: 'CycloneDX', specVersion: '1.6', serialNumber: serialNumber(hash), version: 1,
    metadata: {
      timestamp: new Date(sourceDateEpoch() * 1000).toISOString().replace(/\.000Z$/, 'Z'),
      tools: { components: [{ type: 'application', name: 'tarnix packaging/release/manifest.cjs', version }] },
      component: {
        type: 'application', 'bom-ref': 'tarnix', name: 'tarnix', version,
        description: `TARNIX data-acquisition driver module, package ${path.basename(packageFile)}`,
        licenses: licences('MIT'), hashes: [{ alg: 'SHA-256', content: hash }],
        properties: [{ name: 'tarnix:package', value: pkg }, { name: 'tarnix:package-file', value: path.basename(packageFile) }],
      },
    },
    components,
    dependencies: [{ ref: 'tarnix', dependsOn: components.map((c) => c['bom-ref']) },
                   ...components.map((c) => ({ ref: c['bom-ref'], dependsOn: [] }))],
  };
  fs.writeFileSync(out, `${JSON.stringify(bom, null, 2)}\n`);
}

function gitCommit() {
  try {
    return execFileSync('git', ['-C', parts.ROOT, 'rev-parse', 'HEAD'], { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] }).trim();
  } catch (e) {
    return 'unknown (not a git checkout)';
  }
}

function writeBuildinfo(out, signing, files) {
  const data = parts.load();
  const lines = ['Format: 1.0', 'Source: tarnix', `Version: ${parts.projectVersion()}`, `Commit: ${gitCommit()}`,
                 `Source-Date-Epoch: ${sourceDateEpoch()}`, `Build-Architecture: ${parts.nativeArch()}`,
                 `Build-Distribution: ${parts.debianRelease()}`, `Authenticode: ${signing}`];
  lines.push('Build-Tools:');
  for (const tool of data.tools) {
    let version = 'not installed';
    try { version = `= ${parts.dpkgPackage(tool).version}`; } catch (e) { /* recorded as not installed */ }
    lines.push(` ${tool} (${version})`);
  }
  lines.push('Third-Party-Parts:');
  for (const pkg of parts.PACKAGES) {
    for (const p of parts.partsOf(data, pkg)) {
      const extra = p.resolved.patches ? `, Debian patches: ${p.resolved.patches.join(' ') || 'none'}` : '';
      lines.push(` ${pkg}: ${p.name} (= ${p.resolved.version}) ${p.placement}, ${p.resolved.purl}${extra}`);
    }
  }
  // Every npm package of the lock files: those the build embeds (uPlot),
  // the browser test's driver, the packaging's validator.
  lines.push('Npm-Packages:');
  for (const lock of ['host/monitor/web/package-lock.json', 'packaging/package-lock.json']) {
    const file = path.join(parts.ROOT, lock);
    lines.push(` ${lock} (sha256 ${sha256(file)})`);
    const entries = JSON.parse(fs.readFileSync(file, 'utf8')).packages || {};
    for (const [where, entry] of Object.entries(entries).sort()) {
      if (where) lines.push(`  ${where.replace(/^node_modules\//, '')} (= ${entry.version})`);
    }
  }
  lines.push('Checksums-Sha256:');
  for (const file of files) {
    lines.push(` ${sha256(file)} ${fs.statSync(file).size} ${path.basename(file)}`);
  }
  fs.writeFileSync(out, `${lines.join('\n')}\n`);
}

function main(argv) {
  const [command, ...args] = argv;
  const option = (name) => {
    const i = args.indexOf(name);
    if (i < 0) return undefined;
    const [, value] = args.splice(i, 2);
    return value;
  };
  const flag = (name) => {
    const i = args.indexOf(name);
    if (i >= 0) args.splice(i, 1);
    return i >= 0;
  };
  if (command === 'licences') {
    const crlf = flag('--crlf');
    const nsis = option('--nsis');
    writeLicences(args[0], args[1], { crlf, nsis });
  } else if (command === 'copyright') {
    writeCopyright(args[0]);
  } else if (command === 'sbom' && args.length === 3) {
    writeSbom(...args);
  } else if (command === 'buildinfo') {
    const signing = option('--signing') || 'unsigned';
    writeBuildinfo(args[0], signing, args.slice(1));
  } else {
    parts.fail('usage: manifest.cjs licences|copyright|sbom|buildinfo ... (see its heading)');
  }
}

try {
  main(process.argv.slice(2));
} catch (e) {
  console.error(`manifest.cjs: ${e.message}`);
  process.exit(1);
}
