// The stand-in's standard output as the frame loop writes it: never
// waiting. A simulator does not stop flying because its console is stalled
// (a terminal stopped with Ctrl-S, a pipe nobody reads): what the output
// does not take now waits here, up to a bound, and past it new text is
// refused, for the caller to drop and count. A regular file is written
// through the shell's own description; its writes do not stall.
#ifndef VANTILO_STANDIN_LOG_CONSOLE_H
#define VANTILO_STANDIN_LOG_CONSOLE_H

#include <chrono>
#include <string>

namespace standin {

class Console {
 public:
  Console() = default;
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;
  ~Console();

  // Opens a description of standard output of its own that does not block,
  // when it is a pipe or a terminal (shared descriptions stay as they are:
  // on a terminal, other programs write to them too).
  void Begin();
  // Queues text whole and writes what the output takes now; false, with
  // nothing queued, when the text would pass the bound.
  bool Write(const std::string& text);
  // Writes what waits, as far as the output takes it now.
  void Flush();
  // Whether everything queued has been written.
  bool Idle() const { return pending_.empty(); }
  // At exit: queues text past the bound and waits for the output to take
  // everything, at most bound long (a reader that never comes gets nothing).
  void Finish(const std::string& text, std::chrono::milliseconds bound);

 private:
  int fd_ = 1;
  bool own_ = false;  // fd_ is the description of its own
  std::string pending_;
};

}  // namespace standin

#endif
