#pragma once
// What the code under test asks of the disk: a test program linked with
// FileSyncLog.cpp logs each fsync, fdatasync and rename it makes, in order,
// by the files they name, and then passes the call on to the C library.

#include <string>
#include <vector>

namespace tavolin::test {

// "fsync PATH", "fdatasync PATH", "rename FROM -> TO"; single-threaded tests only.
std::vector<std::string>& FileSyncLog();

}  // namespace tavolin::test
