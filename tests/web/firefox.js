// Firefox for the page's browser test: Debian has no geckodriver, so puppeteer-core drives Debian's
// firefox-esr over WebDriver BiDi. test_page.py runs this and sends it one command a line as JSON on
// standard input; each gets one line back, {"value": ...} or {"error": "..."}. The commands are the few
// a person's actions need: open a page, run a script in it, press a key, use the mouse, tap a finger,
// take a picture of an element.
'use strict';
const readline = require('readline');
const puppeteer = require('puppeteer-core');

let browser = null;
let page = null;

const commands = {
  async launch({width, height, prefs}) {
    browser = await puppeteer.launch({
      browser: 'firefox',
      protocol: 'webDriverBiDi',
      executablePath: process.env.FIREFOX || '/usr/bin/firefox-esr',
      headless: true,
      extraPrefsFirefox: prefs || {},
    });
    page = (await browser.pages())[0] || (await browser.newPage());
    await page.setViewport({width, height});
    return (await browser.version());
  },
  async goto({url}) {
    await page.goto(url, {waitUntil: 'load'});
  },
  // The script is a function body, as Selenium's execute_script takes it: `return ...`, `arguments`.
  async js({script, args}) {
    return page.evaluate((body, list) => new Function(body).apply(null, list), script, args || []);
  },
  async key({name}) {
    await page.keyboard.press(name);
  },
  async mouse({action, x, y}) {
    if (action == 'move') return page.mouse.move(x, y);
    const button = action == 'context' ? 'right' : 'left';
    await page.mouse.move(x, y);
    if (action != 'up') await page.mouse.down({button});
    if (action != 'down') await page.mouse.up({button});
  },
  async tap({x, y}) {
    await page.touchscreen.tap(x, y);
  },
  async shot({selector}) {
    const element = await page.$(selector);
    return element.screenshot({encoding: 'base64'});
  },
  async quit() {
    if (browser) await browser.close();
    browser = null;
  },
};

// One command at a time, in order: each waits for the one before it.
let queue = Promise.resolve();
const lines = readline.createInterface({input: process.stdin});
lines.on('line', line => {
  queue = queue.then(async () => {
    const {cmd, ...args} = JSON.parse(line);
    try {
      const value = await commands[cmd](args);
      process.stdout.write(JSON.stringify({value: value === undefined ? null : value}) + '\n');
    } catch (e) {
      process.stdout.write(JSON.stringify({error: String(e && e.message || e)}) + '\n');
    }
  });
});
lines.on('close', () => queue.then(() => browser && browser.close()));
