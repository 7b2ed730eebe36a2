// Runs the real programs for the end-to-end tests (through
// tests/support/programs.js): the stand-in simulator on a free loopback port
// with a trace, and vantilo in a temporary folder whose SimConnect.cfg
// points at it. Paths come from CTest's environment.
'use strict';
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const programs = require('../support/programs');

const VANTILO = process.env.VANTILO_BIN;
const STANDIN = process.env.STANDIN_BIN;
if (!VANTILO || !STANDIN) throw new Error('VANTILO_BIN and STANDIN_BIN must name the programs');

const BANNER = programs.consoleText('banner');
const NO_SIMULATOR = programs.consoleText('no simulator');

// The connection report for an OPEN record's application name and version.
const connected = (application, version) => programs.consoleText('connected', { application, version });
const tempDir = () => fs.mkdtempSync(path.join(os.tmpdir(), 'vantilo-e2e-'));

// A port nothing listens on: bound once, then released.
function closedPort() {
  return new Promise((resolve) => {
    const server = net.createServer();
    server.listen(0, '127.0.0.1', () => {
      const port = server.address().port;
      server.close(() => resolve(port));
    });
  });
}

// Starts the stand-in playing a scenario text, traced; resolves once it is listening.
function startStandin(dir, scenario, extraArgs = []) {
  return programs.startStandin(STANDIN, extraArgs, { dir, scenario, trace: true });
}

// Runs vantilo in dir; resolves with its exit code, output and run time.
async function runVantilo(dir, onStdout) {
  const started = process.hrtime.bigint();
  const child = spawn(VANTILO, [], { cwd: dir, stdio: ['ignore', 'pipe', 'pipe'] });
  if (onStdout) child.stdout.on('data', (chunk) => onStdout(chunk.toString(), child));
  const result = await programs.finished(child);
  result.seconds = Number(process.hrtime.bigint() - started) / 1e9;
  return result;
}

// The float bits of the camera heading for a bank in radians, computed as
// the program must: (bank * -180) / 3.1415f widened, then narrowed.
function headingBits(bank) {
  const view = new DataView(new ArrayBuffer(4));
  view.setFloat32(0, (bank * -180.0) / Math.fround(3.1415));
  return '0x' + view.getUint32(0).toString(16).padStart(8, '0');
}

module.exports = {
  BANNER, NO_SIMULATOR, closedPort, connected, headingBits, runVantilo, startStandin, tempDir,
  readTrace: programs.readTrace, writeCfg: programs.writeCfg,
};
