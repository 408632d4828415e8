// The board library's Wine tests. Where 32-bit Wine runs on qemu-user,
// threads of a test program crash it, and so does a skipped test: the
// concurrency check is left out of such a run before it starts, and the
// run says so.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "wine/support/harness.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (winetest::Wine32UnderQemu()) {
    std::string filter = GTEST_FLAG_GET(filter);
    filter += filter.find('-') == std::string::npos ? "-" : ":";
    filter += "ConcurrencyTest.*";
    GTEST_FLAG_SET(filter, filter);
    std::printf("ConcurrencyTest left out: threads of a 32-bit program crash Wine on qemu-user\n");
  }
  return RUN_ALL_TESTS();
}
