#pragma once
// The real programs as child processes for end-to-end tests: started with
// extra environment entries, waited for with a time limit, driven by an
// event script, and a private X server for tests in a real window.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/tempdir.h"

extern char** environ;

namespace testsupport {

inline std::string programPath(const char* name) { return std::string(VANDREL_BINARY_DIR) + "/" + name; }

struct Child {
  pid_t pid = -1;
};

// Starts args in the working directory; an extra entry NAME=value replaces
// the inherited one of the same name, a bare NAME removes it.  With a file
// name, the child's stderr goes to that file.
inline Child startChild(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
                        const char* stderrFile = nullptr) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const std::string& x : extraEnv) replaced = replaced || x.substr(0, x.find('=')) == name;
    if (!replaced) env.push_back(entry);
  }
  for (const std::string& e : extraEnv)
    if (e.find('=') != std::string::npos) env.push_back(e);
  std::vector<char*> argv, envp;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  Child r;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (stderrFile)
    posix_spawn_file_actions_addopen(&actions, 2, stderrFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (posix_spawn(&r.pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) r.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return r;
}

// The exit code, or -1 when it did not end within the time (it is killed).
// The default is generous: a heavily loaded machine runs a scripted session
// many times slower than an idle one.
inline int finishChild(Child r, int seconds = 120) {
  if (r.pid <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (waitpid(r.pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(r.pid, SIGKILL);
      waitpid(r.pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Whether the child has ended; it is left for finishChild to collect.
inline bool childEnded(const Child& r) {
  if (r.pid <= 0) return true;
  siginfo_t info{};
  return waitid(P_PID, id_t(r.pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != 0;
}

// Writes the event script and returns its environment entry.
inline std::string eventScript(const std::string& text) {
  std::ofstream("events.txt") << text;
  return "VANDREL_EVENT_SCRIPT=" + (std::filesystem::current_path() / "events.txt").string();
}

// Waits until the child has its own handler for the signal (as its
// /proc status shows), so that a signal sent next is handled by the program
// rather than ending it; false when that did not happen within the time.
inline bool waitForSignalHandler(const Child& r, int signal, int seconds = 60) {
  if (r.pid <= 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  const std::string status = "/proc/" + std::to_string(r.pid) + "/status";
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(status);
    for (std::string line; std::getline(in, line);)
      if (line.rfind("SigCgt:", 0) == 0 &&
          (std::strtoull(line.c_str() + 7, nullptr, 16) >> (signal - 1) & 1) != 0)
        return true;
    if (childEnded(r)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

// A private X server.  -displayfd lets Xvfb pick a free display number; a
// server is only handed out once it is alive and takes connections, and
// one that lost a race for its number, never answered or died at once is
// replaced, a few times at most.
class PrivateXServer {
 public:
  PrivateXServer() {
    for (int attempt = 0; attempt < 6 && display_.empty(); ++attempt) {
      if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100 * attempt));
      start();
    }
  }
  ~PrivateXServer() { stop(); }
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;
  const std::string& display() const { return display_; }

 private:
  void start() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "1024x768x24",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    const std::string number = pid_ > 0 ? readNumber(fds[0]) : "";
    close(fds[0]);
    if (!number.empty() && answers(number)) {
      display_ = ":" + number;
      return;
    }
    stop();
  }

  // The display number the server writes once it is ready; empty when it
  // ends or stays silent for a long time.
  static std::string readNumber(int fd) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 200) < 0 && errno != EINTR) break;
      if (!(p.revents & (POLLIN | POLLHUP))) continue;
      char buffer[32];
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, size_t(n));
      if (text.find('\n') != std::string::npos) break;
    }
    const size_t digits = text.find_first_not_of("0123456789");
    text = text.substr(0, digits);
    return text;
  }

  // Whether the server still runs and accepts a connection on its socket.
  bool answers(const std::string& number) {
    if (!alive()) return false;
    const int s = socket(AF_UNIX, SOCK_STREAM, 0);
    if (s < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "/tmp/.X11-unix/X%s", number.c_str());
    const bool ok = connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(s);
    return ok && alive();
  }

  // Reaps a server that has ended, so that it is not signalled later.
  bool alive() {
    if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) != 0) pid_ = -1;
    return pid_ > 0;
  }

  void stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
    display_.clear();
  }

  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace testsupport
