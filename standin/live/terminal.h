// The terminal: keys read one at a time in raw mode, and the live view drawn
// in the top lines while a scroll region below keeps other programs' text
// scrolling underneath. Restore() puts everything back; signals only set
// flags, so the main loop ends normally and restores the terminal.
#ifndef VANTILO_STANDIN_LIVE_TERMINAL_H
#define VANTILO_STANDIN_LIVE_TERMINAL_H

#include <termios.h>

#include <string>
#include <vector>

#include "standin/log/console.h"

namespace standin {

class Terminal {
 public:
  Terminal() = default;
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;
  ~Terminal() { Restore(); }

  // Raw keys from standard input when it is a terminal we own (foreground).
  bool BeginKeys();
  // The live view on standard output, through console, viewLines tall,
  // above a scroll region.
  void BeginLive(int viewLines, Console* console);
  // Draws the view's lines with one write, the cursor saved and restored;
  // skipped while the last one has not all been written (a stalled terminal).
  void Draw(const std::vector<std::string>& lines);
  // One key, or -1 when none is waiting.
  int ReadKey();
  void Restore();
  bool keys() const { return keys_; }

 private:
  void SetScrollRegion();

  void Write(const std::string& text);

  Console* console_ = nullptr;
  bool keys_ = false;
  bool live_ = false;
  termios saved_{};
  int viewLines_ = 0;
  int rows_ = 24;
  int columns_ = 80;
};

// Standard output is a terminal (the live view makes sense).
bool OutputIsTerminal();

// SIGINT, SIGTERM, SIGHUP and SIGQUIT set a flag; SIGWINCH asks for a
// redraw of the layout.
void InstallSignalHandlers();
int PendingSignal();  // 0 when none
bool TakeResize();

}  // namespace standin

#endif
