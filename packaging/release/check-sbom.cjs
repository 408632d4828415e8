#!/usr/bin/env node
'use strict';
// Checks bills of materials against CycloneDX's published JSON schema, with
// no network: the schema files come with @cyclonedx/cyclonedx-library and
// the validator is ajv, both pinned by packaging/package-lock.json and
// installed by scripts/setup.sh into build/npm-packaging.
//   check-sbom.cjs FILE.cdx.json...
// Prints "ok - FILE" or "not ok - FILE" with the schema's complaints, then
// the parts the file lists; exits 1 when any file fails.
const fs = require('fs');
const path = require('path');

const modules = path.join(process.env.TARNIX_PACKAGING_NPM
  || path.resolve(__dirname, '..', '..', 'build', 'npm-packaging'), 'node_modules');
const need = (name) => {
  try {
    return require(path.join(modules, name));
  } catch (e) {
    console.error(`check-sbom.cjs: ${name} not found in ${modules}: run scripts/setup.sh`);
    return process.exit(1);
  }
};
const Ajv = need('ajv').default;
const addFormats = need('ajv-formats').default;
const addDraft2019Formats = need('ajv-formats-draft2019');

const schemaDir = path.join(modules, '@cyclonedx', 'cyclonedx-library', 'res', 'schema');
const readSchema = (name) => JSON.parse(fs.readFileSync(path.join(schemaDir, name), 'utf8'));
const ajv = new Ajv({ strict: false, allErrors: true });
addFormats(ajv);
addDraft2019Formats(ajv);
// The BOM schema refers to these two by their file names, relative to its
// own $id; each is registered under that address.
const bomSchema = readSchema('bom-1.6.SNAPSHOT.schema.json');
for (const name of ['spdx.SNAPSHOT.schema.json', 'jsf-0.82.SNAPSHOT.schema.json']) {
  const schema = readSchema(name);
  delete schema.$id;
  ajv.addSchema(schema, new URL(name, bomSchema.$id).href);
}
const validate = ajv.compile(bomSchema);

let failed = 0;
const files = process.argv.slice(2);
if (files.length === 0) {
  console.error('usage: check-sbom.cjs FILE.cdx.json...');
  process.exit(2);
}
for (const file of files) {
  let bom;
  try {
    bom = JSON.parse(fs.readFileSync(file, 'utf8'));
  } catch (e) {
    console.log(`not ok - ${file}: ${e.message}`);
    failed += 1;
    continue;
  }
  if (bom.specVersion !== '1.6' || !validate(bom)) {
    console.log(`not ok - ${file}: not a CycloneDX 1.6 document`);
    for (const error of validate.errors || []) console.log(`  ${error.instancePath || '/'} ${error.message}`);
    failed += 1;
    continue;
  }
  console.log(`ok - ${path.basename(file)} is valid CycloneDX 1.6`);
  for (const c of bom.components || []) {
    const placement = (c.properties || []).find((p) => p.name === 'tarnix:placement');
    const licence = c.licenses.map((l) => l.expression || l.license.id || l.license.name).join(' ');
    console.log(`  ${c.name} ${c.version} | ${placement ? placement.value : '?'} | ${licence}`);
  }
}
process.exit(failed ? 1 : 0);
