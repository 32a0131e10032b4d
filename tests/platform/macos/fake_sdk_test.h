#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_sdk.h"

namespace snaplark::fake_sdk {

// Each test starts from a fresh fake and ends with every object it created released, once.
class FakeSdkTest : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override
    {
        EXPECT_THAT(liveObjects(), ::testing::IsEmpty());
        EXPECT_THAT(calls(), ::testing::Not(::testing::Contains(::testing::HasSubstr("unknown"))));
        EXPECT_THAT(calls(), ::testing::Not(::testing::Contains("CFRelease(NULL)")));
    }
};

}  // namespace snaplark::fake_sdk
