#include "fake_sdk_test.h"
#include "platform/macos/activation_policy.h"

namespace snaplark::platform::macos {
namespace {

using fake_sdk::calls;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ActivationPolicyTest : public fake_sdk::FakeSdkTest {};

TEST_F(ActivationPolicyTest, ReachesTheSharedApplicationWithThePlatformsNumbers)
{
    setApplicationActivationPolicy(ActivationPolicy::prohibited);
    setApplicationActivationPolicy(ActivationPolicy::regular);
    EXPECT_THAT(calls(), ElementsAre("[NSApplication sharedApplication] = NSApp",
                                     "[NSApp setActivationPolicy:2]",
                                     "[NSApplication sharedApplication] = NSApp",
                                     "[NSApp setActivationPolicy:0]"));
}

TEST_F(ActivationPolicyTest, NothingIsSentWithoutAnApplicationClass)
{
    fake_sdk::settings().applicationExists = false;
    setApplicationActivationPolicy(ActivationPolicy::regular);
    EXPECT_THAT(calls(), IsEmpty());
}

}  // namespace
}  // namespace snaplark::platform::macos
