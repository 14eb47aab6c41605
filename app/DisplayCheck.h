#pragma once
// Whether the window will find a display, asked before Qt is: Qt ends the
// program with an abort when it can reach none.

#include <string>

struct xcb_connection_t;

namespace tavolin {

// The check keeps its connection to the X server until Release: an X server
// that has no other client resets when the last one leaves, and in that
// moment it would refuse the connection that Qt opens next.
class DisplayCheck {
 public:
  DisplayCheck();
  ~DisplayCheck() { Release(); }
  DisplayCheck(const DisplayCheck&) = delete;
  DisplayCheck& operator=(const DisplayCheck&) = delete;

  // Empty when a display can be reached, or when QT_QPA_PLATFORM names the
  // platform (offscreen, for instance); otherwise one line saying what is
  // missing and how to run without a desktop session.
  const std::string& Problem() const { return problem_; }
  // Call once Qt has its own connection.
  void Release();

 private:
  bool XServerAnswers();

  std::string problem_;
  xcb_connection_t* x_ = nullptr;
};

}  // namespace tavolin
