#include "platform/StagedFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/platform/FileSyncLog.h"

namespace tavolin {
namespace {

// A system crash after Commit leaves the whole new file under the
// destination's name: the contents reach the disk before the rename, and the
// folder that holds the new name after it.
TEST(StagedFile, CommitKeepsTheFileThenRenamesThenKeepsTheFolder) {
  const std::filesystem::path folder = std::filesystem::canonical(std::filesystem::temp_directory_path()) /
                                       ("tavolin-staged-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string destination = (folder / "out.wav").string();
  std::ofstream(destination) << "old";
  StagedFile staged;
  ASSERT_EQ(staged.Stage(destination), "");
  const std::string temporary = staged.WritePath();
  std::ofstream(temporary) << "new";
  test::FileSyncLog().clear();
  ASSERT_EQ(staged.Commit(), "");
  EXPECT_EQ(test::FileSyncLog(),
            (std::vector<std::string>{"fsync " + temporary, "rename " + temporary + " -> " + destination,
                                      "fsync " + folder.string()}));
  std::ifstream in(destination);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tavolin
