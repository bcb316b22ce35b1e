// Drives Debian's Chromium through the report form the way a person would:
// loads the form page, fills the fields given as JSON, submits, waits for the
// report page and prints its rendered heading and report text. Exits nonzero
// on any failure or when the whole run takes longer than --timeout.
//
//   node browser.mjs --url URL [--fields JSON] [--form-shot PNG]
//                    [--report-shot PNG] [--viewport WxH] [--timeout MS]
//                    [--facts JSON-FILE] [--charts-shot PNG]
//                    [--download VALUE --save FILE] [--enter FIELD]
//
// --fields maps field names to values: a string or number fills the text or
// number field of that name, true ticks the box of that name and false
// clears it, a radio button takes the value to pick, e.g.
// '{"offset":"-1","title1":"Pool","table":true,"format":"json"}'. Output on
// standard output: the heading's text on one line, then the text of the
// preformatted block exactly as rendered. --facts writes what the page is
// as rendered: its characterSet, whether it is a standards-mode document
// and its title, the viewport's and the page's widths, the <script>
// elements, each chart's box and <title> text, whether the charts come
// before the report and a link leads to it, and the report block's box
// and the width of what it holds; --charts-shot takes a screenshot of the
// page from the charts' section to its last chart. --download clicks the
// form's export button of that value instead of "Show report", saves the
// file the browser receives as FILE and prints the name the server
// suggested for it. --enter presses Enter in the field of that name
// instead of clicking "Show report", as a person who has typed a title
// does; a download in place of the report page is then a failure.
//
// Several runs may be given, separated by --next, each with its own
// options: one browser serves them all (starting it costs more than a
// run), each run in a fresh context of its own. --output FILE then takes
// what the run would print on standard output, and --errors FILE its
// failure message (empty when the run succeeded); a failed run does not
// stop the next, and the exit status is nonzero when any run failed.

import { mkdirSync, writeFileSync } from 'node:fs';
import { dirname } from 'node:path';
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

