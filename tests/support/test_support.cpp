#include "support/test_support.h"

// Windows: the processes, TempDir's creation and the privileged options are
// in process_win32.cpp.
#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "main/run_sequence.h"

#ifndef _WIN32
extern char** environ;
#endif

namespace lexbuild::testing {

namespace fs = std::filesystem;

#ifndef _WIN32
TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "lexbuild-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}
#endif

TempDir::~TempDir() {
  std::error_code ignored;
  // Folders made read-only by a test must be writable again to be removed.
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

std::string TempDir::file(std::string_view name) const {
#ifdef _WIN32
  // Paths as the program forms them there: every separator a backslash.
  std::string path = path_ + "\\" + std::string(name);
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
#else
  return path_ + "/" + std::string(name);
#endif
}

std::vector<uint8_t> read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string read_text(const std::string& path) {
  const std::vector<uint8_t> bytes = read_bytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void write_text(const std::string& path, std::string_view text) {
  write_bytes(path, bytes_of(text));
}

std::vector<uint8_t> bytes_of(std::string_view text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> hex_bytes(std::string_view hex) {
  std::vector<uint8_t> bytes;
  int high = -1;
  for (char c : hex) {
    int v;
    if (c >= '0' && c <= '9')
      v = c - '0';
    else if (c >= 'a' && c <= 'f')
      v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      v = c - 'A' + 10;
    else
      continue;
    if (high < 0) {
      high = v;
    } else {
      bytes.push_back(static_cast<uint8_t>(high * 16 + v));
      high = -1;
    }
  }
  return bytes;
}

std::string to_hex(const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) text += ' ';
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 15];
  }
  return text;
}

bool exists(const std::string& path) { return fs::exists(path); }

std::vector<std::string> list_folder(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

#ifndef _WIN32
namespace {

void drain(int fd, std::string& out) {
  char buffer[65536];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  if (n > 0) out.append(buffer, static_cast<size_t>(n));
}

}  // namespace

namespace {

struct Unprivileged {
  uid_t uid = 65534;
  gid_t gid = 65534;
};

Unprivileged unprivileged_user() {
  Unprivileged user;
  if (const passwd* entry = ::getpwnam("nobody")) {
    user.uid = entry->pw_uid;
    user.gid = entry->pw_gid;
  }
  return user;
}

// In the child before exec: only async-signal-safe calls.
[[noreturn]] void setup_failed(const char* what) {
  const int error = errno;
  const char* reason = std::strerror(error);
  for (const char* part : {what, ": ", reason, "\n"}) {
    if (::write(2, part, std::strlen(part)) < 0) break;  // nowhere left to tell
  }
  ::_exit(kChildSetupFailed);
}

}  // namespace

RunningProgram start_program(const std::string& binary, const std::vector<std::string>& args,
                             const RunOptions& options) {
  int out_pipe[2];
  int err_pipe[2];
  int in_pipe[2] = {-1, -1};
  if (::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0) throw std::runtime_error("pipe failed");
  if (options.input) {
    if (::pipe(in_pipe) != 0) throw std::runtime_error("pipe failed");
    // The test writes while it collects the output; a program that stops
    // reading early must not end the test with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    ::fcntl(in_pipe[1], F_SETFL, O_NONBLOCK);
    ::fcntl(in_pipe[1], F_SETFD, FD_CLOEXEC);
  }

  // Build argv and envp before forking.
  std::vector<std::string> argv_strings{binary};
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_strings) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    const size_t eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& [name, value] : options.env) {
    if (value)
      env[name] = *value;
    else
      env.erase(name);
  }
  std::vector<std::string> env_strings;
  for (const auto& [name, value] : env) env_strings.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);

  const bool drop_privileges = options.unprivileged && ::geteuid() == 0;
  const Unprivileged user = drop_privileges ? unprivileged_user() : Unprivileged{};
  const std::string mount_data =
      options.small_folder ? "size=" + std::to_string(options.small_folder->size) + ",mode=0777"
                           : std::string();

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::dup2(out_pipe[1], 1);
    ::dup2(err_pipe[1], 2);
    ::close(out_pipe[0]);
    ::close(err_pipe[0]);
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    if (in_pipe[0] >= 0) {
      ::dup2(in_pipe[0], 0);
      ::close(in_pipe[0]);
    } else {
      const int null_in = ::open("/dev/null", O_RDONLY);
      if (null_in >= 0) ::dup2(null_in, 0);
    }
    // The program meets signals as from a terminal, whatever the test runner
    // ignores or blocks (nohup, say).
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
      ::signal(signal_number, SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (options.small_folder) {
      // A private mount namespace: the mount goes with the child and is
      // never seen by the rest of the system.
      if (::unshare(CLONE_NEWNS) != 0) setup_failed("unshare");
      if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        setup_failed("mount private");
      }
      if (::mount("tmpfs", options.small_folder->path.c_str(), "tmpfs", 0, mount_data.c_str()) !=
          0) {
        setup_failed("mount tmpfs");
      }
    }
    if (drop_privileges) {
      if (::setgroups(0, nullptr) != 0) setup_failed("setgroups");
      if (::setgid(user.gid) != 0) setup_failed("setgid");
      if (::setuid(user.uid) != 0) setup_failed("setuid");
    }
    if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) setup_failed("chdir");
    if (options.file_size_limit) {
      ::signal(SIGXFSZ, SIG_IGN);
      struct rlimit limit {};
      limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(*options.file_size_limit);
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ::execve(binary.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);
  if (in_pipe[0] >= 0) ::close(in_pipe[0]);
  return RunningProgram(pid, out_pipe[0], err_pipe[0], in_pipe[1], options.input.value_or(""));
}

