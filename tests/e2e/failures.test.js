// Vantilo when there is no simulator, and when the simulator dies under it.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const h = require('./harness');

test('no simulator: the banner, the message without a newline, a 2 s pause, status 0', async () => {
  const dir = h.tempDir();
  h.writeCfg(dir, await h.closedPort());
  const result = await h.runVantilo(dir);
  assert.equal(result.code, 0);
  assert.equal(result.stdout, h.BANNER + 'You must start Flight Simulator first!');
  assert.ok(result.seconds >= 1.9, `ended after ${result.seconds} s`);
});

test('stand-in killed mid-session: the program tears down and exits with status 0', async () => {
  const dir = h.tempDir();
  const standin = await h.startStandin(dir, '0 roll right 30 over 5\n60 end\n');
  h.writeCfg(dir, standin.port);
  // Killed once the camera follows (the program's stdout is a pipe, so its
  // text arrives only at exit: the stand-in's trace tells when it is live).
  let killed = false;
  const watch = setInterval(() => {
    if (!killed && fs.readFileSync(standin.tracePath, 'utf8').includes('"kind":"camera"')) {
      killed = true;
      standin.child.kill('SIGKILL');
    }
  }, 100);
  const result = await h.runVantilo(dir);
  clearInterval(watch);
  assert.ok(killed, 'the program was following when the stand-in died');
  assert.equal(result.code, 0);
  assert.ok(result.stdout.endsWith('Vantilo is ready!\n'));
  assert.equal(result.stderr, '');
  const server = await standin.done;
  assert.equal(server.signal, 'SIGKILL');
});
