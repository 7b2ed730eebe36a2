// Terminal control with plain escape sequences: DECSTBM (ESC [ top ; bottom r)
// for the scroll region, ESC 7 / ESC 8 to save and restore the cursor.
#include "standin/live/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>

namespace standin {

namespace {

// How long the terminal's restoring may wait at exit for a stalled terminal.
const auto kRestoreWait = std::chrono::milliseconds(1000);

volatile std::sig_atomic_t pendingSignal = 0;
volatile std::sig_atomic_t resized = 0;

void OnStop(int signal) { pendingSignal = signal; }
void OnResize(int) { resized = 1; }

}  // namespace

bool OutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: poll() returns at once
  // Every signal that would end the process at once: a closed terminal
  // window (SIGHUP) and Ctrl-\ (SIGQUIT) too, so that the terminal is
  // restored, the summary printed and the files written whole.
  for (int ending : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    sigaction(ending, &action, nullptr);
  }
  action.sa_handler = OnResize;
  sigaction(SIGWINCH, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

int PendingSignal() { return pendingSignal; }

bool TakeResize() {
  bool was = resized != 0;
  resized = 0;
  return was;
}

bool Terminal::BeginKeys() {
  // A background job touching the terminal's modes would be stopped (SIGTTOU).
  if (isatty(STDIN_FILENO) != 1 || tcgetpgrp(STDIN_FILENO) != getpgrp()) {
    return false;
  }
  if (tcgetattr(STDIN_FILENO, &saved_) != 0) {
    return false;
  }
  termios raw = saved_;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));  // ISIG stays: Ctrl-C still stops
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) {
    return false;
  }
  keys_ = true;
  return true;
}

void Terminal::Write(const std::string& text) { console_->Write(text); }

void Terminal::BeginLive(int viewLines, Console* console) {
  live_ = true;
  console_ = console;
  viewLines_ = viewLines;
  Write("\x1b[H\x1b[2J");
  SetScrollRegion();
}

void Terminal::SetScrollRegion() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0) {
    rows_ = size.ws_row;
    columns_ = size.ws_col;
  }
  int top = viewLines_ + 1;
  Write("\x1b[" + std::to_string(top) + ";" + std::to_string(rows_) + "r\x1b[" +
        std::to_string(top) + ";1H");
}

void Terminal::Draw(const std::vector<std::string>& lines) {
  if (!live_) {
    return;
  }
  if (!console_->Idle()) {
    console_->Flush();
    return;
  }
  if (TakeResize()) {
    SetScrollRegion();
  }
  std::string frame =
      "\x1b"
      "7";
  for (std::size_t i = 0; i < lines.size() && static_cast<int>(i) < viewLines_; ++i) {
    std::string line =
        lines[i].substr(0, static_cast<std::size_t>(columns_ > 1 ? columns_ - 1 : 1));
    frame += "\x1b[" + std::to_string(i + 1) + ";1H" + line + "\x1b[K";
  }
  frame +=
      "\x1b"
      "8";
  Write(frame);
}

int Terminal::ReadKey() {
  unsigned char key = 0;
  return read(STDIN_FILENO, &key, 1) == 1 ? key : -1;
}

void Terminal::Restore() {
  if (live_) {
    console_->Finish("\x1b[r\x1b[" + std::to_string(rows_) + ";1H\x1b[?25h\n", kRestoreWait);
    live_ = false;
  }
  if (keys_) {
    tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    keys_ = false;
  }
}

}  // namespace standin
