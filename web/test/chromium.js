// Debian's headless Chromium, driven over its DevTools protocol through a
// pipe (no port, no download): one browser, one page per test file.
'use strict';

const { spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';

class Browser {
  // Starts Chromium with a fresh profile.
  static async launch({ width = 1280, height = 900 } = {}) {
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'glossmith-chromium-'));
    const child = spawn(CHROMIUM, [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--disable-default-apps', '--disable-extensions', '--mute-audio', '--hide-scrollbars',
      `--window-size=${width},${height}`, `--user-data-dir=${profile}`,
      '--remote-debugging-pipe', 'about:blank',
    ], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
    const browser = new Browser(child, profile);
    await browser.send('Target.setDiscoverTargets', { discover: true });
    return browser;
  }

  constructor(child, profile) {
    this.child = child;
    this.profile = profile;
    this.nextId = 1;
    this.pending = new Map();
    this.listeners = [];
    this.stderr = '';
    child.stderr.on('data', (data) => { this.stderr = (this.stderr + data).slice(-4000); });
    let buffered = Buffer.alloc(0);
    child.stdio[4].on('data', (data) => {
      buffered = Buffer.concat([buffered, data]);
      for (let end; (end = buffered.indexOf(0)) >= 0;) {
        this.receive(JSON.parse(buffered.subarray(0, end).toString()));
        buffered = buffered.subarray(end + 1);
      }
    });
    child.on('exit', () => {
      for (const { reject } of this.pending.values())
        reject(new Error('Chromium ended: ' + this.stderr));
      this.pending.clear();
    });
  }

  receive(message) {
    if (message.id !== undefined) {
      const waiter = this.pending.get(message.id);
      this.pending.delete(message.id);
      if (message.error) waiter.reject(new Error(`${waiter.method}: ${message.error.message}`));
      else waiter.resolve(message.result);
    } else {
      for (const listener of this.listeners) listener(message);
    }
  }

  send(method, params = {}, sessionId) {
    const id = this.nextId++;
    const message = { id, method, params, ...(sessionId ? { sessionId } : {}) };
    this.child.stdio[3].write(JSON.stringify(message) + '\0');
    return new Promise((resolve, reject) => this.pending.set(id, { resolve, reject, method }));
  }

  on(listener) {
    this.listeners.push(listener);
  }

  // A new tab, with its session.
  async newPage() {
    const { targetId } = await this.send('Target.createTarget', { url: 'about:blank' });
    const { sessionId } = await this.send('Target.attachToTarget', { targetId, flatten: true });
    return new Page(this, sessionId);
  }

  async close() {
    const ended = new Promise((resolve) => this.child.once('exit', resolve));
    try {
      await this.send('Browser.close');
    } catch {
      this.child.kill();
    }
    await ended;
    fs.rmSync(this.profile, { recursive: true, force: true });
  }
}

class Page {
  constructor(browser, sessionId) {
    this.browser = browser;
    this.sessionId = sessionId;
    this.requests = [];  // every URL the page asked for
    this.errors = [];    // uncaught exceptions and console errors
    browser.on((message) => {
      if (message.sessionId !== sessionId) return;
      if (message.method === 'Network.requestWillBeSent') this.requests.push(message.params.request.url);
      if (message.method === 'Runtime.exceptionThrown')
        this.errors.push(message.params.exceptionDetails.exception?.description || 'exception');
      if (message.method === 'Runtime.consoleAPICalled' && message.params.type === 'error')
        this.errors.push(message.params.args.map((a) => a.value ?? a.description).join(' '));
      if (message.method === 'Page.loadEventFired' && this.onLoad) this.onLoad();
      if (message.method === 'Browser.downloadProgress' && this.onDownload) this.onDownload(message.params);
    });
  }

  send(method, params) {
    return this.browser.send(method, params, this.sessionId);
  }

  async start() {
    for (const domain of ['Page', 'Runtime', 'Network', 'DOM', 'Performance']) await this.send(`${domain}.enable`);
  }

  async open(url) {
    const loaded = new Promise((resolve) => { this.onLoad = resolve; });
    await this.send('Page.navigate', { url });
    await loaded;
  }

  async reload() {
    const loaded = new Promise((resolve) => { this.onLoad = resolve; });
    await this.send('Page.reload');
    await loaded;
  }

  // The value of a JavaScript expression in the page (awaited).
  async eval(expression) {
    const { result, exceptionDetails } = await this.send('Runtime.evaluate',
      { expression, awaitPromise: true, returnByValue: true });
    if (exceptionDetails) throw new Error(exceptionDetails.exception?.description || exceptionDetails.text);
    return result.value;
  }

  // Focuses an element and types into it as a keyboard would: each character
  // a key event, or one insertion for a paste.
  async focus(selector) {
    await this.eval(`document.querySelector(${JSON.stringify(selector)}).focus()`);
  }

  async type(text) {
    for (const ch of text) {
      if (ch === '\n') {
        await this.key('Enter', 13, '\r');
      } else {
        await this.send('Input.dispatchKeyEvent', { type: 'keyDown', text: ch, unmodifiedText: ch, key: ch });
        await this.send('Input.dispatchKeyEvent', { type: 'keyUp', key: ch });
      }
    }
  }

  async paste(text) {
    await this.send('Input.insertText', { text });
  }

  // A key with its virtual key code; modifiers: 8 for Shift.
  async key(key, code, text, modifiers = 0) {
    await this.send('Input.dispatchKeyEvent', { type: 'keyDown', key, code: key,
      windowsVirtualKeyCode: code, modifiers, ...(text ? { text } : {}) });
    await this.send('Input.dispatchKeyEvent',
      { type: 'keyUp', key, code: key, windowsVirtualKeyCode: code, modifiers });
  }

  // Seconds the page has spent running script so far.
  async scriptSeconds() {
    const { metrics } = await this.send('Performance.getMetrics');
    return metrics.find((m) => m.name === 'ScriptDuration').value;
  }

  async screenshot(file) {
    const { data } = await this.send('Page.captureScreenshot', { format: 'png', captureBeyondViewport: true });
    fs.writeFileSync(file, Buffer.from(data, 'base64'));
  }
}

module.exports = { Browser };
