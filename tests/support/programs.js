// The built programs as the JavaScript tests and benchmarks run them: the
// stand-in on a free port, a SimConnect.cfg for a port, and the program's
// console text from console_text.txt (the file says how it is laid out).
'use strict';
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');

const START_LIMIT_MS = 10000;
const CONSOLE_TEXT = path.join(__dirname, 'console_text.txt');

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

// Starts the stand-in with --port 0 --no-live and args, playing scenario (a
// text) from dir/scenario.txt and tracing to dir/trace.jsonl when asked.
// Resolves once it listens with { child, port, tracePath, done, stop }: done
// as finished(), stop() sends SIGTERM and returns done. Rejects if it cannot
// start, ends first or does not listen within 10 s (then it is killed).
function startStandin(binary, args, { dir, scenario, trace } = {}) {
  const argv = ['--port', '0', '--no-live'];
  if (scenario !== undefined) {
    fs.writeFileSync(path.join(dir, 'scenario.txt'), scenario);
    argv.push('--scenario', path.join(dir, 'scenario.txt'));
  }
  const tracePath = trace ? path.join(dir, 'trace.jsonl') : undefined;
  if (trace) argv.push('--trace', tracePath);
  const child = spawn(binary, [...argv, ...args], { stdio: ['ignore', 'pipe', 'pipe'] });
  const done = finished(child);
  const stop = () => {
    child.kill('SIGTERM');
    return done;
  };
  return new Promise((resolve, reject) => {  // the first of these calls settles it
    let seen = '';
    const fail = (why) => reject(new Error(`the stand-in ${why}: ${seen}`));
    const timer = setTimeout(() => {
      child.kill('SIGKILL');
      fail(`did not start listening within ${START_LIMIT_MS} ms`);
    }, START_LIMIT_MS);
    child.stderr.on('data', (chunk) => {
      seen += chunk.toString('latin1');
      const match = /^listening on 127\.0\.0\.1:(\d+)\n/m.exec(seen);
      if (!match) return;
      clearTimeout(timer);
      resolve({ child, port: Number(match[1]), tracePath, done, stop });
    });
    child.on('error', (error) => fail(`could not be started (${error.message})`));
    child.on('close', (code, signal) => {
      clearTimeout(timer);
      fail(`ended (${signal || code}) before listening`);
    });
  });
}

// Writes dir/SimConnect.cfg, a [SimConnect] section pointing at 127.0.0.1:port.
function writeCfg(dir, port) {
  fs.writeFileSync(path.join(dir, 'SimConnect.cfg'),
                   `[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=${port}\n`);
}

// The text called name, each {FIELD} replaced by its value in fields.
function consoleText(name, fields = {}) {
  const all = '\n' + fs.readFileSync(CONSOLE_TEXT, 'latin1');
  const marker = `\n-- ${name} --\n`;
  const begin = all.indexOf(marker);
  const end = begin < 0 ? -1 : all.indexOf('\n-- ', begin + marker.length);
  if (end < 0) throw new Error(`${CONSOLE_TEXT}: no text '${name}'`);
  let text = all.slice(begin + marker.length, end);
  for (const [field, value] of Object.entries(fields)) text = text.replaceAll(`{${field}}`, value);
  return text;
}

// The stand-in's trace: one object per line.
const readTrace = (tracePath) => fs.readFileSync(tracePath, 'utf8').split('\n')
  .filter((line) => line.length > 0).map((line) => JSON.parse(line));

module.exports = { consoleText, finished, readTrace, startStandin, writeCfg };
