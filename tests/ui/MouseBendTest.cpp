#include "ui/MouseBend.h"

#include <gtest/gtest.h>

namespace tavolin {
namespace {

// A cursor the test moves; the drag puts it back.
struct FakeCursor final : CursorPort {
  ScreenPoint Position() override { return at; }
  void MoveTo(ScreenPoint point) override {
    at = point;
    ++moves;
  }
  ScreenPoint at{300, 400};
  int moves = 0;
};

class MouseBendTest : public ::testing::Test {
 protected:
  bool Move(int dy, bool left, bool right) {
    cursor.at.y += dy;
    return DragMove(drag, synth, master, left, right, now, cursor);
  }

  Synth synth;
  MasterChain master;
  DragState drag;
  FakeCursor cursor;
  uint32_t now = 10'000;
};

TEST_F(MouseBendTest, UpwardMotionRaisesAndReleaseSpringsBack) {
  BeginDrag(drag, cursor);
  EXPECT_TRUE(Move(-100, true, false));
  EXPECT_DOUBLE_EQ(synth.PitchBend.load(), 0.2);
  EXPECT_EQ(cursor.at.y, 400);  // back at the anchor
  EndDrag(drag, synth, false, cursor);
  EXPECT_EQ(synth.PitchBend.load(), 0.0);
  EXPECT_FALSE(drag.captured);
}

// One step per 50 ms at most; the motion in between is measured at the next step.
TEST_F(MouseBendTest, StepsAreFiftyMillisecondsApartAndLoseNoMotion) {
  BeginDrag(drag, cursor);
  EXPECT_TRUE(Move(10, true, false));
  now += 50;
  EXPECT_FALSE(Move(10, true, false));
  EXPECT_DOUBLE_EQ(synth.PitchBend.load(), -0.02);
  now += 1;
  EXPECT_TRUE(Move(10, true, false));
  EXPECT_DOUBLE_EQ(synth.PitchBend.load(), -0.06);
}

TEST_F(MouseBendTest, RightButtonShiftsAndBothButtonsOnlyBend) {
  BeginDrag(drag, cursor);
  Move(-10, false, true);
  EXPECT_DOUBLE_EQ(synth.PitchShift.load(), 0.05);
  now += 100;
  Move(-10, true, true);
  EXPECT_DOUBLE_EQ(synth.PitchBend.load(), 0.02);
  EXPECT_DOUBLE_EQ(synth.PitchShift.load(), 0.05);
  // One button still down: no spring-back, and the mouse is let go.
  EndDrag(drag, synth, true, cursor);
  EXPECT_DOUBLE_EQ(synth.PitchBend.load(), 0.02);
  now += 100;
  EXPECT_FALSE(Move(-10, true, false));
  EXPECT_DOUBLE_EQ(synth.PitchBend.load(), 0.02);
}

TEST_F(MouseBendTest, NoRepaintWhileTheDisplayIsOffAndNoStepWithoutCapture) {
  EXPECT_FALSE(Move(-10, true, false));
  EXPECT_EQ(synth.PitchBend.load(), 0.0);
  BeginDrag(drag, cursor);
  master.DisplayRefreshOn.store(0);
  EXPECT_FALSE(Move(-10, true, false));
  EXPECT_DOUBLE_EQ(synth.PitchBend.load(), 0.02);
  now += 100;
  Move(5, false, false);  // a move with no button: nothing
  EXPECT_DOUBLE_EQ(synth.PitchBend.load(), 0.02);
}

// Where the cursor cannot be moved back, each step counts only new motion.
TEST_F(MouseBendTest, ACursorThatStaysWhereItIsCountsMotionOnce) {
  struct StuckCursor final : CursorPort {
    ScreenPoint Position() override { return at; }
    void MoveTo(ScreenPoint) override {}
    ScreenPoint at{0, 400};
  } stuck;
  BeginDrag(drag, stuck);
  stuck.at.y -= 50;
  EXPECT_TRUE(DragMove(drag, synth, master, true, false, now, stuck));
  now += 100;
  stuck.at.y -= 50;
  EXPECT_TRUE(DragMove(drag, synth, master, true, false, now, stuck));
  now += 100;
  EXPECT_TRUE(DragMove(drag, synth, master, true, false, now, stuck));
  EXPECT_DOUBLE_EQ(synth.PitchBend.load(), 0.2);
}

// The 32-bit tick count wraps; the difference is taken unsigned.
TEST_F(MouseBendTest, TickCountWrapAround) {
  drag.LastDragStep = 0xFFFFFFF0u;
  now = 0x30;
  BeginDrag(drag, cursor);
  EXPECT_TRUE(Move(-50, true, false));
  EXPECT_DOUBLE_EQ(synth.PitchBend.load(), 0.1);
}

}  // namespace
}  // namespace tavolin
