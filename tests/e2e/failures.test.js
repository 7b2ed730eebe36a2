// Vantilo when there is no simulator, and when the simulator dies under it.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const h = require('./harness');

test('no simulator: the banner, the message without a newline, a 2 s pause, status 0', async () => {
  const dir = h.tempDir();
  h.writeCfg(dir, await h.closedPort());
  const started = process.hrtime.bigint();
  let told = null;  // seconds until the message came through the pipe
  let seen = '';
  const result = await h.runVantilo(dir, (text) => {
    seen += text;
    if (told === null && seen.endsWith(h.NO_SIMULATOR)) {
      told = Number(process.hrtime.bigint() - started) / 1e9;
    }
  });
  assert.equal(result.code, 0);
  assert.equal(result.stdout, h.BANNER + h.NO_SIMULATOR);
  assert.ok(result.seconds >= 1.9, `ended after ${result.seconds} s`);
  // The message reaches the pipe before the pause, not at exit.
  assert.ok(told !== null && result.seconds - told >= 1.5, `told at ${told} s of ${result.seconds}`);
});

test('stand-in killed mid-session: the program tears down and exits with status 0', async () => {
  const dir = h.tempDir();
  const standin = await h.startStandin(dir, '0 roll right 30 over 5\n20 end\n');
  h.writeCfg(dir, standin.port);
  // Killed once the camera follows and a reader of the program's stdout, a
  // pipe, has seen "Vantilo is ready!": the text arrives as it is printed,
  // not at exit, or the stand-in ends by itself and the test fails.
  let ready = false;
  let killed = false;
  const watch = setInterval(() => {
    if (!killed && ready &&
        fs.readFileSync(standin.tracePath, 'utf8').includes('"kind":"camera"')) {
      killed = true;
      standin.child.kill('SIGKILL');
    }
  }, 100);
  let seen = '';
  const result = await h.runVantilo(dir, (text) => {
    seen += text;
    ready = ready || seen.includes('Vantilo is ready!\n');
  });
  clearInterval(watch);
  assert.ok(killed, 'the program was following when the stand-in died');
  assert.equal(result.code, 0);
  assert.ok(result.stdout.endsWith('Vantilo is ready!\n'));
  assert.equal(result.stderr, '');
  const server = await standin.done;
  assert.equal(server.signal, 'SIGKILL');
});
