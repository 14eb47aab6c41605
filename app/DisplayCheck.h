#pragma once
// Whether the window will find a display, asked before Qt is: Qt ends the
// program with an abort when it can reach none.

#include <string>

namespace tavolin {

// Empty when a display can be reached, or when QT_QPA_PLATFORM names the
// platform (offscreen, for instance); otherwise one line saying what is
// missing and how to run without a desktop session.
std::string DisplayProblem();

}  // namespace tavolin
