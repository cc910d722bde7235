#include "tools/scene_import/Isolated.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <new>

namespace sceneimport {

namespace {

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif
#else
constexpr bool sanitized = false;
#endif

[[noreturn]] void child(int fd, const std::string& path, const ReadOptions& options) {
  // The library's own complaints would add lines to the one the tool prints;
  // a sanitizer's report is wanted where one runs.
  if (!sanitized) {
    const int quiet = open("/dev/null", O_WRONLY);
    if (quiet >= 0) dup2(quiet, STDERR_FILENO);
  }
  // Address space the sanitizer reserves would trip any limit.
  if (!sanitized) {
    const rlim_t limit = rlim_t{12} << 30;
    rlimit r{limit, limit};
    setrlimit(RLIMIT_AS, &r);
  }
  std::string reply;
  try {
    Model model;
    std::string error;
    reply = readModel(path, options, model, error) ? "K" + serialize(model) : "E" + error;
  } catch (const std::bad_alloc&) {
    reply = "Enot enough memory to read it";
  } catch (const std::exception& e) {
    reply = std::string("Ethe import library failed on it: ") + e.what();
  }
  _exit(writeAll(fd, reply) ? 0 : 3);
}

std::uint64_t residentBytes(pid_t pid) {
  std::FILE* statm = std::fopen(("/proc/" + std::to_string(pid) + "/statm").c_str(), "r");
  if (!statm) return 0;
  unsigned long long pages = 0, resident = 0;
  const int read = std::fscanf(statm, "%llu %llu", &pages, &resident);
  std::fclose(statm);
  return read == 2 ? resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) : 0;
}

}  // namespace

bool readIsolated(const std::string& path, const ReadOptions& options, Model& model,
                  std::string& error) {
  int fds[2];
  if (pipe(fds) != 0) return readModel(path, options, model, error);
  std::fflush(stdout);
  // The child starts with the pages it shares with this process; only what
  // it adds counts against its budget.
  const std::uint64_t shared = residentBytes(getpid());
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return readModel(path, options, model, error);
  }
  if (pid == 0) {
    close(fds[0]);
    child(fds[1], path, options);
  }
  close(fds[1]);
  // A damaged count can send the library allocating for a minute; a sound
  // file needs far less than this (about 20 times its size, seen).
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  const std::uint64_t budget = (std::uint64_t{256} << 20) + 64 * std::uint64_t{ec ? 0 : size};
  bool tooLarge = false;
  std::string reply;
  char buffer[1 << 16];
  pollfd ready{fds[0], POLLIN, 0};
  for (;;) {
    const int events = poll(&ready, 1, 20);
    if (events < 0 && errno != EINTR) break;
    if (events > 0) {
      const ssize_t n = read(fds[0], buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      reply.append(buffer, static_cast<std::size_t>(n));
    }
    if (residentBytes(pid) > shared + budget) {
      tooLarge = true;
      kill(pid, SIGKILL);
      break;
    }
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (tooLarge) {
    error = "the import library needed more than " + std::to_string(budget >> 20) +
            " MB to read it (is the file damaged?)";
    return false;
  }
  if (WIFSIGNALED(status)) {
    const int sig = WTERMSIG(status);
    error = "the import library crashed reading it (" + std::string(strsignal(sig)) + ")";
    return false;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || reply.empty()) {
    error = "the import library ended reading it (status " +
            std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
    return false;
  }
  if (reply[0] == 'E') {
    error = reply.substr(1);
    return false;
  }
  if (!deserialize(reply.substr(1), model)) {
    error = "the import library's reply was cut short";
    return false;
  }
  return true;
}

}  // namespace sceneimport
