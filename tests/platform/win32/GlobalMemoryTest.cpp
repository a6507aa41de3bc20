#include "platform/win32/GlobalMemory.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(GlobalMemory, ZeroInitBlockLocksToItsBytesAndFrees) {
    HGLOBAL h = GlobalAlloc(GHND, 100);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalSize(h), 100u);
    auto* p = static_cast<unsigned char*>(GlobalLock(h));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(p[i], 0);
    std::memset(p, 0x5A, 100);
    EXPECT_EQ(GlobalUnlock(h), FALSE);  // last lock released
    EXPECT_EQ(static_cast<unsigned char*>(GlobalLock(h))[99], 0x5A);
    GlobalUnlock(h);
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemory, NullHandleIsHarmless) {
    EXPECT_EQ(GlobalLock(nullptr), nullptr);
    EXPECT_EQ(GlobalUnlock(nullptr), FALSE);
    EXPECT_EQ(GlobalSize(nullptr), 0u);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST(Win32Types, FourccAndDibRowsMatchFileLayout) {
    EXPECT_EQ(MAKEFOURCC('v', 'i', 'd', 's'), 0x73646976u);
    EXPECT_EQ(RGB(1, 2, 3), 0x030201u);
    // 24-bit rows pad to 4 bytes: width 1 -> 4, 65 -> 196, 4 -> 12.
    EXPECT_EQ(DibRowBytes(1, 24), 4);
    EXPECT_EQ(DibRowBytes(65, 24), 196);
    EXPECT_EQ(DibRowBytes(4, 24), 12);
    EXPECT_EQ(DibRowBytes(3, 8), 4);
    EXPECT_EQ(DibRowBytes(33, 1), 8);
}
