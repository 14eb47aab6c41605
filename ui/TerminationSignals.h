#pragma once
class QWidget;

namespace tavolin {

// SIGINT and SIGTERM close `window` the same orderly way as its close button,
// so that stopping the program from a terminal loses nothing.
void CloseOnTerminationSignals(QWidget* window);

}  // namespace tavolin