// One run's options, checked; null after reporting what is wrong.
function readOptions(args) {
  const { values } = parseArgs({
    args,
    options: {
      url: { type: 'string' },
      fields: { type: 'string', default: '{}' },
      'form-shot': { type: 'string' },
      'report-shot': { type: 'string' },
      viewport: { type: 'string', default: '1024x768' },
      timeout: { type: 'string', default: '60000' },
      facts: { type: 'string' },
      'charts-shot': { type: 'string' },
      download: { type: 'string' },
      save: { type: 'string' },
      enter: { type: 'string' },
      output: { type: 'string' },
      errors: { type: 'string' },
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
  if (Boolean(values.download) !== Boolean(values.save))
    return fail('--download and --save go together'), null;
  return {
    url: values.url, fields, formShot: values['form-shot'],
    reportShot: values['report-shot'], timeout, facts: values.facts,
    chartsShot: values['charts-shot'],
    download: values.download, save: values.save, enter: values.enter,
    output: values.output, errors: values.errors,
    viewport: { width: Number(size[1]), height: Number(size[2]) },
  };
}

// Fill one field by name: boxes take true/false, other inputs a text.
async function fillField(page, name, value) {
  const field = page.locator(`form input[name="${name}"]`);
  if ((await field.count()) > 1 && (await field.first().getAttribute('type')) === 'radio') {
    const choice = page.locator(`form input[name="${name}"][value="${value}"]`);
    if ((await choice.count()) !== 1) throw new Error(`field "${name}" has no choice "${value}"`);
    await choice.check();
    return;
  }
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

// What the rendered page is: its character set, widths, scripts and charts.
async function pageFacts(page) {
  return page.evaluate(() => ({
    characterSet: document.characterSet,
    standards: document.compatMode === 'CSS1Compat',
    documentTitle: document.title,
    viewportWidth: window.innerWidth,
    pageWidth: document.documentElement.scrollWidth,
    scripts: document.getElementsByTagName('script').length,
    chartsFirst: (() => {
      const svg = document.querySelector('svg'), pre = document.querySelector('pre');
      return Boolean(svg && pre && (svg.compareDocumentPosition(pre) & Node.DOCUMENT_POSITION_FOLLOWING));
    })(),
    reportLink: Boolean(document.querySelector('a[href="#report"]') &&
      document.getElementById('report') === document.querySelector('pre')),
    report: (() => {
      const pre = document.querySelector('pre');
      const box = pre.getBoundingClientRect();
      return { left: box.left, right: box.right, scrollWidth: pre.scrollWidth, clientWidth: pre.clientWidth };
    })(),
    charts: [...document.querySelectorAll('svg')].map((svg) => {
      const box = svg.getBoundingClientRect();
      const title = svg.querySelector(':scope > title');
      return {
        left: box.left, right: box.right, width: box.width, height: box.height,
        scale: box.width / svg.viewBox.baseVal.width,
        title: title ? title.textContent : null,
        desc: Boolean(svg.querySelector(':scope > desc')),
      };
    }),
  }));
}

// A screenshot of the page from the top of the charts' section (or of the
// first chart) to the bottom of its last chart, as wide as the viewport.
async function chartsShot(page, path) {
  const span = await page.evaluate(() => {
    const section = document.getElementById('charts');
    const boxes = [...(section ? [section] : []), ...document.querySelectorAll('svg')]
      .map((e) => e.getBoundingClientRect());
    if (boxes.length === 0) return null;
    return { top: boxes[0].top + window.scrollY, bottom: boxes.at(-1).bottom + window.scrollY };
  });
  if (!span) throw new Error('the page has no chart');
  mkdirSync(dirname(path), { recursive: true });
  const width = page.viewportSize().width;
  await page.screenshot({
    path, fullPage: true,
    clip: { x: 0, y: Math.max(0, span.top - 8), width, height: span.bottom - span.top + 16 },
  });
}

// Clicks the export button of that value and saves what the browser
// receives; prints the file name the server suggested.
async function download(page, options) {
  const [file] = await Promise.all([
    page.waitForEvent('download'),
    page.locator(`form button[name="export"][value="${options.download}"]`).click(),
  ]);
  const failure = await file.failure();
  if (failure) throw new Error(`download failed: ${failure}`);
  mkdirSync(dirname(options.save), { recursive: true });
  await file.saveAs(options.save);
  return `${file.suggestedFilename()}\n`;
}

// The report page the form's submission loads; a download instead of it
// (a download button taken as the form's default) is an error.
async function submitted(page) {
  const loaded = page.waitForNavigation({ waitUntil: 'load' });
  const downloaded = page.waitForEvent('download').then((file) => {
    throw new Error(`the form sent a download, ${file.suggestedFilename()}, not the report`);
  });
  downloaded.catch(() => {});  // settled by the page closing when the report came
  return Promise.race([loaded, downloaded]);
}

// One run in a fresh context of the browser; returns what it prints.
async function run(browser, options) {
  const context = await browser.newContext({ viewport: options.viewport, acceptDownloads: true });
  try {
    context.setDefaultTimeout(options.timeout);
    const page = context.pages()[0] || (await context.newPage());
    const form = await page.goto(options.url, { waitUntil: 'load' });
    if (!form || !form.ok()) throw new Error(`form page answered ${form ? form.status() : 'nothing'}`);
    for (const [name, value] of Object.entries(options.fields)) await fillField(page, name, value);
    await screenshot(page, options.formShot);
    if (options.download) return await download(page, options);
    const [response] = await Promise.all([
      submitted(page),
      options.enter
        ? page.locator(`form input[name="${options.enter}"]`).press('Enter')
        : page.locator('#show').click(),
    ]);
    const text = await readReport(page, response);
    await screenshot(page, options.reportShot);
    if (options.chartsShot) await chartsShot(page, options.chartsShot);
    if (options.facts) writeFileSync(options.facts, JSON.stringify(await pageFacts(page), null, 1));
    return text;
  } finally {
    await context.close();
  }
}

// Where a run's output and failure go: its own files, or standard output
// and standard error (the status) when none are given.
function report(options, text, failure) {
  if (options.output) writeFileSync(options.output, text);
  else process.stdout.write(text);
  if (options.errors) writeFileSync(options.errors, failure ? `browser.mjs: ${failure}\n` : '');
  if (failure) {
    if (!options.errors) process.stderr.write(`browser.mjs: ${failure}\n`);
    process.exitCode = 1;
  }
}

async function main() {
  const segments = [[]];
  for (const arg of process.argv.slice(2)) {
    if (arg === '--next') segments.push([]);
    else segments.at(-1).push(arg);
  }
  const runs = segments.map(readOptions);
  if (runs.some((options) => !options)) return;
  // A hung browser must not hang the test: give up after every run's
  // timeout plus time to start and close down, whatever the browser is doing.
  const limit = runs.reduce((sum, options) => sum + options.timeout, 10000);
  const guard = setTimeout(() => {
    fail(`no report within ${limit} ms`);
    process.exit(1);
  }, limit);
  let browser;
  try {
    browser = await chromium.launch({
      executablePath: '/usr/bin/chromium', headless: true, args: CHROMIUM_ARGS,
      timeout: runs[0].timeout,
    });
    for (const options of runs) {
      try {
        report(options, await run(browser, options), null);
      } catch (e) {
        report(options, '', e.message);
      }
    }
  } catch (e) {
    fail(e.message);
  } finally {
    if (browser) await browser.close();
    clearTimeout(guard);
  }
}

await main();
