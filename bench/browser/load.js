// Loads local pages in headless Chromium as a reader would see them and
// writes, per page, every file:// request that completed, with its
// initiator as the DevTools protocol reports it.
//
//   node load.js CHROMIUM PAGES.json OUT.json [TIMEOUT_SECONDS]
//
// PAGES.json is a list of absolute file paths. OUT.json gets one record per
// page: {page, settled, error, requests: [{path, initiator, isPage}]}.
// Meant to run inside a network namespace with loopback only (compare does
// that); nothing here reaches beyond file:// anyway, but the browser would
// try its own background traffic otherwise.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const {pathToFileURL, fileURLToPath} = require('url');
const puppeteer = require('puppeteer-core');

const [chromium, pagesFile, outFile, timeoutArg] = process.argv.slice(2);
if (!chromium || !pagesFile || !outFile) {
  console.error('usage: node load.js CHROMIUM PAGES.json OUT.json [TIMEOUT_SECONDS]');
  process.exit(2);
}
const timeoutMs = 1000 * Number(timeoutArg || 20);
const WIDTH = 1366, HEIGHT = 768;
const MAX_SCROLL_STEPS = 400;  // a page taller than 300,000 px is cut there

async function loadOne(browser, file) {
  const pageUrl = pathToFileURL(file).href;
  // A fresh context per page, so that no file comes from another page's cache.
  const context = await browser.createBrowserContext();
  const tab = await context.newPage();
  await tab.setViewport({width: WIDTH, height: HEIGHT, deviceScaleFactor: 1});
  const started = new Map();  // requestId -> {url, initiator}
  const done = [];
  const cdp = await tab.createCDPSession();
  await cdp.send('Network.enable');
  cdp.on('Network.requestWillBeSent', (e) => {
    started.set(e.requestId, {url: e.request.url, initiator: e.initiator.type, type: e.type});
  });
  cdp.on('Network.loadingFinished', (e) => {
    const r = started.get(e.requestId);
    if (r) done.push(r);
  });
  const record = {page: file, settled: true, error: null, requests: []};
  try {
    await tab.goto(pageUrl, {waitUntil: 'networkidle0', timeout: timeoutMs});
    // Scroll down a screen at a time, so that lazy images on the way load too.
    await tab.evaluate(async (height, maxSteps) => {
      for (let i = 0; i < maxSteps; i++) {
        const el = document.scrollingElement || document.documentElement;
        if (!el || window.scrollY + height >= el.scrollHeight) break;
        window.scrollBy(0, height);
        await new Promise((r) => setTimeout(r, 20));
      }
    }, HEIGHT, MAX_SCROLL_STEPS);
    await tab.waitForNetworkIdle({idleTime: 500, timeout: timeoutMs});
  } catch (err) {
    record.settled = false;
    record.error = String(err.message || err).split('\n')[0];
  }
  for (const r of done) {
    if (!r.url.startsWith('file:')) continue;
    let p;
    try { p = fileURLToPath(r.url.split('#')[0]); } catch { continue; }
    record.requests.push({path: p, initiator: r.initiator, type: r.type,
                          isPage: r.type === 'Document' && r.url.split('#')[0] === pageUrl});
  }
  await context.close().catch(() => {});
  return record;
}

(async () => {
  const pages = JSON.parse(fs.readFileSync(pagesFile, 'utf8'));
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'velmoran-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: chromium,
    ignoreDefaultArgs: true,
    pipe: true,
    defaultViewport: {width: WIDTH, height: HEIGHT, deviceScaleFactor: 1},
    protocolTimeout: timeoutMs * 2,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           `--window-size=${WIDTH},${HEIGHT}`, '--force-device-scale-factor=1',
           `--user-data-dir=${profile}`],
  });
  const out = [];
  try {
    for (const [i, file] of pages.entries()) {
      const rec = await loadOne(browser, file);
      out.push(rec);
      if (process.stderr.isTTY) process.stderr.write(`\r${i + 1}/${pages.length} `);
    }
  } finally {
    await browser.close().catch(() => {});
    fs.rmSync(profile, {recursive: true, force: true});
  }
  if (process.stderr.isTTY) process.stderr.write('\r\x1b[K');
  fs.writeFileSync(outFile, JSON.stringify(out, null, 1));
})().catch((err) => { console.error(err); process.exit(1); });
