// Runs the real programs for the end-to-end tests: the stand-in simulator on
// a free loopback port with a trace, and vantilo in a temporary folder whose
// SimConnect.cfg points at it. Paths come from CTest's environment.
'use strict';
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');

const VANTILO = process.env.VANTILO_BIN;
const STANDIN = process.env.STANDIN_BIN;
if (!VANTILO || !STANDIN) throw new Error('VANTILO_BIN and STANDIN_BIN must name the programs');

const BANNER =
  'Welcome to Vantilo ver 1.0\n\n' +
  '=====================================================================\n\n' +
  'By the Vantilo developers.\n' +
  "Contact: the Vantilo project's issue tracker.\n" +
  '=====================================================================\n\n';

function tempDir() {
  return fs.mkdtempSync(path.join(os.tmpdir(), 'vantilo-e2e-'));
}

function writeCfg(dir, port) {
  fs.writeFileSync(path.join(dir, 'SimConnect.cfg'),
                   `[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=${port}\n`);
}

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

// Resolves with the process's exit code (or signal), its stdout and stderr.
function finished(child) {
  return new Promise((resolve) => {
    let stdout = '';
    let stderr = '';
    child.stdout.on('data', (chunk) => { stdout += chunk.toString('latin1'); });
    child.stderr.on('data', (chunk) => { stderr += chunk.toString('latin1'); });
    child.on('close', (code, signal) => resolve({ code, signal, stdout, stderr }));
  });
}

// Starts the stand-in with a scenario text; resolves once it is listening.
function startStandin(dir, scenario, extraArgs = []) {
  const scenarioPath = path.join(dir, 'scenario.txt');
  const tracePath = path.join(dir, 'trace.jsonl');
  fs.writeFileSync(scenarioPath, scenario);
  const child = spawn(STANDIN, ['--port', '0', '--no-live', '--scenario', scenarioPath,
                                '--trace', tracePath, ...extraArgs],
                      { stdio: ['ignore', 'pipe', 'pipe'] });
  const done = finished(child);
  return new Promise((resolve, reject) => {
    let seen = '';
    const timer = setTimeout(() => reject(new Error('stand-in did not start: ' + seen)), 10000);
    child.stderr.on('data', (chunk) => {
      seen += chunk.toString();
      const match = /listening on 127\.0\.0\.1:(\d+)/.exec(seen);
      if (match) {
        clearTimeout(timer);
        resolve({ child, port: Number(match[1]), tracePath, done });
      }
    });
    child.on('close', () => reject(new Error('stand-in ended before listening: ' + seen)));
  });
}

// Runs vantilo in dir; resolves with its exit code, output and run time.
async function runVantilo(dir, onStdout) {
  const started = process.hrtime.bigint();
  const child = spawn(VANTILO, [], { cwd: dir, stdio: ['ignore', 'pipe', 'pipe'] });
  if (onStdout) child.stdout.on('data', (chunk) => onStdout(chunk.toString(), child));
  const result = await finished(child);
  result.seconds = Number(process.hrtime.bigint() - started) / 1e9;
  return result;
}

function readTrace(tracePath) {
  return fs.readFileSync(tracePath, 'utf8').split('\n').filter((line) => line.length > 0)
    .map((line) => JSON.parse(line));
}

// The float bits of the camera heading for a bank in radians, computed as
// the program must: (bank * -180) / 3.1415f widened, then narrowed.
function headingBits(bank) {
  const view = new DataView(new ArrayBuffer(4));
  view.setFloat32(0, (bank * -180.0) / Math.fround(3.1415));
  return '0x' + view.getUint32(0).toString(16).padStart(8, '0');
}

module.exports = {
  BANNER, closedPort, headingBits, readTrace, runVantilo, startStandin, tempDir, writeCfg,
};
