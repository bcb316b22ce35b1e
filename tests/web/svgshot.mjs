// Opens a standalone SVG file in Debian's Chromium, checks that it rendered
// as an SVG document (no XML error page, a root <svg> of some size, its
// <title>), prints what it holds and saves a screenshot: of the chart at
// its own size, or with a WIDTH of the screen the chart as that screen
// shows it, no wider than the screen.
//
//   node svgshot.mjs FILE.svg SHOT.png [WIDTH]
//
// Output: "svg WIDTHxHEIGHT rects N texts M title TITLE". Exits nonzero on
// any failure, also when the chart is wider than the screen of WIDTH.

import { mkdtempSync, mkdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { chromium } from 'playwright-core';

const [file, shot, screen] = process.argv.slice(2);
if (!file || !shot || (screen !== undefined && !(Number(screen) > 0))) {
  process.stderr.write('usage: node svgshot.mjs FILE.svg SHOT.png [WIDTH]\n');
  process.exit(2);
}
const profile = mkdtempSync(join(tmpdir(), 'velmar-svg-'));
const guard = setTimeout(() => {
  process.stderr.write('svgshot.mjs: no rendering within 60 s\n');
  process.exit(1);
}, 60000);
let context;
try {
  context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    viewport: { width: 1200, height: 800 },
  });
  const page = context.pages()[0] || (await context.newPage());
  // No request may leave the file: the chart must stand alone.
  await page.route('**/*', (route) =>
    route.request().url().startsWith('file:') ? route.continue() : route.abort());
  await page.goto('file://' + resolve(file), { waitUntil: 'load' });
  const facts = await page.evaluate(() => {
    const root = document.documentElement;
    const box = root.getBoundingClientRect();
    return {
      root: root.localName,
      errors: document.getElementsByTagName('parsererror').length,
      width: Math.round(box.width),
      height: Math.round(box.height),
      rects: document.getElementsByTagName('rect').length,
      texts: document.getElementsByTagName('text').length,
      scripts: document.getElementsByTagName('script').length,
      title: root.querySelector('title') ? root.querySelector('title').textContent : '',
    };
  });
  if (facts.root !== 'svg' || facts.errors > 0) throw new Error('not rendered as an SVG document');
  if (facts.width === 0 || facts.height === 0) throw new Error('the chart has no size');
  if (facts.scripts > 0) throw new Error('the chart holds a script');
  mkdirSync(dirname(shot), { recursive: true });
  if (screen !== undefined && facts.width > Number(screen))
    throw new Error(`the chart, ${facts.width} pixels wide, does not fit a screen of ${screen}`);
  await page.setViewportSize({ width: screen ? Number(screen) : facts.width, height: facts.height });
  await page.screenshot({ path: shot });
  process.stdout.write(`svg ${facts.width}x${facts.height} rects ${facts.rects} ` +
    `texts ${facts.texts} title ${facts.title}\n`);
} catch (e) {
  process.stderr.write(`svgshot.mjs: ${e.message}\n`);
  process.exitCode = 1;
} finally {
  if (context) await context.close();
  clearTimeout(guard);
  rmSync(profile, { recursive: true, force: true });
}
