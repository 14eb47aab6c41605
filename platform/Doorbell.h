#pragma once
// A doorbell from any thread to the window thread: ringing never blocks,
// never allocates and takes no lock (so the audio and MIDI threads may ring
// it), and rings that come before the window thread answers make one. The
// window thread watches Fd() (a QSocketNotifier) and calls Clear() when it
// answers. An eventfd.

namespace tavolin {

class Doorbell {
 public:
  Doorbell();
  ~Doorbell();
  Doorbell(const Doorbell&) = delete;
  Doorbell& operator=(const Doorbell&) = delete;

  // -1 when the system gave none; ringing then does nothing.
  int Fd() const { return fd_; }
  // Any thread.
  void Ring();
  // The thread that answers.
  void Clear();

 private:
  int fd_ = -1;
};

}  // namespace tavolin
