#include "support/viewer_process.h"
#include <gtest/gtest.h>
TEST(Startup, HelpPrintsAndExits) {
    temp_dir dir;
    viewer_process viewer(ASEVIEW_BINARY, {"-h"}, dir.path());
    EXPECT_EQ(viewer.wait_exit(), 1);
}
