#pragma once
class QWidget;

namespace tavolin {

// SIGINT, SIGTERM, SIGHUP (unless ignored, as under nohup) and SIGQUIT close
// `window` the same orderly way as its close button, so that stopping the
// program from a terminal, or closing the terminal, loses nothing: a running
// recording is finished.
void CloseOnTerminationSignals(QWidget* window);

}  // namespace tavolin
