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

bool XServerAnswers() {
  int screen = 0;
  xcb_connection_t* connection = xcb_connect(nullptr, &screen);
  const bool answered = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return answered;
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

}  // namespace

std::string DisplayProblem() {
  if (!Env("QT_QPA_PLATFORM").empty() || !Env("WAYLAND_SOCKET").empty()) return {};
  const std::string x = Env("DISPLAY");
  // Qt tries Wayland first in a Wayland session, at the library's default
  // socket when WAYLAND_DISPLAY is not set.
  std::string wayland = Env("WAYLAND_DISPLAY");
  if (wayland.empty() && Env("XDG_SESSION_TYPE") == "wayland") wayland = "wayland-0";
  if (x.empty() && wayland.empty()) {
    return std::string("no display found (neither DISPLAY nor WAYLAND_DISPLAY is set); ") + kHint;
  }
  std::string unreachable;
  if (!wayland.empty()) {
    const std::string path = WaylandSocketPath(wayland);
    if (CompositorAnswers(path)) return {};
    unreachable = "no Wayland compositor at " + (path.empty() ? "\"" + wayland + "\"" : path);
  }
  if (!x.empty()) {
    if (XServerAnswers()) return {};
    if (!unreachable.empty()) unreachable += ", ";
    unreachable += "the X server at DISPLAY=" + x + " does not answer or refuses the connection";
  }
  return "cannot reach the display (" + unreachable + "); " + kHint;
}

}  // namespace tavolin
