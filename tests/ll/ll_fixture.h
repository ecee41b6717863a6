// Shared set-up for the LL tests on the scripted backend: a fresh system and fresh LL state per
// test, and small helpers to open the demo's window and read the call record.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "ll/ll.h"
#include "ll/ll_internal.h"
#include "ll/platform_test.h"

class LLTest : public ::testing::Test {
protected:
    void SetUp() override {
        testReset();
        resetLLWindowState();
        resetLLInputState();
    }
    void TearDown() override {
        if (llInput.keys) closeLL(); // frees what an open test left behind
    }
    // The demo's call: windowed, double-buffered, depth, stencil, at (0, 0), 800 x 600.
    void openDemoWindow() { ASSERT_EQ(initLL("Quorvel", 0x16, 0, 0, 800, 600), 0); }
    static std::string argsOf(const std::string& op, int from = 0) {
        int i = testFindCall(op, from);
        return i < 0 ? std::string("<no call>") : testCalls()[size_t(i)].args;
    }
};
