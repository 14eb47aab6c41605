#pragma once
// The host calls the plugin from C: an exception must not cross back into
// it. Every entry point runs its body through CatchAll, which gives a
// fixed answer instead (out of memory in instantiate: no instance).

#include <type_traits>

namespace tavolin {

template <typename Body, typename Result = std::invoke_result_t<Body>>
Result CatchAll(std::type_identity_t<Result> failed, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return failed;
  }
}

template <typename Body>
void CatchAll(Body&& body) noexcept {
  try {
    body();
  } catch (...) {  // NOLINT(bugprone-empty-catch): nothing is left to undo, and the host takes no answer
  }
}

}  // namespace tavolin
