#pragma once
// A private dummy JACK server for one test process (no sound card needed).

#include <rtaudio/RtAudio.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tavolin::test {

using namespace std::chrono_literals;

// The test process is the server's only client. If the test process dies,
// the server is told to stop (SIGTERM), so that none is left running.
// JACK keeps a system-wide registry of eight server slots; a server that dies
// with a client attached may keep its slot until a server of the same name
// starts again.
class JackServer {
 public:
  // `synchronous`: see Start.
  JackServer(std::string name, unsigned int period, unsigned int rate = 44100, bool synchronous = true)
      : name_(std::move(name)), period_(std::to_string(period)), rate_(std::to_string(rate)), sync_(synchronous) {
    // NOLINTBEGIN(concurrency-mt-unsafe): before the server and its clients start
    setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    // NOLINTEND(concurrency-mt-unsafe)
    Start();
  }
  ~JackServer() { Stop(); }

  bool WaitUntilUp() {
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (pid_ > 0 && std::chrono::steady_clock::now() < giveUp) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
      }
      try {
        RtAudio jack(RtAudio::UNIX_JACK);
        if (jack.getDeviceCount() > 0) return true;
      } catch (const std::exception&) {
        return false;
      }
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }

  void Stop() { Signal(SIGTERM); }
  void Kill() { Signal(SIGKILL); }

 private:
  void Start() {
    // Synchronous, with a client timeout of 10 s: each cycle waits for every
    // client, so that a client that the machine's load makes late still
    // sees every MIDI event of the cycle, where an asynchronous server
    // would go on without it and the events would be lost. A client that
    // asks the server something from its process callback (jalv does, when
    // a plugin's latency changes) can hold a synchronous server up for
    // good, so its tests run asynchronously. The arguments are built before
    // the fork: the child of a threaded process must not allocate.
    std::vector<const char*> args{"jackd", "-n", name_.c_str(), "--no-realtime", "--timeout", "10000"};
    if (sync_) args.push_back("--sync");
    for (const char* arg : {"-d", "dummy", "-r", rate_.c_str(), "-p", period_.c_str()}) args.push_back(arg);
    args.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      freopen("/dev/null", "w", stdout);
      freopen("/dev/null", "w", stderr);
      execvp("jackd", const_cast<char* const*>(args.data()));
      _exit(127);
    }
  }

  void Signal(int signal) {
    if (pid_ <= 0) return;
    kill(pid_, signal);
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (waitpid(pid_, nullptr, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > giveUp) kill(pid_, SIGKILL);
      std::this_thread::sleep_for(10ms);
    }
    pid_ = -1;
  }

  std::string name_;
  std::string period_;
  std::string rate_;
  bool sync_;
  pid_t pid_ = -1;
};

// Opening a JACK client asks the server several questions, each with a
// time-out of its own; on a busy machine one of them can run out. Tries
// again until `done` holds of the result, for up to 30 s; returns the last one.
template <typename Attempt, typename Done>
auto Patiently(Attempt attempt, Done done) {
  const auto giveUp = std::chrono::steady_clock::now() + 30s;
  for (;;) {
    auto result = attempt();
    if (done(result) || std::chrono::steady_clock::now() > giveUp) return result;
    std::this_thread::sleep_for(100ms);
  }
}

// A device of the given kind that has opened on the JACK server.
template <typename Open>
auto OpenOnJack(Open open) {
  return Patiently(open, [](const auto& opened) {
    return opened.device != nullptr && std::string(opened.device->BackendName()) == "RtAudio";
  });
}

}  // namespace tavolin::test
