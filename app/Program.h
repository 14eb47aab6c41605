#pragma once
// The program once Qt is up: the main window, the engine behind it and every
// link between them, made in the order start-up needs. `main` runs it, and
// so do the tests of the program's wiring.

#include "app/CommandLine.h"
#include "host/App.h"
#include "ui/MainWindow.h"

namespace tavolin {

// The window's links to a started engine, all of them.
WindowLinks WindowLinksOf(App& app);

// Shows the window, starts the engine, links the window to it and opens what
// the command line asks for; runs until the window is closed, then shuts
// down. The exit code: 0 after a close, 1 when start-up failed (the user has
// been told).
int RunProgram(const CommandLine& options);

}  // namespace tavolin