RunningProgram::RunningProgram(RunningProgram&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      out_fd_(std::exchange(other.out_fd_, -1)),
      err_fd_(std::exchange(other.err_fd_, -1)),
      in_fd_(std::exchange(other.in_fd_, -1)),
      input_(std::move(other.input_)) {}

RunningProgram::~RunningProgram() {
  if (pid_ < 0) return;
  ::kill(pid_, SIGKILL);
  wait();
}

void RunningProgram::kill(int signal) {
  if (pid_ >= 0) ::kill(pid_, signal);
}

ProgramResult RunningProgram::wait() {
  ProgramResult result;
  if (pid_ < 0) return result;
  struct pollfd fds[3] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}, {in_fd_, POLLOUT, 0}};
  size_t written = 0;
  if (in_fd_ >= 0 && input_.empty()) {
    ::close(in_fd_);
    fds[2].fd = -1;
  }
  int open_count = 2;
  while (open_count > 0) {
    if (::poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[2].fd >= 0 && fds[2].revents != 0) {
      const ssize_t n = ::write(fds[2].fd, input_.data() + written,
                                std::min<size_t>(input_.size() - written, 65536));
      if (n > 0) written += static_cast<size_t>(n);
      if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == input_.size()) {
        ::close(fds[2].fd);  // all given, or the program stopped reading
        fds[2].fd = -1;
      }
    }
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || fds[k].revents == 0) continue;
      std::string& sink = k == 0 ? result.out : result.err;
      const size_t before = sink.size();
      drain(fds[k].fd, sink);
      if (sink.size() == before) {  // end of stream
        ::close(fds[k].fd);
        fds[k].fd = -1;
        --open_count;
      }
    }
  }
  for (const pollfd& fd : fds) {
    if (fd.fd >= 0) ::close(fd.fd);
  }
  out_fd_ = err_fd_ = in_fd_ = -1;
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

#endif  // _WIN32

std::vector<uint8_t> database_without_dates(std::vector<uint8_t> database) {
  // The two dates follow the 32-byte name and the attribute and version fields.
  constexpr size_t kDatesOffset = 36;
  constexpr size_t kDatesSize = 8;
  if (database.size() >= kDatesOffset + kDatesSize) {
    std::fill_n(database.begin() + kDatesOffset, kDatesSize, 0);
  }
  return database;
}

ProgramResult run_program(const std::string& binary, const std::vector<std::string>& args,
                          const RunOptions& options) {
  ProgramResult result = start_program(binary, args, options).wait();
  // A sanitizer build's program that met a memory fault, a leak or undefined
  // behaviour fails the test, whatever else the test looks at.
  for (const char* report : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"}) {
    if (result.err.find(report) != std::string::npos) {
      throw std::runtime_error(binary + " reported a fault (status " +
                               std::to_string(result.status) + "):\n" + result.err);
    }
  }
  return result;
}

RunningProgram start_lexbuild(const TempDir& dir, const std::vector<std::string>& args,
                              RunOptions options) {
  if (options.cwd.empty()) options.cwd = dir.path();
  options.env.try_emplace("TEMP", dir.path());
  options.env.try_emplace("TMP", dir.path());
  return start_program(LEXBUILD_BINARY, args, options);
}

ProgramResult run_lexbuild(const TempDir& dir, const std::vector<std::string>& args,
                           RunOptions options) {
  return start_lexbuild(dir, args, std::move(options)).wait();
}

void make_accessible(const std::string& folder, bool writable) {
  fs::permissions(folder, writable ? fs::perms::all
                                   : fs::perms::owner_all | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read |
                                         fs::perms::others_exec);
}

#ifndef _WIN32
std::optional<std::string> unprivileged_unavailable() {
  static const std::optional<std::string> reason = []() -> std::optional<std::string> {
    if (::geteuid() != 0) {
      // Already unprivileged: the bits must stop a write, as they do
      // unless the process holds a capability that overrides them.
      TempDir dir;
      write_text(dir.file("locked"), "");
      fs::permissions(dir.file("locked"), fs::perms::owner_read);
      const int fd = ::open(dir.file("locked").c_str(), O_WRONLY);
      if (fd >= 0) {
        ::close(fd);
        return "permission bits do not stop this user's writes";
      }
      return std::nullopt;
    }
    TempDir dir;
    make_accessible(dir.path(), false);
    RunOptions options;
    options.cwd = dir.path();
    options.unprivileged = true;
    const ProgramResult r = run_program(LEXBUILD_BINARY, {"--version"}, options);
    if (r.status == 0) return std::nullopt;
    return "the unprivileged user cannot run " + std::string(LEXBUILD_BINARY) + " (status " +
           std::to_string(r.status) + ": " + r.err + ")";
  }();
  return reason;
}

std::optional<std::string> small_folder_unavailable() {
  static const std::optional<std::string> reason = []() -> std::optional<std::string> {
    TempDir dir;
    RunOptions options;
    options.cwd = dir.path();
    options.small_folder = SmallFolder{dir.path(), 64 * 1024};
    const ProgramResult r = run_program(LEXBUILD_BINARY, {"--version"}, options);
    if (r.status == 0) return std::nullopt;
    return "no tmpfs can be mounted for the program (status " + std::to_string(r.status) + ": " +
           r.err + ")";
  }();
  return reason;
}

#endif  // _WIN32

std::string banner() { return std::string(kBanner) + "\n"; }

}  // namespace lexbuild::testing
