// Included ahead of every test source of the Windows build: the few POSIX
// names the tests use where Windows has the same thing under another name,
// and the numbers of the signals that Windows does not define, so that the
// tests compile unchanged; the tests that need what Windows lacks skip there.
#pragma once

#ifdef _WIN32

#include <csignal>
#include <cstdlib>
#include <string>

#ifndef SIGHUP
#define SIGHUP 1
#endif
#ifndef SIGKILL
#define SIGKILL 9
#endif
#ifndef SIGPIPE
#define SIGPIPE 13
#endif
#ifndef SIGXFSZ
#define SIGXFSZ 25
#endif

// _putenv_s sets the variable for the C run-time and the system alike, so
// that GetEnvironmentVariableA in the program's code sees it.
inline int setenv(const char* name, const char* value, int overwrite) {
  if (overwrite == 0 && std::getenv(name) != nullptr) return 0;
  return _putenv_s(name, value);
}

// An empty value removes a variable.
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }

// Windows has neither users to own files nor root: the tests that need them
// skip (see unprivileged_unavailable()).
inline int geteuid() { return 1; }
inline int chown(const char* /*path*/, int /*owner*/, int /*group*/) { return -1; }

#endif  // _WIN32
