// The Windows half of the test helpers' processes: the built programs are
// started with CreateProcess, their output collected through pipes.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>
#include <utility>

#include "support/test_support.h"

namespace lexbuild::testing {

namespace fs = std::filesystem;

namespace {

// What a process that a Ctrl-C or Ctrl-Break event ended returns.
constexpr DWORD kControlCExit = 0xC000013A;

// The process handles of the running programs, by process id.
std::mutex processes_lock;
std::map<int, HANDLE> processes;

HANDLE take_process(int pid) {
  const std::lock_guard lock(processes_lock);
  const auto it = processes.find(pid);
  if (it == processes.end()) return nullptr;
  const HANDLE process = it->second;
  processes.erase(it);
  return process;
}

HANDLE find_process(int pid) {
  const std::lock_guard lock(processes_lock);
  const auto it = processes.find(pid);
  return it == processes.end() ? nullptr : it->second;
}

// One argument as the C run-time of the started program splits it again.
void append_quoted(std::string& line, const std::string& arg) {
  if (!line.empty()) line += ' ';
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
    line += arg;
    return;
  }
  line += '"';
  size_t backslashes = 0;
  for (const char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"')
      line.append(backslashes * 2 + 1, '\\');
    else
      line.append(backslashes, '\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, '\\');
  line += '"';
}

struct CaselessLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return ::_stricmp(a.c_str(), b.c_str()) < 0;
  }
};

std::string environment_block(const RunOptions& options) {
  std::map<std::string, std::string, CaselessLess> env;
  if (char* strings = ::GetEnvironmentStringsA()) {
    for (const char* e = strings; *e != '\0'; e += std::strlen(e) + 1) {
      const std::string entry = e;
      const size_t eq = entry.find('=', 1);  // "=C:=C:\..." names start with '='
      if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    ::FreeEnvironmentStringsA(strings);
  }
  for (const auto& [name, value] : options.env) {
    if (value)
      env[name] = *value;
    else
      env.erase(name);
  }
  std::string block;
  for (const auto& [name, value] : env) {
    block += name + "=" + value;
    block += '\0';
  }
  block += '\0';
  return block;
}

int descriptor_of(HANDLE handle, int flags) {
  return ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
}

void read_all(int fd, std::string& out) {
  if (fd < 0) return;
  char buffer[65536];
  for (;;) {
    const int n = ::_read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, static_cast<size_t>(n));
  }
}

// A Windows console program's standard output and error end their lines
// with CR LF; the tests compare them as written on every system.
std::string without_carriage_returns(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

}  // namespace

TempDir::TempDir() {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate =
        fs::temp_directory_path() / ("lexbuild-test-" + std::to_string(random() % 1000000000));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

RunningProgram start_program(const std::string& binary, const std::vector<std::string>& args,
                             const RunOptions& options) {
  if (options.unprivileged || options.small_folder || options.file_size_limit) {
    throw std::runtime_error("the POSIX-only run options have no Windows counterpart here");
  }
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE out_read = nullptr, out_write = nullptr, err_read = nullptr, err_write = nullptr;
  HANDLE in_read = nullptr, in_write = nullptr;
  if (!::CreatePipe(&out_read, &out_write, &inherit, 0) ||
      !::CreatePipe(&err_read, &err_write, &inherit, 0) ||
      !::CreatePipe(&in_read, &in_write, &inherit, 0)) {
    throw std::runtime_error("CreatePipe failed");
  }
  // The test's own ends stay in the test.
  ::SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);

  std::string line;
  append_quoted(line, binary);
  for (const std::string& arg : args) append_quoted(line, arg);
  std::string env = environment_block(options);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in_read;
  startup.hStdOutput = out_write;
  startup.hStdError = err_write;
  PROCESS_INFORMATION info{};
  // A process group of its own, so that a Ctrl-Break event reaches only it.
  // wine now and then fails a start with ERROR_INTERNAL_ERROR while a fresh
  // prefix settles; such a start is tried again.
  BOOL started = FALSE;
  DWORD error = 0;
  for (int attempt = 0; attempt < 10; ++attempt) {
    started = ::CreateProcessA(
        binary.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP, env.data(),
        options.cwd.empty() ? nullptr : options.cwd.c_str(), &startup, &info);
    error = started ? 0 : ::GetLastError();
    if (started || error != ERROR_INTERNAL_ERROR) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  ::CloseHandle(out_write);
  ::CloseHandle(err_write);
  ::CloseHandle(in_read);
  if (!started) {
    ::CloseHandle(out_read);
    ::CloseHandle(err_read);
    ::CloseHandle(in_write);
    throw std::runtime_error("CreateProcess failed for " + binary + " (error " +
                             std::to_string(error) + ")");
  }
  ::CloseHandle(info.hThread);
  const int pid = static_cast<int>(info.dwProcessId);
  {
    const std::lock_guard lock(processes_lock);
    processes[pid] = info.hProcess;
  }
  return RunningProgram(pid, descriptor_of(out_read, _O_RDONLY), descriptor_of(err_read, _O_RDONLY),
                        descriptor_of(in_write, _O_WRONLY), options.input.value_or(""));
}

RunningProgram::RunningProgram(RunningProgram&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      out_fd_(std::exchange(other.out_fd_, -1)),
      err_fd_(std::exchange(other.err_fd_, -1)),
      in_fd_(std::exchange(other.in_fd_, -1)),
      input_(std::move(other.input_)) {}

RunningProgram::~RunningProgram() {
  if (pid_ < 0) return;
  kill(SIGKILL);
  wait();
}

// SIGKILL ends the program at once; any other signal is the Ctrl-Break event,
// which the program takes as it takes Ctrl-C.
void RunningProgram::kill(int signal) {
  const HANDLE process = find_process(pid_);
  if (process == nullptr) return;
  if (signal == SIGKILL) {
    ::TerminateProcess(process, 128 + SIGKILL);
  } else {
    ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(pid_));
  }
}

ProgramResult RunningProgram::wait() {
  ProgramResult result;
  if (pid_ < 0) return result;
  // Each pipe on a thread of its own: a program that fills one while the
  // test waits on another would never end.
  std::thread out_reader([&] { read_all(out_fd_, result.out); });
  std::thread err_reader([&] { read_all(err_fd_, result.err); });
  if (in_fd_ >= 0) {
    size_t written = 0;
    while (written < input_.size()) {
      const unsigned take = static_cast<unsigned>(std::min<size_t>(input_.size() - written, 65536));
      const int n = ::_write(in_fd_, input_.data() + written, take);
      if (n <= 0) break;  // the program stopped reading
      written += static_cast<size_t>(n);
    }
    ::_close(in_fd_);
  }
  out_reader.join();
  err_reader.join();
  if (out_fd_ >= 0) ::_close(out_fd_);
  if (err_fd_ >= 0) ::_close(err_fd_);
  out_fd_ = err_fd_ = in_fd_ = -1;
  const HANDLE process = take_process(pid_);
  DWORD code = 0;
  if (process != nullptr) {
    ::WaitForSingleObject(process, INFINITE);
    ::GetExitCodeProcess(process, &code);
    ::CloseHandle(process);
  }
  pid_ = -1;
  result.out = without_carriage_returns(result.out);
  result.err = without_carriage_returns(result.err);
  result.status = code == kControlCExit ? 128 + SIGINT : static_cast<int>(code);
  return result;
}

std::optional<std::string> unprivileged_unavailable() {
  return "Windows has no permission bits or unprivileged user to run as";
}

std::optional<std::string> small_folder_unavailable() {
  return "Windows has no tmpfs to mount over a folder";
}

std::optional<std::string> console_events_unavailable() {
  if (::GetConsoleWindow() == nullptr) {
    return "the tests run without a console, so no console control event can be sent";
  }
  const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  if (ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr) {
    return "wine accepts a console control event but delivers it to no process";
  }
  return std::nullopt;
}

}  // namespace lexbuild::testing
