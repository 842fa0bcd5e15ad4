// Winsock is started once for the whole program, as every Windows caller of
// the socket functions must (the shared socket tests assume a started
// library, which Linux always has).
#include <gtest/gtest.h>

#include "platform/socket.h"

namespace {

class Winsock : public ::testing::Environment {
 public:
  void SetUp() override {
    int major = 0, minor = 0;
    ASSERT_TRUE(pink::net::startup(major, minor));
  }
  void TearDown() override { pink::net::cleanup(); }
};

const auto* const g_winsock = ::testing::AddGlobalTestEnvironment(new Winsock);

}  // namespace
