// node-simconnect making the program's calls against the capture server at
// port argv[2]: the golden file's registration, the program's camera command
// for each attitude record, and on the menu's Exit the tear-down.
'use strict';

const { open, Protocol } = require('node-simconnect');
const calls = require('./call_sequence');

const { registration, tearDown } = calls.read();
const port = Number(process.argv[2]);

// Gives up if the server never answers, so the test cannot hang.
const safety = setTimeout(() => {
  console.error('capture_node_client: no answer from the capture server');
  process.exit(1);
}, 10000);

open(registration[0].args[0], Protocol.FSX_RTM, { host: '127.0.0.1', port })
  .then(({ handle }) => {
    handle.on('simObjectData', (d) => {
      d.data.readFloat64();  // pitch
      handle.cameraSetRelative6DOF(0, 0, 0, 8.0, 0.0, (d.data.readFloat64() * -180.0) / Math.fround(3.1415));
    });
    handle.on('event', (e) => {
      if (e.clientEventId !== 20) return;
      calls.make(handle, tearDown);
      clearTimeout(safety);
      setTimeout(() => handle.close(), 200);  // closing at once would drop unsent packets
    });
    calls.make(handle, registration);
  })
  .catch((error) => {
    console.error('capture_node_client:', error.message);
    process.exit(1);
  });
