// Runs node-simconnect and the built vantilo against a capture server and
// compares their packets byte for byte. The server answers the Open and, once
// the registration has come, sends an attitude record (bank 0.5 rad) and the
// menu's Exit: each sends one camera command and tears down. Only the send
// ids may differ: node-simconnect counts from 0, ours from 1.
// Usage: node capture_compare.js VANTILO
'use strict';

const childProcess = require('child_process');
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');
const { writeCfg } = require('../support/programs');
const calls = require('./call_sequence');

const REGISTRATION = calls.read().registration.length;

function record(id, version, words) {
  const bytes = Buffer.alloc(12 + 4 * words.length);
  [bytes.length, version, id, ...words].forEach((w, i) => bytes.writeUInt32LE(w, 4 * i));
  return bytes;
}

// The connection report sent in answer to an Open packet.
function openRecord(version) {
  const bytes = record(2, version, new Array(74).fill(0));
  bytes.write('Capture Server', 12, 'latin1');
  [10, 0, 61637, 0, 10, 0, 61259, 0].forEach((value, i) => bytes.writeUInt32LE(value, 268 + 4 * i));
  return bytes;
}

// Request 1's attitude (pitch 0.1, bank 0.5 rad), then the menu's Exit.
function attitudeAndExit(version) {
  const data = record(8, version, [1, 0, 0, 0, 1, 1, 2, 0, 0, 0, 0]);
  data.writeDoubleLE(0.1, 40);
  data.writeDoubleLE(0.5, 48);
  return Buffer.concat([data, record(4, version, [0, 20, 12345])]);
}

// Serves one client: collects its packets until it disconnects.
function captureOne(server) {
  return new Promise((resolve) => {
    server.once('connection', (socket) => {
      const packets = [];
      let pending = Buffer.alloc(0);
      socket.on('data', (chunk) => {
        pending = Buffer.concat([pending, chunk]);
        let size;
        while (pending.length >= 16 && (size = pending.readUInt32LE(0)) >= 16 && pending.length >= size) {
          packets.push(pending.subarray(0, size));
          pending = pending.subarray(size);
          const version = packets.at(-1).readUInt32LE(4);
          if (packets.length === 1) socket.write(openRecord(version));  // the Open's answer
          if (packets.length === REGISTRATION) socket.write(attitudeAndExit(version));
        }
      });
      const finish = () => resolve({ packets, stray: pending.length });
      socket.on('end', finish);
      socket.on('error', finish);
    });
  });
}

function run(command, args, options) {
  return new Promise((resolve) => {
    const child = childProcess.spawn(command, args,
                                     { stdio: ['ignore', 'ignore', 'inherit'], timeout: 20000, ...options });
    child.on('exit', (code) => resolve(code));
    child.on('error', (error) => resolve(`unstarted: ${error.message}`));
  });
}

function compare(node, ours) {
  const problems = [];
  if (node.stray !== 0 || ours.stray !== 0) {
    problems.push(`stray bytes after the last packet: node ${node.stray}, ours ${ours.stray}`);
  }
  if (node.packets.length !== ours.packets.length) {
    problems.push(`packet count: node ${node.packets.length}, ours ${ours.packets.length}`);
  }
  const body = (p) => Buffer.concat([p.subarray(0, 12), p.subarray(16)]);
  for (let i = 0; i < Math.min(node.packets.length, ours.packets.length); i++) {
    const [a, b] = [node.packets[i], ours.packets[i]];
    if (a.readUInt32LE(12) !== i || b.readUInt32LE(12) !== i + 1) {
      problems.push(`packet ${i}: send ids node ${a.readUInt32LE(12)}, ours ${b.readUInt32LE(12)}`);
    }
    if (!body(a).equals(body(b))) {
      problems.push(`packet ${i} differs:\n  node ${a.toString('hex')}\n  ours ${b.toString('hex')}`);
    }
  }
  return problems;
}

async function main() {
  const safety = setTimeout(() => {
    console.error('capture_compare: gave up after 40 s');
    process.exit(1);
  }, 40000);
  const server = net.createServer();
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const port = server.address().port;

  const nodeClient = [path.join(__dirname, 'capture_node_client.js'), String(port)];
  const [node, nodeStatus] = await Promise.all([captureOne(server), run(process.execPath, nodeClient)]);

  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'vantilo-capture-'));
  writeCfg(folder, port);
  const [ours, ourStatus] = await Promise.all([captureOne(server),
                                               run(path.resolve(process.argv[2]), [], { cwd: folder })]);
  fs.rmSync(folder, { recursive: true, force: true });
  server.close();
  clearTimeout(safety);

  const problems = compare(node, ours);
  if (nodeStatus !== 0) problems.push(`node-simconnect client exited with ${nodeStatus}`);
  if (ourStatus !== 0) problems.push(`vantilo exited with ${ourStatus}`);
  if (node.packets.length <= REGISTRATION) problems.push(`node-simconnect sent ${node.packets.length} packets`);
  if (problems.length > 0) {
    console.error(problems.join('\n'));
    process.exit(1);
  }
  console.log(`${node.packets.length} packets identical apart from the send ids`);
}

main();
