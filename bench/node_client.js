// The baseline a user might script instead of Vantilo: a node-simconnect
// 4.2.0 client that sends the same camera command on each per-frame attitude
// record, until the menu's "Exit" or the simulator quits.
// Usage: node node_client.js PORT [NAME]   (node-simconnect from tests/peer)
'use strict';

const path = require('path');
const { open, Protocol, SimConnectDataType, SimConnectPeriod } = require(
    path.join(__dirname, '..', 'tests', 'peer', 'node_modules', 'node-simconnect'));

const UNUSED = 0xffffffff;
const MENU = 19;
const MENU_EXIT = 20;
const MENU_DATA = 12345;
const DEFINITION = 0;
const REQUEST = 1;
const DIVISOR = Math.fround(3.1415);  // the program's divisor, as a float

async function main() {
  const port = Number(process.argv[2]);
  const name = process.argv[3] || 'node-simconnect baseline';
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
    handle.menuDeleteSubItem(MENU, MENU_EXIT);
    handle.menuDeleteItem(MENU);
    finish();
  });
  handle.on('simObjectData', (record) => {
    if (record.requestID !== REQUEST) return;
    record.data.readFloat64();  // pitch
    const bank = record.data.readFloat64();
    handle.cameraSetRelative6DOF(0, 0, 0, 8, 0, (bank * -180.0) / DIVISOR);
  });

  handle.menuAddItem('Vantilo', MENU, MENU_DATA);
  handle.menuAddSubItem(MENU, 'Exit', MENU_EXIT, MENU_DATA);
  handle.addToDataDefinition(DEFINITION, 'PLANE PITCH DEGREES', 'Radians',
                             SimConnectDataType.FLOAT64, 0, UNUSED);
  handle.addToDataDefinition(DEFINITION, 'PLANE BANK DEGREES', 'Radians',
                             SimConnectDataType.FLOAT64, 0, UNUSED);
  handle.requestDataOnSimObject(REQUEST, DEFINITION, 0, SimConnectPeriod.VISUAL_FRAME, 0, 0, 0, 0);
}

main().catch((error) => {
  console.error('node client:', error.message);
  process.exit(1);
});
