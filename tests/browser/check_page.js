#!/usr/bin/env node
// Loads one local page (HTML or SVG) in headless Chromium, checks it and keeps a screenshot.
//
//   node check_page.js --chromium PATH --page FILE --screenshot OUT.png [--width N] [--height N]
//                      [--expect-svg] [--expect-text TEXT]... [--allow-file-links]
//                      [--viewport-no-horizontal-scroll] [STEP]...
//
// Checks: the page loads from file:// without a console error, an uncaught exception or any request
// that leaves the machine; every internal link (href="#id"), every url(#id) and href reference
// inside SVG and every aria id reference names an element that exists; ids are unique; every
// image has loaded and every inline SVG has a size. --expect-svg wants an SVG document that parsed
// without an XML error. --allow-file-links also takes links to files beside the page (relative
// hrefs without "..", such as a report's links to its pictures), each of which must name a file
// that exists. --viewport-no-horizontal-scroll wants the page no wider than the window.
//
// The steps then run in their order on the loaded page, each with real input events where a user
// would make them, and each printed with the milliseconds it took:
//   --type SELECTOR TEXT          focuses the field, clears it and types TEXT
//   --select SELECTOR VALUE       picks the option of that value in a select
//   --hover SELECTOR, --click SELECTOR   moves the mouse to (and clicks) the element's centre,
//                                 which must not be covered by another element
//   --expect-visible SELECTOR N   waits (up to 5 s) until exactly N matching elements are visible
//                                 (a count the step before leaves as it was passes at once)
//   --expect-url-suffix TEXT      waits (up to 10 s) until the page's address ends with TEXT
// Exit code 0 when every check passes, 1 otherwise, 2 on a usage error.
//
// Talks to Chromium through the DevTools protocol over --remote-debugging-pipe (fd 3 carries
// commands to the browser, fd 4 its answers, each message ended by a NUL byte), so it needs
// nothing but Node's own modules and opens no port.
'use strict';

const { spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { fileURLToPath, pathToFileURL } = require('node:url');

function parseArgs(argv) {
  const args = { width: 1100, height: 900, expectSvg: false, expectText: [], allowFileLinks: false,
    noHorizontalScroll: false, steps: [] };
  const stepArity = { '--type': 2, '--select': 2, '--hover': 1, '--click': 1, '--expect-visible': 2,
    '--expect-url-suffix': 1 };
  for (let i = 0; i < argv.length; i++) {
    const a = argv[i];
    const value = () => {
      if (i + 1 >= argv.length) throw new Error(`${a} needs a value`);
      return argv[++i];
    };
    if (a === '--chromium') args.chromium = value();
    else if (a === '--page') args.page = value();
    else if (a === '--screenshot') args.screenshot = value();
    else if (a === '--width') args.width = Number(value());
    else if (a === '--height') args.height = Number(value());
    else if (a === '--expect-svg') args.expectSvg = true;
    else if (a === '--expect-text') args.expectText.push(value());
    else if (a === '--allow-file-links') args.allowFileLinks = true;
    else if (a === '--viewport-no-horizontal-scroll') args.noHorizontalScroll = true;
    else if (a in stepArity) args.steps.push({ kind: a.slice(2), values: Array.from({ length: stepArity[a] }, value) });
    else throw new Error(`unknown argument ${a}`);
  }
  for (const need of ['chromium', 'page', 'screenshot']) {
    if (!args[need]) throw new Error(`--${need} is required`);
  }
  return args;
}

// A DevTools protocol connection over the two pipes of a child browser.
class Connection {
  constructor(child) {
    this.out = child.stdio[3];
    this.nextId = 1;
    this.pending = new Map();
    this.listeners = [];
    let buffered = '';
    child.stdio[4].on('data', (chunk) => {
      buffered += chunk.toString('utf8');
      let end;
      while ((end = buffered.indexOf('\0')) >= 0) {
        const message = JSON.parse(buffered.slice(0, end));
        buffered = buffered.slice(end + 1);
        this.dispatch(message);
      }
    });
  }

  dispatch(message) {
    if (message.id !== undefined && this.pending.has(message.id)) {
      const { resolve, reject, method } = this.pending.get(message.id);
      this.pending.delete(message.id);
      if (message.error) reject(new Error(`${method}: ${message.error.message}`));
      else resolve(message.result);
      return;
    }
    for (const listener of this.listeners) listener(message);
  }

  send(method, params = {}, sessionId = undefined) {
    const id = this.nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject, method });
      this.out.write(JSON.stringify(message) + '\0');
    });
  }

  onEvent(listener) { this.listeners.push(listener); }
}

