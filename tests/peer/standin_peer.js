// node-simconnect 4.2.0 as an independent SimConnect client of the stand-in:
// it opens with protocol FSX_RTM, registers as Vantilo does, and checks the
// connection report, frame events, data records, the hat, the menu choice
// and an exception for a misspelt datum name. Usage: node standin_peer.js STANDIN
'use strict';

const assert = require('assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { spawn } = require('child_process');
const { open, Protocol, SimConnectDataType, SimConnectPeriod } = require('node-simconnect');

const UNUSED = 0xffffffff;
const SPEED = 2;
// The scenario: bank 30 degrees left, hat, then the menu's "Exit".
const SCENARIO = ['0.2 roll left 30 over 0.5', '1.5 hat', '2.5 menu Exit', '4.0 end', ''].join('\n');

function startStandin(binary, dir) {
  const scenario = path.join(dir, 'scenario.txt');
  fs.writeFileSync(scenario, SCENARIO);
  const trace = path.join(dir, 'trace.jsonl');
  const child = spawn(binary, ['--port', '0', '--speed', String(SPEED), '--scenario', scenario,
                               '--trace', trace, '--no-live']);
  let stdout = '';
  child.stdout.on('data', (chunk) => { stdout += chunk; });
  const port = new Promise((resolve, reject) => {
    let stderr = '';
    child.stderr.on('data', (chunk) => {
      stderr += chunk;
      const match = /listening on 127\.0\.0\.1:(\d+)\n/.exec(stderr);
      if (match) resolve(Number(match[1]));
    });
    child.on('exit', (code) => reject(new Error(`stand-in exited (${code}): ${stderr}`)));
  });
  const exited = new Promise((resolve) => child.on('exit', (code) => resolve({ code, stdout })));
  return { child, port, exited, trace };
}

// The program's registrations, in its order; returns the send id of the misspelt datum.
function register(handle) {
  handle.menuAddItem('Vantilo', 19, 12345);
  handle.menuAddSubItem(19, 'Pause', 21, 12345);
  handle.menuAddSubItem(19, 'Exit', 20, 12345);
  for (const id of [21, 20, 18]) handle.mapClientEventToSimEvent(id, '');
  handle.mapInputEventToClientEvent(0, 'joystick:0:POV', 18, 0, UNUSED, 0, false);
  for (const id of [18, 21, 20]) handle.addClientEventToNotificationGroup(0, id, false);
  handle.setInputGroupState(0, 1);
  ['Pause', 'View', '1sec', 'Frame'].forEach((name, id) => handle.subscribeToSystemEvent(id, name));
  handle.addToDataDefinition(0, 'PLANE PITCH DEGREES', 'Radians', SimConnectDataType.FLOAT64, 0, UNUSED);
  handle.addToDataDefinition(0, 'PLANE BANK DEGREES', 'Radians', SimConnectDataType.FLOAT64, 0, UNUSED);
  const misspelt = handle.addToDataDefinition(1, 'PLANE BANK DEGRESS', 'Radians',
                                              SimConnectDataType.FLOAT64, 0, UNUSED);
  handle.requestDataOnSimObject(1, 0, 0, SimConnectPeriod.VISUAL_FRAME, 0, 0, 0, 0);
  return misspelt;
}

async function main() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'standin-peer-'));
  const standin = startStandin(process.argv[2], dir);
  const guard = setTimeout(() => {
    standin.child.kill('SIGKILL');
    console.error('FAIL: no result within 20 s');
    process.exit(1);
  }, 20000);

  const { recvOpen, handle } = await open('Vantilo', Protocol.FSX_RTM,
                                          { host: '127.0.0.1', port: await standin.port });
  assert.strictEqual(recvOpen.applicationName, 'Vantilo Stand-in');
  assert.strictEqual(recvOpen.applicationVersionMajor, 10);
  assert.strictEqual(recvOpen.applicationVersionMinor, 0);
  assert.strictEqual(recvOpen.simConnectBuildMajor, 60905);

  const seen = { exceptions: [], events: [], frames: [], banks: [] };
  handle.on('exception', (e) => seen.exceptions.push(e));
  handle.on('eventFrame', (f) => seen.frames.push(f));
  handle.on('simObjectData', (d) => {
    assert.strictEqual(d.requestID, 1);
    assert.strictEqual(d.defineCount, 2);
    d.data.readFloat64();  // pitch
    seen.banks.push(d.data.readFloat64());
  });
  const exitChosen = new Promise((resolve) => handle.on('event', (e) => {
    seen.events.push(e);
    if (e.clientEventId === 20) resolve();
  }));
  const misspelt = register(handle);
  await exitChosen;
  handle.menuDeleteSubItem(19, 21);
  handle.menuDeleteSubItem(19, 20);
  handle.menuDeleteItem(19);
  await new Promise((resolve) => setTimeout(resolve, 200));
  handle.close();
  const { code, stdout } = await standin.exited;
  clearTimeout(guard);

  assert.strictEqual(code, 0, 'stand-in exit status');
  assert.deepStrictEqual(seen.exceptions.map((e) => [e.exception, e.sendId, e.index]),
                         [[7, misspelt, 2]], 'one NAME_UNRECOGNIZED for the misspelt datum');
  const ticks = seen.events.filter((e) => e.clientEventId === 2);
  assert.ok(ticks.length >= 2, `1sec events: ${ticks.length}`);
  assert.deepStrictEqual([ticks[0].groupID, ticks[0].data], [UNUSED, 0]);
  const order = seen.events.filter((e) => e.clientEventId !== 2)
                    .map((e) => [e.clientEventId, e.groupID, e.data]);
  assert.deepStrictEqual(order, [[18, 0, 0], [20, 0, 12345]], 'hat, then the menu choice');
  assert.ok(seen.frames.length > 20, `frame events: ${seen.frames.length}`);
  assert.deepStrictEqual([seen.frames[0].clientEventId, seen.frames[0].frameRate,
                          seen.frames[0].simSpeed], [3, 60, SPEED]);
  assert.strictEqual(seen.banks[seen.banks.length - 1], 30 * (Math.PI / 180), 'bank after the roll');
  assert.match(stdout, /exceptions sent +1\n/);

  const trace = fs.readFileSync(standin.trace, 'utf8').trim().split('\n').map(JSON.parse);
  const deletes = trace.filter((l) => l.kind === 'packet' && l.type.startsWith('MenuDelete'))
                       .map((l) => [l.type, l.args.menu_event_id, l.args.sub_menu_event_id]);
  assert.deepStrictEqual(deletes, [['MenuDeleteSubItem', 19, 21], ['MenuDeleteSubItem', 19, 20],
                                   ['MenuDeleteItem', 19, undefined]]);
  fs.rmSync(dir, { recursive: true, force: true });
  console.log('node-simconnect against the stand-in: all checks passed');
}

main().catch((error) => {
  console.error('FAIL:', error);
  process.exit(1);
});
