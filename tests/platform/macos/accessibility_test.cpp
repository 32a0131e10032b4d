#include "fake_sdk_test.h"
#include "platform/macos/accessibility.h"

namespace snaplark::platform::macos {
namespace {

using fake_sdk::calls;
using ::testing::ElementsAre;

class AccessibilityTest : public fake_sdk::FakeSdkTest {};

TEST_F(AccessibilityTest, TrustedProcessIsNotPrompted)
{
    fake_sdk::settings().trusted = true;
    EXPECT_TRUE(askForAccessibility());
    EXPECT_THAT(calls(), ElementsAre("AXIsProcessTrusted() = true"));
}

TEST_F(AccessibilityTest, UntrustedProcessGetsTheSystemPromptOnce)
{
    EXPECT_FALSE(askForAccessibility());
    EXPECT_THAT(calls(), ElementsAre("AXIsProcessTrusted() = false",
                                     "CFDictionaryCreate(NULL, {kAXTrustedCheckOptionPrompt: "
                                     "kCFBooleanTrue}) = dictionary1",
                                     "AXIsProcessTrustedWithOptions(dictionary1) = false",
                                     "CFRelease(dictionary1)"));
}

}  // namespace
}  // namespace snaplark::platform::macos
