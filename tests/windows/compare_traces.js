// Compares two stand-in traces (--trace JSON lines) of one scenario: the
// Linux vantilo's (the reference) and vantilo.exe's under Wine. Both must
// send the same packets with the same decoded arguments, numbered 1, 2, ...
// without a gap, and the same camera commands bit for bit. Times are not
// compared. Prints each difference; exits 1 if there is one.
// Usage: node compare_traces.js LINUX_TRACE WINE_TRACE
'use strict';
const fs = require('fs');
const calls = require('../peer/call_sequence');

const kLevelHeadingBits = '0x80000000';  // -0.0: the heading at zero bank
const kMinLevelCommands = 3;  // the scenario holds level for its first 2 s

// The program's calls in order, from Open to the tear-down, camera aside, as
// its golden file holds them.
const { registration, tearDown } = calls.read();
const kExpectedCalls = calls.packets([...registration, ...tearDown]).map((c) => JSON.stringify(c));

const problems = [];
const problem = (text) => problems.push(text);

// A trace line's text without its times (t, wall, frame) and, for packets,
// without the send id: the text, not parsed numbers, so that -0 stays -0.
function untimed(line) {
  return line.replace(/^\{"t":[^,]*,"wall":[^,]*,"frame":[^,]*,/, '{')
      .replace(/,"send_id":[0-9]+,/, ',');
}

function readTrace(path) {
  const lines = fs.readFileSync(path, 'utf8').split('\n').filter((line) => line !== '');
  const entries = lines.map((line) => Object.assign(JSON.parse(line), {text: untimed(line)}));
  const packets = entries.filter((e) => e.kind === 'packet');
  const cameras = entries.filter((e) => e.kind === 'camera');
  const sent = packets.filter((p) => p.type !== 'CameraSetRelative6DOF');
  return {
    path,
    sendIds: packets.map((p) => p.send_id),
    program: sent.map((p) => JSON.stringify(calls.ofTrace(p))),
    calls: sent.map((p) => p.text),
    cameras: cameras.map((c) => c.text),
    headingBits: cameras.map((c) => c.heading_bits),
  };
}

// A problem naming the first place two lists differ, if they do.
function expectSame(what, expected, actual, names = ['Linux', 'Wine']) {
  const indices = [...Array(Math.max(expected.length, actual.length)).keys()];
  const i = indices.find((k) => expected[k] !== actual[k]);
  if (i !== undefined) {
    problem(`${what} at ${i} (of ${expected.length} / ${actual.length}): ` +
            `${names[0]} ${expected[i]}, ${names[1]} ${actual[i]}`);
  }
}

// Commands before the roll are level. How many come before the roll depends
// on whether the client's data request reached the stand-in before its first
// frame, a matter of timing, so the leading level run is set aside (after
// checking that it is there and level) and the rest compared command by command.
function afterLevelStart(trace) {
  let i = 0;
  while (i < trace.headingBits.length && trace.headingBits[i] === kLevelHeadingBits) i++;
  if (i < kMinLevelCommands) {
    problem(`${trace.path}: ${i} level commands at the start, wanted at least ${kMinLevelCommands}`);
  }
  return trace.cameras.slice(i);
}

function checkOwnNumbering(trace) {
  const gap = trace.sendIds.findIndex((id, i) => id !== i + 1);
  if (gap >= 0) problem(`${trace.path}: packet ${gap} has send id ${trace.sendIds[gap]}, wanted ${gap + 1}`);
}

const linux = readTrace(process.argv[2]);
const wine = readTrace(process.argv[3]);

expectSame('Linux calls are not the program\'s sequence:', kExpectedCalls, linux.program,
           ['expected', 'Linux']);
checkOwnNumbering(linux);
checkOwnNumbering(wine);
expectSame('calls differ', linux.calls, wine.calls);

const linuxCameras = afterLevelStart(linux);
const wineCameras = afterLevelStart(wine);
const distinct = new Set(linux.headingBits).size;
if (distinct < 10) problem(`Linux camera headings vary too little to compare (${distinct} values)`);
expectSame('camera commands after the level start differ', linuxCameras, wineCameras);

for (const text of problems) console.log(`FAIL ${text}`);
if (problems.length > 0) process.exit(1);
console.log(`ok: ${linux.calls.length} calls and ${linuxCameras.length} camera commands ` +
            `(after ${linux.cameras.length - linuxCameras.length} / ` +
            `${wine.cameras.length - wineCameras.length} level ones) match`);
