// node-simconnect 4.2.0 as an independent SimConnect client of the stand-in:
// it opens with protocol FSX_RTM, registers and tears down as the program's
// golden file says (call_sequence.js), and checks the connection report,
// frame events, data records, the hat, the menu choice and an exception for
// a misspelt datum name. Then, for each simulator the stand-in plays
// (--simulator), it opens at each of protocols 2 to 6 and is served (an OPEN
// record, "1sec" events, a camera command accepted) or refused
// (VERSION_MISMATCH and no OPEN). Usage: node standin_peer.js STANDIN
'use strict';

const assert = require('assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { open, Protocol, SimConnectConnection, SimConnectDataType } = require('node-simconnect');
const programs = require('../support/programs');
const calls = require('./call_sequence');

const PROGRAM = calls.read();  // the program's calls, from its golden file

const UNUSED = 0xffffffff;
const SPEED = 2;
// The scenario: bank 30 degrees left, hat, then the menu's "Exit".
const SCENARIO = ['0.2 roll left 30 over 0.5', '1.5 hat', '2.5 menu Exit', '4.0 end', ''].join('\n');

// Each persona's application name and the protocols it serves, of node-simconnect's 2 to 6.
const PERSONAS = [
  { name: 'fsx', application: 'Vantilo Stand-in', served: [2, 3, 4], cameraMoves: true },
  { name: 'fsx-se', application: 'Microsoft Flight Simulator X', served: [2, 3, 4], cameraMoves: true },
  { name: 'p3d', application: 'Prepar3D', served: [4, 5, 6], cameraMoves: true },
  { name: 'msfs2020', application: 'KittyHawk', served: [4, 5], cameraMoves: false },
  { name: 'msfs2024', application: 'SunRise', served: [4, 5, 6], cameraMoves: false },
];
const PROTOCOLS = [Protocol.FSX_RTM, Protocol.FSX_SP1, Protocol.FSX_SP2, Protocol.KittyHawk,
                   Protocol.SunRise];
const REFUSED_WAIT_MS = 500;  // a refused client gets no OPEN within this

// The stand-in playing scenario at speed, traced.
const startStandin = (binary, dir, scenario, speed, extra = []) =>
  programs.startStandin(binary, ['--speed', String(speed), ...extra], { dir, scenario, trace: true });
const wait = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// One client at protocol: served, it gets the persona's OPEN, a "1sec" event
// (an EVENT record, 28 bytes from p3d, stamped 6 from msfs2024) and no
// exception for a camera command; refused, a VERSION_MISMATCH for its Open
// (send id 0) and no OPEN. Returns whether the camera command was sent.
async function checkProtocol(persona, port, protocol) {
  const what = `${persona.name} at protocol ${protocol}`;
  const handle = new SimConnectConnection('Vantilo', protocol);
  const exceptions = [];
  handle.on('exception', (e) => exceptions.push([e.exception, e.sendId]));
  // node-simconnect gives up on an Open after 5 s with an error: caught here.
  const opened = new Promise((resolve) => {
    handle.on('open', (recvOpen) => resolve(recvOpen));
    handle.on('error', () => resolve(null));
  });
  handle.connect({ host: '127.0.0.1', port });
  if (!persona.served.includes(protocol)) {
    const recvOpen = await Promise.race([opened, wait(REFUSED_WAIT_MS)]);
    handle.close();
    assert.strictEqual(recvOpen, undefined, `${what}: no OPEN`);
    assert.deepStrictEqual(exceptions, [[5, 0]], `${what}: VERSION_MISMATCH for the Open`);
    return false;
  }
  const recvOpen = await opened;
  assert.ok(recvOpen, `${what}: OPEN`);
  assert.strictEqual(recvOpen.applicationName, persona.application, what);
  const tick = new Promise((resolve) => handle.on('event', resolve));
  handle.subscribeToSystemEvent(7, '1sec');
  handle.cameraSetRelative6DOF(0, 0, 0, 1, 2, 3);
  const event = await Promise.race([tick, wait(5000)]);
  assert.ok(event, `${what}: a "1sec" event`);
  assert.deepStrictEqual([event.clientEventId, event.groupID, event.data], [7, UNUSED, 0], what);
  await wait(100);
  handle.close();
  assert.deepStrictEqual(exceptions, [], `${what}: no exception`);
  return true;
}

async function checkPersonas(binary, dir) {
  for (const persona of PERSONAS) {
    const standin = await startStandin(binary, dir, '60 end\n', 4, ['--simulator', persona.name]);
    const served = await Promise.all(PROTOCOLS.map((p) => checkProtocol(persona, standin.port, p)));
    await standin.stop();
    const cameras = programs.readTrace(standin.tracePath).filter((l) => l.kind === 'camera');
    assert.strictEqual(cameras.length, served.filter(Boolean).length, persona.name);
    assert.ok(cameras.every((l) => l.ignored === (persona.cameraMoves ? undefined : true)),
              `${persona.name}: camera commands ${persona.cameraMoves ? 'applied' : 'ignored'}`);
  }
}

async function main() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'standin-peer-'));
  const standin = await startStandin(process.argv[2], dir, SCENARIO, SPEED);
  const guard = setTimeout(() => {
    standin.child.kill('SIGKILL');
    console.error('FAIL: no result within 40 s');
    process.exit(1);
  }, 40000);

  const { recvOpen, handle } = await open(PROGRAM.registration[0].args[0], Protocol.FSX_RTM,
                                          { host: '127.0.0.1', port: standin.port });
  assert.deepStrictEqual([recvOpen.applicationName, recvOpen.applicationVersionMajor,
                          recvOpen.applicationVersionMinor, recvOpen.simConnectBuildMajor],
                         ['Vantilo Stand-in', 10, 0, 60905], 'the OPEN record');

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
  calls.make(handle, PROGRAM.registration);  // and a misspelt datum:
  const misspelt = handle.addToDataDefinition(1, 'PLANE BANK DEGRESS', 'Radians',
                                              SimConnectDataType.FLOAT64, 0, UNUSED);
  await exitChosen;
  calls.make(handle, PROGRAM.tearDown);
  await wait(200);
  handle.close();
  const { code, stdout } = await standin.done;

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

  const tearDown = calls.packets(PROGRAM.tearDown);
  const packets = programs.readTrace(standin.tracePath).filter((l) => l.kind === 'packet');
  const last = packets.slice(-tearDown.length);
  assert.deepStrictEqual(last.map(calls.ofTrace), tearDown, 'the tear-down, last');

  await checkPersonas(process.argv[2], dir);
  clearTimeout(guard);
  fs.rmSync(dir, { recursive: true, force: true });
  console.log('node-simconnect against the stand-in: all checks passed');
  process.exit(0);  // node-simconnect's Open timers of the refused clients need not run out
}

main().catch((error) => {
  console.error('FAIL:', error);
  process.exit(1);
});
