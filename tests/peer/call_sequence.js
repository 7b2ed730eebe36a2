// The program's calls from Open to Close, read from its golden file (see
// tests/support/call_sequence.h), split at the Loop line; made through
// node-simconnect, or set beside a stand-in trace.
'use strict';
const fs = require('fs');
const path = require('path');

const FILE = path.join(__dirname, '..', 'program', 'registration.txt');

const value = (t) => (t.startsWith('"') ? t.slice(1, -1) : t === 'null' ? null : Number(t));
function parse(line) {
  const [name, ...args] = line.match(/"[^"]*"|[^ ]+/g);
  return { name, args: args.map(value) };
}

// { registration: [Open, ...], tearDown: [..., Close] }
function read() {
  const lines = fs.readFileSync(FILE, 'utf8').split('\n').filter((l) => l && !l.startsWith('#'));
  const loop = lines.indexOf('Loop');
  if (loop < 0) throw new Error(`${FILE}: no Loop line`);
  return { registration: lines.slice(0, loop).map(parse), tearDown: lines.slice(loop + 1).map(parse) };
}

// Makes the calls through node-simconnect's like-named methods; Open and Close are the caller's.
function make(handle, calls) {
  for (const { name, args } of calls) {
    if (name === 'Open' || name === 'Close') continue;
    handle[name[0].toLowerCase() + name.slice(1)](...args);
  }
}

// A call, or a packet of a stand-in trace, as [type, arguments...]; an
// Open by its application name alone (the rest is the host link's).
const asPacket = ({ name, args }) => (name === 'Open' ? [name, args[0]] : [name, ...args]);
const ofTrace = (p) => (p.type === 'Open' ? [p.type, p.args.application_name]
                                            : [p.type, ...Object.values(p.args)]);

// The packets the calls send: all but Close.
const packets = (calls) => calls.filter((c) => c.name !== 'Close').map(asPacket);

module.exports = { make, ofTrace, packets, read };
