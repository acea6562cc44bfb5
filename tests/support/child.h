#pragma once
// The real programs as child processes for end-to-end tests: started with
// extra environment entries, waited for with a time limit, driven by an
// event script, and a private X server for tests in a real window.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace testsupport {

inline std::string programPath(const char* name) { return std::string(VANDREL_BINARY_DIR) + "/" + name; }

struct Child {
  pid_t pid = -1;
};

// Starts args in the working directory; an extra entry replaces the
// inherited one of the same name.
inline Child startChild(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const std::string& x : extraEnv)
      replaced = replaced || entry.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0;
    if (!replaced) env.push_back(entry);
  }
  for (const std::string& e : extraEnv) env.push_back(e);
  std::vector<char*> argv, envp;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  Child r;
  if (posix_spawn(&r.pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) r.pid = -1;
  return r;
}

// The exit code, or -1 when it did not end within the time (it is killed).
inline int finishChild(Child r, int seconds = 30) {
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

// Writes the event script and returns its environment entry.
inline std::string eventScript(const std::string& text) {
  std::ofstream("events.txt") << text;
  return "VANDREL_EVENT_SCRIPT=" + (std::filesystem::current_path() / "events.txt").string();
}

inline std::string fileText(const char* name) {
  std::ifstream in(name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A private X server: -displayfd lets Xvfb pick a free display number.
class PrivateXServer {
 public:
  // A server that fails to start (two starting at the same moment may pick
  // the same number) is tried again.
  PrivateXServer() {
    for (int attempt = 0; attempt < 5 && display_.empty(); ++attempt) start();
  }
  ~PrivateXServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
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
    // The server writes its number and the newline separately, and ends
    // itself when the second write finds the pipe closed: read the whole line.
    std::string number;
    char c;
    while (pid_ > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) {
      display_ = ":" + number;
    } else if (pid_ > 0) {
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace testsupport
