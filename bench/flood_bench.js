// A node-simconnect follower's data records a second against the stand-in,
// alone and beside clients that flood it with packets and never read, at
// each frame rate; prints one row per run.
// Usage: node flood_bench.js STANDIN [--seconds N] [--rates 60,1000] [--flooders 0,20,63]
// (node-simconnect from tests/peer; the flooders run in a child process of
// their own, so that flooding does not hold up the follower's reading).
'use strict';

const childProcess = require('child_process');
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');
const { open, Protocol, SimConnectDataType, SimConnectPeriod } = require(
    path.join(__dirname, '..', 'tests', 'peer', 'node_modules', 'node-simconnect'));
const { startStandin } = require(path.join(__dirname, '..', 'tests', 'support', 'programs'));

const UNUSED = 0xffffffff;
const WARM_UP_MS = 1000;

// Packets of an unknown type (function id 0x999): each earns an exception.
function floodBytes() {
  const packet = Buffer.alloc(16);
  packet.writeUInt32LE(16, 0);
  packet.writeUInt32LE(2, 4);
  packet.writeUInt32LE(0xf0000999, 8);
  packet.writeUInt32LE(7, 12);
  return Buffer.concat(Array(4096).fill(packet));
}

// The child: count clients that write as fast as their sockets take.
function flood(port, count) {
  const bytes = floodBytes();
  for (let i = 0; i < count; ++i) {
    const socket = net.connect(port, '127.0.0.1');
    socket.on('error', () => {});
    const write = () => {
      while (socket.write(bytes)) {}
    };
    socket.on('connect', write);
    socket.on('drain', write);
    socket.pause();  // never reads
  }
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function run(binary, fps, flooders, seconds) {
  const standin = await startStandin(binary, ['--start-now', '--fps', String(fps)], {
    dir: fs.mkdtempSync(path.join(os.tmpdir(), 'flood-bench-')), scenario: '100000 end\n' });
  const { port } = standin;
  const { handle } = await open('follower', Protocol.FSX_RTM, { host: '127.0.0.1', port });
  let records = 0;
  handle.on('simObjectData', () => ++records);
  handle.on('error', () => {});
  handle.addToDataDefinition(0, 'PLANE BANK DEGREES', 'Radians', SimConnectDataType.FLOAT64, 0,
                             UNUSED);
  handle.requestDataOnSimObject(1, 0, 0, SimConnectPeriod.VISUAL_FRAME, 0, 0, 0, 0);
  const flooding = flooders > 0 ?
      childProcess.fork(__filename, ['--flood', String(port), String(flooders)]) : null;
  await sleep(WARM_UP_MS);
  const before = records;
  const started = process.hrtime.bigint();
  await sleep(seconds * 1000);
  const wall = Number(process.hrtime.bigint() - started) / 1e9;
  const rate = (records - before) / wall;
  if (flooding) flooding.kill();
  handle.close();
  await standin.stop();
  return rate;
}

async function main() {
  const args = process.argv.slice(2);
  if (args[0] === '--flood') {
    flood(Number(args[1]), Number(args[2]));
    return;
  }
  const option = (name, fallback) => {
    const at = args.indexOf(name);
    return at >= 0 ? args[at + 1] : fallback;
  };
  const binary = args[0];
  const seconds = Number(option('--seconds', '5'));
  const rates = option('--rates', '60,1000').split(',').map(Number);
  const floods = option('--flooders', '0,20,63').split(',').map(Number);
  console.log('fps\tflooders\tfollower records a second\tshare of the frame rate');
  for (const fps of rates) {
    for (const flooders of floods) {
      const rate = await run(binary, fps, flooders, seconds);
      console.log(`${fps}\t${flooders}\t${rate.toFixed(1)}\t${(100 * rate / fps).toFixed(1)} %`);
    }
  }
}

main().catch((error) => {
  console.error('flood bench:', error.message);
  process.exit(1);
});
