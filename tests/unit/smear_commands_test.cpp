#include "input/commands.h"

#include <gtest/gtest.h>

namespace {

struct smear_transition {
    int32_t from_x, from_y;
    unsigned char key;
    int32_t to_x, to_y;
};

// Every state of the pair under each of the three smear commands.
const smear_transition transitions[] = {
    {0, 0, 'x', 1, 0}, {0, 0, 'y', 0, 1}, {0, 0, 'b', 1, 1}, //
    {1, 0, 'x', 0, 0}, {1, 0, 'y', 0, 1}, {1, 0, 'b', 1, 1}, //
    {0, 1, 'x', 1, 0}, {0, 1, 'y', 0, 0}, {0, 1, 'b', 1, 1}, //
    {1, 1, 'x', 0, 0}, {1, 1, 'y', 0, 0}, {1, 1, 'b', 1, 1}, //
};

TEST(SmearCommands, MoveThePairAlongTheTransitionTable) {
    for (const smear_transition& t : transitions) {
        viewer_state_t state;
        state.smear_x = t.from_x;
        state.smear_y = t.from_y;
        apply_smear_command(state, t.key);
        EXPECT_EQ(state.smear_x, t.to_x) << "'" << t.key << "' from " << t.from_x << t.from_y;
        EXPECT_EQ(state.smear_y, t.to_y) << "'" << t.key << "' from " << t.from_x << t.from_y;
    }
}

TEST(SmearCommands, OnlyBothAxesCommandReachesBothOn) {
    viewer_state_t state;
    apply_smear_command(state, 'x');
    apply_smear_command(state, 'y');
    EXPECT_EQ(state.smear_x, 0);
    EXPECT_EQ(state.smear_y, 1);
    apply_smear_command(state, 'x');
    EXPECT_EQ(state.smear_x, 1);
    EXPECT_EQ(state.smear_y, 0);
}

TEST(SmearCommands, OtherKeysLeaveThePairAlone) {
    for (unsigned char key : {'X', 'Y', 'B', ' ', '1', 'w'}) {
        viewer_state_t state;
        state.smear_x = 1;
        apply_smear_command(state, key);
        EXPECT_EQ(state.smear_x, 1) << key;
        EXPECT_EQ(state.smear_y, 0) << key;
    }
}

} // namespace
