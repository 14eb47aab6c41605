// tavolin-jack-xruns: counts the xruns of the JACK server it connects to
// (JACK_DEFAULT_SERVER, or the default server), from the moment it says
// "counting" on stderr. SIGUSR1 prints the count so far on stdout; SIGINT or
// SIGTERM print the final count and end. Exit code 1 when it could not connect or the server went away.
//
// It registers no process callback, so the server never waits for it: it
// cannot cause the xruns it counts.

#include <jack/jack.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

std::atomic<unsigned long> xruns{0};
std::atomic<bool> serverGone{false};

int CountXrun(void*) {
  xruns.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

void ServerGone(void*) {
  serverGone.store(true, std::memory_order_relaxed);
  kill(getpid(), SIGTERM);  // ends the sigwait below
}

// A busy machine can make the first connection time out: tries for 30 s.
jack_client_t* Connect() {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    jack_status_t status{};
    if (jack_client_t* client = jack_client_open("tavolin-jack-xruns", JackNoStartServer, &status)) return client;
    if (std::chrono::steady_clock::now() > giveUp) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

}  // namespace

int main() {
  // Blocked before libjack starts its threads, so that they inherit the mask
  // and only the sigwait below takes these signals.
  sigset_t handled;
  sigemptyset(&handled);
  sigaddset(&handled, SIGINT);
  sigaddset(&handled, SIGTERM);
  sigaddset(&handled, SIGHUP);
  sigaddset(&handled, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &handled, nullptr);

  jack_client_t* client = Connect();
  if (client == nullptr) {
    std::fprintf(stderr, "tavolin-jack-xruns: no JACK server to connect to\n");
    return 1;
  }
  jack_set_xrun_callback(client, CountXrun, nullptr);
  jack_on_shutdown(client, ServerGone, nullptr);
  if (jack_activate(client) != 0) {
    std::fprintf(stderr, "tavolin-jack-xruns: could not activate the client\n");
    jack_client_close(client);
    return 1;
  }
  std::fprintf(stderr, "tavolin-jack-xruns: counting (period %u frames at %u Hz)\n", jack_get_buffer_size(client),
               jack_get_sample_rate(client));

  int signal = 0;
  while (sigwait(&handled, &signal) == 0 && signal == SIGUSR1 && !serverGone.load(std::memory_order_relaxed)) {
    std::printf("JACK xruns so far: %lu\n", xruns.load(std::memory_order_relaxed));
    std::fflush(stdout);
  }
  const unsigned long count = xruns.load(std::memory_order_relaxed);
  if (serverGone.load(std::memory_order_relaxed)) {
    std::printf("JACK xruns: %lu (the server went away)\n", count);
    return 1;
  }
  std::printf("JACK xruns: %lu\n", count);
  jack_client_close(client);
  return 0;
}
