// The signals that end a session the polite way: SIGINT (Ctrl-C in a
// terminal), SIGTERM (logout, a service manager, kill) and SIGHUP (the
// terminal went away).
//
// The first of them does not end the process: the handler only records the
// signal and writes one byte to a pipe, which the program's event loop
// watches and answers with its normal shutdown (everything saved). A second
// signal, while that shutdown runs or hangs, ends the process at once with
// status 128 + the signal number, as the shell reports a killed program.
//
// One set of handlers per process. Everything the handler does is
// async-signal-safe (an atomic exchange, write, _exit).
#pragma once

namespace platform {

class ShutdownSignals {
 public:
  // Installs the handlers (with SA_RESTART, so slow calls elsewhere are not
  // cut short) and opens the pipe. False when that failed; errno tells why.
  // Installing again while installed does nothing and returns true.
  static bool Install();
  // Restores the previous handlers and closes the pipe.
  static void Uninstall();

  // The pipe's read end, to watch for readability; -1 when not installed.
  static int ReadFd();
  // The first signal received, 0 for none yet; also empties the pipe.
  static int Take();
  // Forgets a received signal, so that the next one counts as the first
  // again (for tests that send several).
  static void Reset();
};

}  // namespace platform
