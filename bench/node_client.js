// The baseline a user might script instead of Vantilo: a node-simconnect
// 4.2.0 client that registers as the program does (its golden file,
// tests/program/registration.txt), sends the same camera command on each
// per-frame attitude record, and tears down on the menu's "Exit" or quits
// with the simulator.
// Usage: node node_client.js PORT [NAME]   (node-simconnect from tests/peer)
'use strict';

const path = require('path');
const peer = path.join(__dirname, '..', 'tests', 'peer');
const { open, Protocol } = require(path.join(peer, 'node_modules', 'node-simconnect'));
const calls = require(path.join(peer, 'call_sequence'));

const MENU_EXIT = 20;
const REQUEST = 1;
const DIVISOR = Math.fround(3.1415);  // the program's divisor, as a float

async function main() {
  const port = Number(process.argv[2]);
  const name = process.argv[3] || 'node-simconnect baseline';
  const { registration, tearDown } = calls.read();
  const { handle } = await open(name, Protocol.FSX_RTM, { host: '127.0.0.1', port });
  const finish = () => {
    handle.close();
    process.exit(0);
  };
  handle.on('quit', finish);
  handle.on('close', () => process.exit(0));
  handle.on('error', (error) => {
    console.error('node client:', error.message);
    process.exit(1);
  });
  handle.on('event', (event) => {
    if (event.clientEventId !== MENU_EXIT) return;
    calls.make(handle, tearDown);
    setTimeout(finish, 100);  // closing at once would drop unsent packets
  });
  handle.on('simObjectData', (record) => {
    if (record.requestID !== REQUEST) return;
    record.data.readFloat64();  // pitch
    const bank = record.data.readFloat64();
    handle.cameraSetRelative6DOF(0, 0, 0, 8, 0, (bank * -180.0) / DIVISOR);
  });
  calls.make(handle, registration);
}

main().catch((error) => {
  console.error('node client:', error.message);
  process.exit(1);
});
