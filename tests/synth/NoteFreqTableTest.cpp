#include <gtest/gtest.h>

#include "synth/NoteFreqTable.h"

namespace tavolin {
namespace {

TEST(NoteFreqTable, WideSemitoneScaleAroundA440) {
  NoteFreqTable table{};
  BuildNoteFreqTable(table);
  EXPECT_EQ(table[45], 440.0);
  // Exact doubles: each entry is its neighbour times the widened 1.0595.
  EXPECT_EQ(table[57], 880.3677113442322);
  EXPECT_EQ(table[33], 219.9081105602934);
  EXPECT_EQ(table[0], 32.652002147182976);
  EXPECT_EQ(table[119], 31690.067010995113);
  EXPECT_NE(table[57], 880.0);
  for (int i = 1; i < kNoteFreqCount; ++i) EXPECT_LT(table[i - 1], table[i]) << i;
}

}  // namespace
}  // namespace tavolin
