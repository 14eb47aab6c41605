// The sound module's recording never replaces a file: it takes the first
// free name of PATH, PATH-2, PATH-3 ..., numbered before the extension.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "headless/RecordingName.h"

namespace tavolin {
namespace {

TEST(RecordingName, TheFirstFreeNameIsClaimedAndNoFileIsReplaced) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tavolin-recording-name-test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "takes.d");
  struct Case {
    std::string asked;
    std::vector<std::string> there;
    std::string given;
  } cases[] = {
      {"take.wav", {}, "take.wav"},
      {"take.wav", {"take.wav"}, "take-2.wav"},
      {"take.wav", {"take.wav", "take-2.wav"}, "take-3.wav"},
      {"take", {"take"}, "take-2"},
      {"takes.d/take", {"takes.d/take"}, "takes.d/take-2"},
  };
  for (const Case& c : cases) {
    for (const std::string& name : c.there) std::ofstream(dir / name) << "kept";
    std::string error;
    EXPECT_EQ(ClaimRecordingName((dir / c.asked).string(), error), (dir / c.given).string()) << error;
    EXPECT_TRUE(std::filesystem::exists(dir / c.given));
    for (const std::string& name : c.there) EXPECT_EQ(std::filesystem::file_size(dir / name), 4u) << name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "takes.d");
  }
  std::string error;
  EXPECT_FALSE(ClaimRecordingName((dir / "missing" / "take.wav").string(), error));
  EXPECT_NE(error.find("missing/take.wav: No such file or directory"), std::string::npos) << error;
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tavolin
