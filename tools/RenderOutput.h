#pragma once
// Where tavolin-render's output goes. A file is staged beside itself and
// renamed onto it when complete (platform/StagedFile.h). Standard output
// ("-"), a pipe, a terminal or a device can be neither replaced nor rewound
// to fill in the WAVE header's sizes once they are known: the output is
// staged in the temporary folder instead and copied out, front to back,
// when complete, so a failed render sends nothing.

#include <string>
#include <string_view>

#include "platform/StagedFile.h"

namespace tavolin {

class RenderOutput {
 public:
  // Creates the temporary file. Empty on success, else the reason.
  std::string Stage(const std::string& destination);
  // Where the contents go until Commit.
  const std::string& WritePath() const { return staged_.WritePath(); }
  // Renames the file onto the destination or copies it out. Empty on
  // success, else the reason.
  std::string Commit();

 private:
  StagedFile staged_;
  std::string stream_;  // the destination when it is a stream, else empty
};

// "tavolin-render: FILE: can't write: REASON"
void ReportCantWrite(std::string_view path, std::string_view reason);

}  // namespace tavolin
