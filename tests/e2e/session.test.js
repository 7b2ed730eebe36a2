// Vantilo against the stand-in simulator through a SimConnect.cfg: the
// console text, the registration sequence, every camera command's bits, the
// suspension after the hat, the menu's pause, and the tear-down after Exit.
'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const h = require('./harness');
const calls = require('../peer/call_sequence');

// A scenario that exercises every behaviour in a few simulated seconds:
// turns both ways, a hat input while banked (re-engaged on the 4th tick),
// a view change away and back, the menu's Pause twice, then Exit.
const SCENARIO = `
0.0 roll right 25 over 1.5
2.5 hat
3.0 roll left 20 over 4
7.2 view 2d
7.6 view virtual
8.0 roll right 10 over 3
8.2 menu Pause
9.4 menu Pause
11.5 menu Exit
12.0 end
`;

// The program's calls as its golden file holds them, as packets.
const CALLS = calls.read();
const REGISTRATION = calls.packets(CALLS.registration);
const TEAR_DOWN = calls.packets(CALLS.tearDown);

// The controller as the program must behave, run over the records the
// stand-in sent: for each attitude record, the heading bits it must answer
// with, or null when the camera is held.
function expectedAnswers(records) {
  let active = true;
  let paused = false;
  let seconds = 0;
  const answers = [];
  for (const r of records) {
    if (r.record === 'EVENT') {
      if (r.event_id === 1) active = r.data === 2;
      if (r.event_id === 2 && ++seconds > 3) active = true;
      if (r.event_id === 18) { active = false; seconds = 0; }
      if (r.event_id === 21) paused = !paused;
    } else if (r.record === 'SIMOBJECT_DATA' && r.request_id === 1) {
      answers.push({ record: r, bits: active && !paused ? h.headingBits(r.values[1]) : null });
    }
  }
  return answers;
}

let run;  // one session, shared by the checks below

test.before(async () => {
  const dir = h.tempDir();
  const standin = await h.startStandin(dir, SCENARIO, ['--speed', '2']);
  h.writeCfg(dir, standin.port);
  const vantilo = await h.runVantilo(dir);
  const server = await standin.done;
  const trace = h.readTrace(standin.tracePath);
  const ofClient = (kind) => trace.filter((e) => e.kind === kind && e.client === 1);
  run = { vantilo, server, trace, packets: ofClient('packet'), records: ofClient('record'),
          cameras: ofClient('camera') };
});

test('the program prints the banner, the connection report and nothing else', () => {
  const { code, stdout, stderr } = run.vantilo;
  assert.deepEqual({ code, stdout, stderr, standin: run.server.code },
                   { code: 0, stdout: h.BANNER + h.connected('Vantilo Stand-in', 10), stderr: '', standin: 0 });
});

test('registration: every call with every argument, in order, send ids from 1', () => {
  const first = run.packets.slice(0, REGISTRATION.length);
  assert.deepEqual(first.map(calls.ofTrace), REGISTRATION);
  const { version_major, version_minor, build_major, build_minor } = first[0].args;
  assert.deepEqual([version_major, version_minor, build_major, build_minor], [0, 0, 60905, 0]);
  assert.deepEqual(first.map((p) => p.send_id), REGISTRATION.map((_, i) => i + 1));
  assert.equal(run.records.filter((r) => r.record === 'EXCEPTION').length, 0);
});

test('camera commands: one per attitude record while following, exact bits', () => {
  const answered = (records) => expectedAnswers(records.filter((r) => !r.dropped))
    .filter((a) => a.bits !== null);
  const wanted = answered(run.records).map((a) => a.bits);
  const got = run.cameras.map((c) => c.heading_bits);
  // Records that arrive with the Exit may still be answered; nothing later is.
  const beforeExit = answered(run.records.slice(0, eventsAt(20)[0])).length;
  assert.ok(got.length >= beforeExit, `${got.length} commands, ${beforeExit} expected`);
  assert.deepEqual(got, wanted.slice(0, got.length));
  for (const c of run.cameras) {
    assert.deepEqual([c.delta_x, c.delta_y, c.delta_z, c.pitch, c.bank], [0, 0, 0, 8, 0]);
  }
  // Turns both ways: the camera looked both ways.
  assert.ok(run.cameras.some((c) => c.heading > 5) && run.cameras.some((c) => c.heading < -5));
});

// Indexes, in the records sent, of the events with this id.
function eventsAt(id) {
  return run.records.map((r, i) => [r, i])
    .filter(([r]) => r.record === 'EVENT' && r.event_id === id).map(([, i]) => i);
}

// Checks that the camera is held for the attitude records sent between two
// record indexes, and that the program's next command answers the first
// record after the hold: nothing was sent for the held ones.
function assertHeldBetween(from, to) {
  const answers = expectedAnswers(run.records);
  const at = (a) => run.records.indexOf(a.record);
  const held = answers.filter((a) => at(a) > from && at(a) < to);
  assert.ok(held.length > 30, `${held.length} attitude records while held`);
  assert.ok(held.every((a) => a.bits === null));
  const answeredBefore = answers.filter((a) => a.bits !== null && at(a) < from).length;
  const next = answers.find((a) => a.bits !== null && at(a) > to);
  assert.equal(run.cameras[answeredBefore].heading_bits, next.bits);
  assert.notEqual(run.cameras[answeredBefore - 1].heading_bits, next.bits, 'the bank moved');
}