function withTimeout(promise, ms, what) {
  let timer;
  const timeout = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`timed out after ${ms} ms waiting for ${what}`)), ms);
  });
  return Promise.race([promise, timeout]).finally(() => clearTimeout(timer));
}

// Runs inside the page; returns a list of problems and a few facts about the page.
function inspectPage(expectSvg, expectText, allowFileLinks) {
  const problems = [];
  const doc = document;
  const root = doc.documentElement;
  const ids = new Map();
  for (const el of doc.querySelectorAll('[id]')) ids.set(el.id, (ids.get(el.id) || 0) + 1);
  for (const [id, count] of ids) if (count > 1) problems.push(`id "${id}" is used ${count} times`);
  const exists = (id) => ids.has(id);

  const parserError = doc.getElementsByTagName('parsererror');
  if (parserError.length) problems.push(`XML parse error: ${parserError[0].textContent.trim().slice(0, 300)}`);
  if (expectSvg && root.localName !== 'svg') problems.push(`expected an SVG document, got <${root.localName}>`);

  let internalLinks = 0;
  const fileLinks = [];
  for (const a of doc.querySelectorAll('a[href]')) {
    const href = a.getAttribute('href');
    if (allowFileLinks && !href.startsWith('#') && !/^[a-z][a-z0-9+.-]*:|^\/|(^|\/)\.\.(\/|$)/i.test(href)) {
      fileLinks.push(href);
      continue;
    }
    if (!href.startsWith('#')) {
      problems.push(`link leaves the page: ${href}`);
      continue;
    }
    internalLinks++;
    if (href === '#' || !exists(decodeURIComponent(href.slice(1)))) problems.push(`broken internal link ${href}`);
  }

  let references = 0;
  const urlRef = /url\(\s*["']?#([^)"'\s]+)["']?\s*\)/g;
  for (const el of doc.querySelectorAll('*')) {
    for (const attr of el.attributes) {
      const value = attr.value;
      if (attr.name === 'style' || /^(fill|stroke|marker-start|marker-mid|marker-end|clip-path|mask|filter)$/.test(attr.name)) {
        for (const m of value.matchAll(urlRef)) {
          references++;
          if (!exists(m[1])) problems.push(`<${el.localName} ${attr.name}> names missing #${m[1]}`);
        }
      }
      if ((attr.name === 'href' || attr.name === 'xlink:href') && el.namespaceURI === 'http://www.w3.org/2000/svg' &&
          el.localName !== 'a') {
        if (value.startsWith('#')) {
          references++;
          if (!exists(value.slice(1))) problems.push(`<${el.localName} href> names missing ${value}`);
        } else if (!value.startsWith('data:')) {
          problems.push(`<${el.localName} href> leaves the page: ${value}`);
        }
      }
      if (attr.name === 'aria-labelledby' || attr.name === 'aria-describedby') {
        for (const id of value.split(/\s+/).filter(Boolean)) {
          references++;
          if (!exists(id)) problems.push(`<${el.localName} ${attr.name}> names missing #${id}`);
        }
      }
    }
  }
  for (const sheet of doc.querySelectorAll('style')) {
    for (const m of sheet.textContent.matchAll(urlRef)) {
      references++;
      if (!exists(m[1])) problems.push(`<style> names missing #${m[1]}`);
    }
    if (/@import|url\(\s*["']?(https?:|\/\/)/.test(sheet.textContent)) problems.push('a style sheet loads from outside');
  }
  for (const el of doc.querySelectorAll('script[src], link[href], iframe, object, embed')) {
    problems.push(`external resource element <${el.localName}>`);
  }

  let images = 0;
  for (const img of doc.querySelectorAll('img')) {
    images++;
    if (!img.complete || img.naturalWidth === 0) problems.push(`image did not load: ${img.getAttribute('src')}`);
  }
  let svgs = 0;
  const svgElements = root.localName === 'svg' ? [root] : [...doc.querySelectorAll('svg')];
  for (const svg of svgElements) {
    svgs++;
    const box = svg.getBoundingClientRect();
    if (!(box.width > 0 && box.height > 0)) problems.push(`<svg id="${svg.id}"> has no size`);
  }

  const pageWidth = root.scrollWidth;
  const text = root.textContent;
  for (const wanted of expectText) if (!text.includes(wanted)) problems.push(`text not found: ${wanted}`);

  return { problems, internalLinks, fileLinks: [...new Set(fileLinks)], references, images, svgs, pageWidth,
    title: doc.title || '' };
}

// Evaluates `expression` in the page and returns its value.
async function evaluate(send, expression) {
  const result = await send('Runtime.evaluate', { expression, returnByValue: true, awaitPromise: true });
  if (result.exceptionDetails) throw new Error(`in the page: ${result.exceptionDetails.exception?.description || result.exceptionDetails.text}`);
  return result.result.value;
}

// Asks the page `expression` until it gives `wanted` or `ms` pass; returns the last answer. A
// page being left for another answers nothing for a moment, which is waited out too.
async function waitFor(send, expression, wanted, ms) {
  const end = Date.now() + ms;
  for (;;) {
    const answer = await evaluate(send, expression).catch((e) => `no answer (${e.message})`);
    if (answer === wanted || Date.now() > end) return answer;
    await new Promise((resolve) => setTimeout(resolve, 25));
  }
}

// Where a mouse would point at the element: its centre, scrolled into view; an error text when
// it is missing or something else lies on top there.
function centreOf(selector) {
  const el = document.querySelector(selector);
  if (!el) return 'no element matches';
  el.scrollIntoView({ block: 'center', inline: 'center' });
  const box = el.getBoundingClientRect();
  const x = box.left + box.width / 2, y = box.top + box.height / 2;
  const top = document.elementFromPoint(x, y);
  if (!top || !(el === top || el.contains(top))) return `covered at its centre by <${top ? top.localName : 'nothing'}>`;
  return { x, y };
}

// Runs one step; returns a problem text, or nothing when it went as wanted.
async function runStep(step, send) {
  const [first, second] = step.values;
  const quoted = JSON.stringify(first);
  const frame = 'new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)))';
  if (step.kind === 'type' || step.kind === 'select') {
    const found = await evaluate(send, `(() => { const el = document.querySelector(${quoted}); if (!el) return false;
      el.focus(); el.value = ${step.kind === 'select' ? JSON.stringify(second) : "''"};
      if (el.value !== ${step.kind === 'select' ? JSON.stringify(second) : "''"}) return false;
      el.dispatchEvent(new Event('input', { bubbles: true })); el.dispatchEvent(new Event('change', { bubbles: true }));
      return true; })()`);
    if (!found) return step.kind === 'select' ? 'no such select or option' : 'no element matches';
    if (step.kind === 'type') await send('Input.insertText', { text: second });
    await evaluate(send, frame);
  } else if (step.kind === 'hover' || step.kind === 'click') {
    const at = await evaluate(send, `(${centreOf.toString()})(${quoted})`);
    if (typeof at === 'string') return at;
    await send('Input.dispatchMouseEvent', { type: 'mouseMoved', x: at.x, y: at.y });
    if (step.kind === 'click') {
      for (const type of ['mousePressed', 'mouseReleased'])
        await send('Input.dispatchMouseEvent', { type, x: at.x, y: at.y, button: 'left', clickCount: 1 });
    } else {
      await evaluate(send, frame);
    }
  } else if (step.kind === 'expect-visible') {
    const count = `[...document.querySelectorAll(${quoted})].filter((el) => el.getClientRects().length > 0 &&
      getComputedStyle(el).visibility !== 'hidden').length`;
    const seen = await waitFor(send, count, Number(second), 5000);
    if (seen !== Number(second)) return `${seen} visible`;
  } else if (step.kind === 'expect-url-suffix') {
    const seen = await waitFor(send, `location.href.endsWith(${quoted}) || location.href`, true, 10000);
    if (seen !== true) return `the page is ${seen}`;
  }
  return undefined;
}

async function main(args) {
  const pagePath = path.resolve(args.page);
  if (!fs.existsSync(pagePath)) throw new Error(`no such page: ${pagePath}`);
  const url = pathToFileURL(pagePath).href;
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'brindle-chromium-'));

  const child = spawn(args.chromium, [
    '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--disable-default-apps', '--disable-extensions', '--mute-audio', '--hide-scrollbars',
    '--no-default-browser-check', '--disable-dev-shm-usage',
    // Nothing on the page may reach a network; resolving every host to nowhere makes sure.
    '--host-resolver-rules=MAP * ~NOTFOUND', '--proxy-server=127.0.0.1:9',
    `--user-data-dir=${profile}`, '--remote-debugging-pipe', 'about:blank',
  ], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
  let browserLog = '';
  child.stderr.on('data', (d) => { browserLog = (browserLog + d.toString()).slice(-4000); });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  const spawnFailed = new Promise((_, reject) => child.on('error', reject));

  let cdp = null;
  // Closes the browser the polite way first, so that its helper processes are gone before the
  // profile is removed; a profile that will not go away costs a warning, not the check.
  const cleanup = async () => {
    if (child.exitCode === null && child.signalCode === null) {
      if (cdp) await withTimeout(cdp.send('Browser.close'), 3000, 'Browser.close').catch(() => {});
      await withTimeout(exited, 5000, 'browser exit').catch(async () => {
        child.kill('SIGKILL');
        await withTimeout(exited, 5000, 'browser kill').catch(() => {});
      });
    }
    try {
      fs.rmSync(profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
    } catch (e) {
      console.log(`check_page: warning: could not remove ${profile}: ${e.message}`);
    }
  };

  const errors = [];
  try {
    cdp = new Connection(child);
    const loaded = [];
    cdp.onEvent((m) => {
      const p = m.params || {};
      if (m.method === 'Runtime.exceptionThrown') {
        const d = p.exceptionDetails || {};
        errors.push(`uncaught exception: ${(d.exception && d.exception.description) || d.text}`);
      } else if (m.method === 'Runtime.consoleAPICalled' && (p.type === 'error' || p.type === 'assert')) {
        errors.push(`console.${p.type}: ${(p.args || []).map((a) => a.value ?? a.description).join(' ')}`);
      } else if (m.method === 'Log.entryAdded' && p.entry && p.entry.level === 'error') {
        errors.push(`browser log error: ${p.entry.text} ${p.entry.url || ''}`.trim());
      } else if (m.method === 'Network.requestWillBeSent') {
        const u = p.request.url;
        if (!/^(file|data|about):/.test(u)) errors.push(`request leaves the machine: ${u}`);
      } else if (m.method === 'Network.loadingFailed' && !p.canceled) {
        errors.push(`a resource failed to load: ${p.errorText}`);
      } else if (m.method === 'Page.loadEventFired') {
        loaded.forEach((resolve) => resolve());
      }
    });

    const { targetId } = await withTimeout(Promise.race([cdp.send('Target.createTarget', { url: 'about:blank' }), spawnFailed]),
      30000, 'the browser to start');
    const { sessionId } = await cdp.send('Target.attachToTarget', { targetId, flatten: true });
    const send = (method, params) => withTimeout(cdp.send(method, params, sessionId), 30000, method);
    await send('Page.enable');
    await send('Runtime.enable');
    await send('Log.enable');
    await send('Network.enable');
    await send('Emulation.setDeviceMetricsOverride',
      { width: args.width, height: args.height, deviceScaleFactor: 1, mobile: false });
    const loadedOnce = new Promise((resolve) => loaded.push(resolve));
    const nav = await send('Page.navigate', { url });
    if (nav.errorText) throw new Error(`navigation failed: ${nav.errorText}`);
    await withTimeout(loadedOnce, 30000, 'the page to load');
    await send('Runtime.evaluate', { expression: 'document.fonts ? document.fonts.ready.then(() => true) : true', awaitPromise: true });

    const evaluation = await send('Runtime.evaluate', {
      expression: `(${inspectPage.toString()})(${JSON.stringify(args.expectSvg)}, ${JSON.stringify(args.expectText)}, ${JSON.stringify(args.allowFileLinks)})`,
      returnByValue: true,
    });
    if (evaluation.exceptionDetails) throw new Error(`page inspection failed: ${evaluation.exceptionDetails.text}`);
    const facts = evaluation.result.value;
    errors.push(...facts.problems);
    if (args.noHorizontalScroll && facts.pageWidth > args.width) {
      errors.push(`the page scrolls sideways: ${facts.pageWidth} px wide in a ${args.width} px window`);
    }
    for (const href of facts.fileLinks) {
      const target = new URL(href, url);
      if (target.protocol !== 'file:' || !fs.existsSync(fileURLToPath(target))) errors.push(`link to a missing file: ${href}`);
    }

    const metrics = await send('Page.getLayoutMetrics');
    const size = metrics.cssContentSize || metrics.contentSize;
    const width = Math.max(1, Math.ceil(size.width));
    const height = Math.max(1, Math.min(16000, Math.ceil(size.height)));
    const shot = await send('Page.captureScreenshot', {
      format: 'png', captureBeyondViewport: true, clip: { x: 0, y: 0, width, height, scale: 1 },
    });
    fs.mkdirSync(path.dirname(path.resolve(args.screenshot)), { recursive: true });
    fs.writeFileSync(args.screenshot, Buffer.from(shot.data, 'base64'));

    console.log(`check_page: ${path.basename(pagePath)}: title "${facts.title}", ${facts.internalLinks} internal links, ` +
      `${facts.fileLinks.length} links to files, ` +
      `${facts.references} id references, ${facts.images} images, ${facts.svgs} svg, page ${width}x${height}`);
    console.log(`check_page: screenshot ${path.resolve(args.screenshot)}`);
    for (const step of args.steps) {
      const started = Date.now();
      const problem = await runStep(step, send);
      console.log(`check_page: --${step.kind} ${step.values.join(' ')}: ${Date.now() - started} ms`);
      if (problem) {
        errors.push(`--${step.kind} ${step.values.join(' ')}: ${problem}`);
        break;
      }
    }
  } catch (e) {
    errors.push(String(e && e.message ? e.message : e));
    if (browserLog) errors.push(`browser said: ${browserLog.trim()}`);
  } finally {
    await cleanup();
  }

  if (errors.length) {
    for (const e of errors) console.log(`check_page: FAIL ${e}`);
    return 1;
  }
  console.log('check_page: OK');
  return 0;
}

let args;
try {
  args = parseArgs(process.argv.slice(2));
} catch (e) {
  console.error(`check_page: ${e.message}`);
  process.exit(2);
}
main(args).then((code) => process.exit(code), (e) => {
  console.error(`check_page: ${e.stack || e}`);
  process.exit(1);
});
