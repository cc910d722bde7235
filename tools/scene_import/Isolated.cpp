#include "tools/scene_import/Isolated.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace

bool readIsolated(const std::string& path, const ReadOptions& options, Model& model,
                  std::string& error) {
  int fds[2];
  if (pipe(fds) != 0) return readModel(path, options, model, error);
  std::fflush(stdout);
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
  std::string reply;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    reply.append(buffer, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
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