test('hat input holds the camera until the fourth 1sec tick', () => {
  const hat = eventsAt(18);
  assert.equal(hat.length, 1);
  const ticks = eventsAt(2).filter((i) => i > hat[0]);
  assertHeldBetween(hat[0], ticks[3]);
});

test("the menu's Pause stops the commands and the second Pause resumes them", () => {
  const pauses = eventsAt(21);
  assert.equal(pauses.length, 2);
  assertHeldBetween(pauses[0], pauses[1]);
});

test('after Exit: the tear-down calls, then the connection closes', () => {
  const exitAt = run.trace.indexOf(run.records[eventsAt(20)[0]]);
  const later = run.trace.slice(exitAt).filter((e) => e.client === 1 &&
                                                      (e.kind === 'packet' || e.kind === 'disconnect'));
  const teardown = later.filter((e) => e.type !== 'CameraSetRelative6DOF');
  assert.deepEqual(teardown.map((e) => (e.kind === 'packet' ? calls.ofTrace(e) : [e.kind])),
                   [...TEAR_DOWN, ['disconnect']]);
  assert.equal(later[later.length - 1].kind, 'disconnect');
});

// Vantilo against the stand-in playing each simulator: served at protocol 2,
// or at 4 once 2 is refused (the refusal unseen), the console text with the
// simulator's name, camera commands applied or ignored, the note on
// standard error, and the hat and Exit read from each simulator's records
// (28-byte events for Prepar3D, headers stamped 6 for MSFS 2024).
const PERSONA_SCENARIO = '0.0 roll right 25 over 1\n1.0 hat\n2.5 menu Exit\n3.0 end\n';
const quiet = (name, year) => `note: ${name} (Microsoft Flight Simulator ${year}) is reported to ` +
                              'ignore SimConnect camera commands; the view may not move\n';
const PERSONAS = [
  // persona, protocols opened at, OPEN record's name and version, camera moves, standard error
  ['fsx', [2], ['Vantilo Stand-in', 10], true, ''],
  ['fsx-se', [2], ['Microsoft Flight Simulator X', 10], true, ''],
  ['p3d', [2, 4], ['Prepar3D', 5], true, ''],
  ['msfs2020', [2, 4], ['KittyHawk', 11], false, quiet('KittyHawk', 2020)],
  ['msfs2024', [2, 4], ['SunRise', 12], false, quiet('SunRise', 2024)],
];

for (const [persona, protocols, opened, moves, warning] of PERSONAS) {
  test(`--simulator ${persona}: protocol ${protocols.at(-1)}, camera ${moves ? 'moves' : 'ignored'}`,
       async () => {
    const dir = h.tempDir();
    const standin = await h.startStandin(dir, PERSONA_SCENARIO,
                                         ['--speed', '2', '--simulator', persona]);
    h.writeCfg(dir, standin.port);
    const vantilo = await h.runVantilo(dir);
    const server = await standin.done;
    const { code, stdout, stderr } = vantilo;
    assert.deepEqual({ code, stdout, stderr, standin: server.code },
                     { code: 0, stdout: h.BANNER + h.connected(...opened), stderr: warning, standin: 0 });

    const trace = h.readTrace(standin.tracePath);
    const opens = trace.filter((e) => e.kind === 'packet' && e.type === 'Open');
    assert.deepEqual(opens.map((e) => e.protocol), protocols);
    const served = opens.at(-1).client;
    const of = (kind, events = trace) => events.filter((e) => e.kind === kind && e.client === served);
    const packets = of('packet');
    assert.deepEqual(packets.slice(0, REGISTRATION.length)
                       .map((p) => [...calls.ofTrace(p), p.send_id]),
                     REGISTRATION.map((call, i) => [...call, i + 1]));
    assert.ok(packets.every((p) => p.protocol === protocols.at(-1)));
    const records = of('record');
    assert.equal(records.filter((r) => r.record === 'EXCEPTION').length, 0);

    const cameras = of('camera');
    assert.ok(cameras.length > 10, `${cameras.length} camera commands`);
    assert.ok(cameras.every((c) => (c.ignored === true) === !moves));
    // The hat held the camera until Exit (the fourth "1sec" tick after the
    // hat comes later): every command up to Exit answers an attitude record
    // sent before the hat.
    const eventAt = (id) => trace.indexOf(records.find((r) => r.record === 'EVENT' && r.event_id === id));
    const [hatAt, exitAt] = [eventAt(18), eventAt(20)];
    assert.ok(hatAt > 0 && exitAt > hatAt, 'the hat, then Exit');
    const attitudes = (from, to) => of('record', trace.slice(from, to))
      .filter((e) => e.record === 'SIMOBJECT_DATA' && !e.dropped);
    const held = attitudes(hatAt, exitAt).length;
    assert.ok(held > 30, `${held} attitude records held`);
    const commands = of('camera', trace.slice(0, exitAt));
    assert.ok(commands.length <= attitudes(0, hatAt).length,
              `${commands.length} commands for ${attitudes(0, hatAt).length} records before the hat`);
    const teardown = of('packet', trace.slice(exitAt)).filter((e) => e.type !== 'CameraSetRelative6DOF');
    assert.deepEqual(teardown.map(calls.ofTrace), TEAR_DOWN);
  });
}
