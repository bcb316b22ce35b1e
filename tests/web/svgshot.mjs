// Opens standalone SVG files in Debian's Chromium, checks that each
// rendered as an SVG document (no XML error page, a root <svg> of some
// size, its <title>), prints what it holds and saves a screenshot: of the
// chart at its own size, or with a WIDTH of the screen the chart as that
// screen shows it, no wider than the screen. One browser serves every
// chart given, since starting it costs more than showing one.
//
//   node svgshot.mjs FILE.svg SHOT.png WIDTH [FILE.svg SHOT.png WIDTH]...
//
// WIDTH 0 takes the chart's own width. Output: a line
// "FILE svg WIDTHxHEIGHT rects N texts M title TITLE" per chart. Exits
// nonzero on any failure (the failing file named), also when a chart is
// wider than its screen.

import { mkdtempSync, mkdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { basename, dirname, join, resolve } from 'node:path';
import { chromium } from 'playwright-core';

const args = process.argv.slice(2);
const charts = [];
for (let i = 0; i + 2 < args.length; i += 3)
  charts.push({ file: args[i], shot: args[i + 1], screen: Number(args[i + 2]) });
if (charts.length === 0 || args.length % 3 !== 0 ||
    charts.some((c) => !Number.isInteger(c.screen) || c.screen < 0)) {
  process.stderr.write('usage: node svgshot.mjs FILE.svg SHOT.png WIDTH [FILE.svg SHOT.png WIDTH]...\n');
  process.exit(2);
}
const profile = mkdtempSync(join(tmpdir(), 'velmar-svg-'));
const guard = setTimeout(() => {
  process.stderr.write(`svgshot.mjs: no rendering within ${30 + 10 * charts.length} s\n`);
  process.exit(1);
}, (30 + 10 * charts.length) * 1000);
let context;
let current = '';
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
  for (const { file, shot, screen } of charts) {
    current = file;
    // Each chart measured at the same starting size, whatever the last one set.
    await page.setViewportSize({ width: 1200, height: 800 });
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
    if (screen > 0 && facts.width > screen)
      throw new Error(`the chart, ${facts.width} pixels wide, does not fit a screen of ${screen}`);
    await page.setViewportSize({ width: screen > 0 ? screen : facts.width, height: facts.height });
    await page.screenshot({ path: shot });
    process.stdout.write(`${basename(file)} svg ${facts.width}x${facts.height} ` +
      `rects ${facts.rects} texts ${facts.texts} title ${facts.title}\n`);
  }
} catch (e) {
  process.stderr.write(`svgshot.mjs: ${current}: ${e.message}\n`);
  process.exitCode = 1;
} finally {
  if (context) await context.close();
  clearTimeout(guard);
  rmSync(profile, { recursive: true, force: true });
}
