// Runs node-simconnect and Vantilo's own client through the same calls
// against a capture server, then compares what each sent, packet by packet
// and byte for byte. Only the send ids may differ: node-simconnect counts
// from 0, ours from 1. Usage: node capture_compare.js <our capture client>
'use strict';

const childProcess = require('child_process');
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');

const OPEN = 0x01;
const MENU_DELETE_ITEM = 0x32;

// The connection report sent in answer to an Open packet.
function openRecord(version) {
  const record = Buffer.alloc(308);
  record.writeUInt32LE(308, 0);
  record.writeUInt32LE(version, 4);
  record.writeUInt32LE(2, 8);
  record.write('Capture Server', 12, 'latin1');
  [10, 0, 61637, 0, 10, 0, 61259, 0].forEach((value, i) => record.writeUInt32LE(value, 268 + 4 * i));
  return record;
}

function quitRecord(version) {
  const record = Buffer.alloc(12);
  record.writeUInt32LE(12, 0);
  record.writeUInt32LE(version, 4);
  record.writeUInt32LE(3, 8);
  return record;
}

// Serves one client: collects its packets until it disconnects.
function captureOne(server) {
  return new Promise((resolve) => {
    server.once('connection', (socket) => {
      const packets = [];
      let pending = Buffer.alloc(0);
      socket.on('data', (chunk) => {
        pending = Buffer.concat([pending, chunk]);
        while (pending.length >= 4 && pending.length >= pending.readUInt32LE(0)) {
          const size = pending.readUInt32LE(0);
          if (size < 16) break;
          const packet = pending.subarray(0, size);
          pending = pending.subarray(size);
          packets.push(packet);
          const version = packet.readUInt32LE(4);
          const fn = packet.readUInt32LE(8) & 0x0fffffff;
          if (fn === OPEN) socket.write(openRecord(version));
          if (fn === MENU_DELETE_ITEM) socket.write(quitRecord(version));
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
    const child = childProcess.spawn(command, args, { stdio: ['ignore', 'inherit', 'inherit'], ...options });
    child.on('exit', (code) => resolve(code));
    child.on('error', (error) => {
      console.error(`cannot run ${command}: ${error.message}`);
      resolve(-1);
    });
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
  const count = Math.min(node.packets.length, ours.packets.length);
  for (let i = 0; i < count; i++) {
    const a = node.packets[i];
    const b = ours.packets[i];
    if (a.readUInt32LE(12) !== i || b.readUInt32LE(12) !== i + 1) {
      problems.push(`packet ${i}: send ids node ${a.readUInt32LE(12)}, ours ${b.readUInt32LE(12)}`);
    }
    const aBody = Buffer.concat([a.subarray(0, 12), a.subarray(16)]);
    const bBody = Buffer.concat([b.subarray(0, 12), b.subarray(16)]);
    if (!aBody.equals(bBody)) {
      problems.push(`packet ${i} differs:\n  node ${a.toString('hex')}\n  ours ${b.toString('hex')}`);
    }
  }
  return problems;
}

async function main() {
  const ourClient = process.argv[2];
  const safety = setTimeout(() => {
    console.error('capture_compare: gave up after 30 s');
    process.exit(1);
  }, 30000);
  const server = net.createServer();
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const port = server.address().port;

  const nodeCapture = captureOne(server);
  const nodeStatus = await run(process.execPath, [path.join(__dirname, 'capture_node_client.js'), String(port)]);
  const node = await nodeCapture;

  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'vantilo-capture-'));
  fs.writeFileSync(path.join(folder, 'SimConnect.cfg'),
    `[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=${port}\n`);
  const ourCapture = captureOne(server);
  const ourStatus = await run(ourClient, [], { cwd: folder });
  const ours = await ourCapture;
  fs.rmSync(folder, { recursive: true, force: true });
  server.close();
  clearTimeout(safety);

  const problems = compare(node, ours);
  if (nodeStatus !== 0) problems.push(`node-simconnect client exited with ${nodeStatus}`);
  if (ourStatus !== 0) problems.push(`our client exited with ${ourStatus}`);
  if (node.packets.length === 0) problems.push('node-simconnect sent nothing');
  if (problems.length > 0) {
    console.error(problems.join('\n'));
    process.exit(1);
  }
  console.log(`${node.packets.length} packets identical apart from the send ids`);
}

main();
