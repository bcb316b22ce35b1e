// Drives Debian's Chromium through the report form the way a person would:
// loads the form page, fills the fields given as JSON, submits, waits for the
// report page and prints its rendered heading and report text. Exits nonzero
// on any failure or when the whole run takes longer than --timeout.
//
//   node browser.mjs --url URL [--fields JSON] [--form-shot PNG]
//                    [--report-shot PNG] [--viewport WxH] [--timeout MS]
//
// --fields maps field names to values: a string or number fills the text or
// number field of that name, true ticks the box of that name and false
// clears it, e.g. '{"offset":"-1","title1":"Pool","table":true}'. Output on
// standard output: the heading's text on one line, then the text of the
// preformatted block exactly as rendered.

import { mkdtempSync, mkdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { parseArgs } from 'node:util';
import { chromium } from 'playwright-core';

const CHROMIUM_ARGS = [
  '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
  '--disable-background-networking', '--disable-component-update',
  '--disable-sync', '--disable-quic',
];

function fail(message) {
  process.stderr.write(`browser.mjs: ${message}\n`);
  process.exitCode = 1;
}

// The command line, checked; null after reporting what is wrong.
function readOptions() {
  const { values } = parseArgs({
    options: {
      url: { type: 'string' },
      fields: { type: 'string', default: '{}' },
      'form-shot': { type: 'string' },
      'report-shot': { type: 'string' },
      viewport: { type: 'string', default: '1024x768' },
      timeout: { type: 'string', default: '60000' },
    },
  });
  if (!values.url) return fail('--url is required'), null;
  let fields;
  try {
    fields = JSON.parse(values.fields);
  } catch (e) {
    return fail(`--fields is not JSON: ${e.message}`), null;
  }
  if (fields === null || typeof fields !== 'object' || Array.isArray(fields))
    return fail('--fields must be a JSON object'), null;
  const size = /^(\d+)x(\d+)$/.exec(values.viewport);
  if (!size) return fail('--viewport must be WIDTHxHEIGHT'), null;
  const timeout = Number(values.timeout);
  if (!(timeout > 0)) return fail('--timeout must be a positive number of ms'), null;
  return {
    url: values.url, fields, formShot: values['form-shot'],
    reportShot: values['report-shot'], timeout,
    viewport: { width: Number(size[1]), height: Number(size[2]) },
  };
}

// Fill one field by name: boxes take true/false, other inputs a text.
async function fillField(page, name, value) {
  const field = page.locator(`form [name="${name}"]`);
  if ((await field.count()) !== 1) throw new Error(`form has no single field "${name}"`);
  const type = await field.getAttribute('type');
  if (type === 'checkbox') {
    if (typeof value !== 'boolean') throw new Error(`field "${name}" is a box: give true or false`);
    await field.setChecked(value);
  } else {
    if (typeof value !== 'string' && typeof value !== 'number')
      throw new Error(`field "${name}" takes a text or a number`);
    await field.fill(String(value));
  }
}

async function screenshot(page, path) {
  if (!path) return;
  mkdirSync(dirname(path), { recursive: true });
  await page.screenshot({ path, fullPage: true });
}

// The report page's heading and preformatted text, or an error naming what
// the page held instead.
async function readReport(page, response) {
  if (!response) throw new Error('submitting the form loaded no page');
  if (response.status() !== 200)
    throw new Error(`report page answered ${response.status()}: ${await page.innerText('body')}`);
  const type = response.headers()['content-type'] || '';
  if (!type.startsWith('text/html'))
    throw new Error(`report page is ${type || 'untyped'}: ${await response.text()}`);
  if ((await page.locator('h3').count()) !== 1 || (await page.locator('pre').count()) !== 1)
    throw new Error(`report page lacks one h3 and one pre: ${await page.content()}`);
  const heading = await page.locator('h3').innerText();
  const text = await page.locator('pre').evaluate((pre) => pre.textContent);
  return `${heading}\n${text}`;
}

async function run(options, profile) {
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: CHROMIUM_ARGS,
    viewport: options.viewport,
    timeout: options.timeout,
  });
  try {
    context.setDefaultTimeout(options.timeout);
    const page = context.pages()[0] || (await context.newPage());
    const form = await page.goto(options.url, { waitUntil: 'load' });
    if (!form || !form.ok()) throw new Error(`form page answered ${form ? form.status() : 'nothing'}`);
    for (const [name, value] of Object.entries(options.fields)) await fillField(page, name, value);
    await screenshot(page, options.formShot);
    const [response] = await Promise.all([
      page.waitForNavigation({ waitUntil: 'load' }),
      page.locator('form [type="submit"]').click(),
    ]);
    const report = await readReport(page, response);
    await screenshot(page, options.reportShot);
    process.stdout.write(report);
  } finally {
    await context.close();
  }
}

async function main() {
  const options = readOptions();
  if (!options) return;
  const profile = mkdtempSync(join(tmpdir(), 'velmar-chromium-'));
  // A hung browser must not hang the test: give up after the timeout plus
  // time to close down, whatever the browser is doing.
  const guard = setTimeout(() => {
    fail(`no report within ${options.timeout} ms`);
    rmSync(profile, { recursive: true, force: true });
    process.exit(1);
  }, options.timeout + 10000);
  try {
    await run(options, profile);
  } catch (e) {
    fail(e.message);
  } finally {
    clearTimeout(guard);
    rmSync(profile, { recursive: true, force: true });
  }
}

await main();
