#include "app/DisplayCheck.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace tavolin {
namespace {

constexpr const char* kHint =
    "outside a desktop session, run it under a virtual X server: xvfb-run -a tavolin "
    "(in the source tree: xvfb-run -a make run)";

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The compositor's socket, as the Wayland client library finds it: an
// absolute WAYLAND_DISPLAY, or a name in XDG_RUNTIME_DIR.
std::string WaylandSocketPath(const std::string& display) {
  if (display.starts_with('/')) return display;
  const std::string runtimeDir = Env("XDG_RUNTIME_DIR");
  return runtimeDir.empty() ? std::string() : runtimeDir + "/" + display;
}

bool CompositorAnswers(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool answered = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return answered;
}

// What is missing, in one line: `wayland` and `x` are what the session
// names, `waylandPath` the socket tried (empty when none could be formed).
std::string Describe(const std::string& x, const std::string& wayland, const std::string& waylandPath) {
  if (x.empty() && wayland.empty()) {
    return std::string("no display found (neither DISPLAY nor WAYLAND_DISPLAY is set); ") + kHint;
  }
  std::string unreachable;
  if (!wayland.empty()) {
    unreachable = "no Wayland compositor at " + (waylandPath.empty() ? "\"" + wayland + "\"" : waylandPath);
  }
  if (!x.empty()) {
    if (!unreachable.empty()) unreachable += ", ";
    unreachable += "the X server at DISPLAY=" + x + " does not answer or refuses the connection";
  }
  return "cannot reach the display (" + unreachable + "); " + kHint;
}

}  // namespace

DisplayCheck::DisplayCheck() {
  if (!Env("QT_QPA_PLATFORM").empty() || !Env("WAYLAND_SOCKET").empty()) return;
  const std::string x = Env("DISPLAY");
  // Qt tries Wayland first in a Wayland session, at the library's default
  // socket when WAYLAND_DISPLAY is not set.
  std::string wayland = Env("WAYLAND_DISPLAY");
  if (wayland.empty() && Env("XDG_SESSION_TYPE") == "wayland") wayland = "wayland-0";
  const std::string waylandPath = wayland.empty() ? std::string() : WaylandSocketPath(wayland);
  if (CompositorAnswers(waylandPath)) return;
  if (!x.empty() && XServerAnswers()) return;
  problem_ = Describe(x, wayland, waylandPath);
}

bool DisplayCheck::XServerAnswers() {
  int screen = 0;
  x_ = xcb_connect(nullptr, &screen);
  return xcb_connection_has_error(x_) == 0;
}

void DisplayCheck::Release() {
  if (x_ != nullptr) xcb_disconnect(x_);
  x_ = nullptr;
}

}  // namespace tavolin
