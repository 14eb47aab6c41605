#pragma once
// An output file written under a temporary name beside its destination and
// renamed onto it only when complete, so that a failed or interrupted write
// leaves neither a partial file nor a changed old one.
//
// A destination that exists and is neither a regular file nor a directory
// (/dev/null, a pipe) is written directly: it cannot be replaced, nor left
// partial.

#include <string>

namespace tavolin {

class StagedFile {
 public:
  StagedFile() = default;
  ~StagedFile();  // removes a temporary file that was not committed
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  // Creates the empty temporary file for `destination`. Empty on success,
  // else the reason, in the system's words.
  std::string Stage(const std::string& destination);
  // Where the contents go until Commit.
  const std::string& WritePath() const { return writePath_; }
  // Has the disk keep the temporary file, renames it onto the destination
  // and has the disk keep the new name. Empty on success, else the reason
  // (the temporary file is removed when the rename did not happen).
  std::string Commit();
  void Discard();

  // Has SIGINT, SIGTERM and SIGHUP (those not ignored) remove the file staged
  // last before the process ends as the signal would have ended it.
  static void RemoveOnTerminationSignals();

 private:
  std::string destination_;
  std::string writePath_;
  bool staged_ = false;  // writePath_ is a temporary file of ours
};

}  // namespace tavolin
