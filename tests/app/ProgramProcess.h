#pragma once
// The real program (TAVOLIN_BIN) started by a test: run to its end with its
// output captured, or left running until the test ends it.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/WaitUntil.h"

namespace tavolin::test {

inline const char* ProgramPath() { return std::getenv("TAVOLIN_BIN"); }

// Variables set in the program's environment; nullopt removes one.
using EnvChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

// Starts the program (or `program`) with `args`; its stdin, stdout and
// stderr are the descriptor and files given (the parent's own when -1 or null).
inline pid_t StartProgram(const std::vector<std::string>& args, const EnvChanges& env, std::FILE* out = nullptr,
                          std::FILE* err = nullptr, int in = -1, const char* program = ProgramPath()) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  for (const auto& [name, value] : env) {
    if (value) {
      setenv(name.c_str(), value->c_str(), 1);  // NOLINT(concurrency-mt-unsafe): the forked child has one thread
    } else {
      unsetenv(name.c_str());  // NOLINT(concurrency-mt-unsafe): the forked child has one thread
    }
  }
  if (in >= 0) dup2(in, STDIN_FILENO);
  if (out) dup2(fileno(out), STDOUT_FILENO);
  if (err) dup2(fileno(err), STDERR_FILENO);
  std::vector<char*> argv{const_cast<char*>(program)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

// The exit code, or -1 when the program did not end by itself in time (it
// is killed then) or ended by a signal.
inline int WaitForExit(pid_t pid) {
  int status = 0;
  if (!WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; })) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Finished {
  int code = -1;
  std::string out;
  std::string err;
};

inline std::string ReadAll(std::FILE* file) {
  std::string text;
  std::rewind(file);
  char buffer[4096];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, n);
  std::fclose(file);
  return text;
}

inline Finished RunProgram(const std::vector<std::string>& args, const EnvChanges& env = {}) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  Finished done;
  done.code = WaitForExit(StartProgram(args, env, out, err));
  done.out = ReadAll(out);
  done.err = ReadAll(err);
  return done;
}

// Runs until the test ends it; killed if the test fails first.
class Program {
 public:
  Program(const std::vector<std::string>& args, const EnvChanges& env) : pid_(StartProgram(args, env)) {}
  ~Program() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // Ends it as a desktop session would; its exit code.
  int Terminate() {
    kill(pid_, SIGTERM);
    const int code = WaitForExit(pid_);
    pid_ = -1;
    return code;
  }

 private:
  pid_t pid_ = -1;
};

}  // namespace tavolin::test
