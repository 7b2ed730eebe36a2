// node-simconnect making Vantilo's calls, from open to close, against the
// capture server whose port is the first argument. Used by
// capture_compare.js to set node-simconnect's bytes beside ours.
'use strict';

const { open, Protocol, SimConnectDataType, SimConnectPeriod } = require('node-simconnect');

const port = Number(process.argv[2]);
const UNUSED = 0xffffffff;

// Gives up if the server never answers, so the test cannot hang.
const safety = setTimeout(() => {
  console.error('capture_node_client: no answer from the capture server');
  process.exit(1);
}, 10000);

function bankHeading(bankRadians) {
  return (bankRadians * -180.0) / Math.fround(3.1415);
}

open('Vantilo', Protocol.FSX_RTM, { host: '127.0.0.1', port })
  .then(({ handle }) => {
    handle.menuAddItem('Vantilo', 19, 12345);
    handle.menuAddSubItem(19, 'Pause', 21, 12345);
    handle.menuAddSubItem(19, 'Exit', 20, 12345);
    handle.mapClientEventToSimEvent(21, '');
    handle.mapClientEventToSimEvent(20, '');
    handle.mapClientEventToSimEvent(18, '');
    handle.mapInputEventToClientEvent(0, 'joystick:0:POV', 18, 0, UNUSED, 0, false);
    handle.addClientEventToNotificationGroup(0, 18, false);
    handle.addClientEventToNotificationGroup(0, 21, false);
    handle.addClientEventToNotificationGroup(0, 20, false);
    handle.setInputGroupState(0, true);
    handle.subscribeToSystemEvent(0, 'Pause');
    handle.subscribeToSystemEvent(1, 'View');
    handle.subscribeToSystemEvent(2, '1sec');
    handle.subscribeToSystemEvent(3, 'Frame');
    handle.addToDataDefinition(0, 'PLANE PITCH DEGREES', 'Radians', SimConnectDataType.FLOAT64, 0.0, UNUSED);
    handle.addToDataDefinition(0, 'PLANE BANK DEGREES', 'Radians', SimConnectDataType.FLOAT64, 0.0, UNUSED);
    handle.requestDataOnSimObject(1, 0, 0, SimConnectPeriod.VISUAL_FRAME, 0, 0, 0, 0);
    handle.cameraSetRelative6DOF(0, 0, 0, 8.0, 0.0, bankHeading(0.5));
    handle.menuDeleteSubItem(19, 21);
    handle.menuDeleteSubItem(19, 20);
    handle.menuDeleteItem(19);
    // The server answers the last packet with a quit record: everything has
    // arrived, so closing now loses nothing.
    handle.on('quit', () => {
      clearTimeout(safety);
      handle.close();
    });
  })
  .catch((error) => {
    console.error('capture_node_client:', error.message);
    process.exit(1);
  });
