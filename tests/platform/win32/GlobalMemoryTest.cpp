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
    // 24-bit rows pad to 4 bytes: width 1 -> 4, 3 -> 12, 65 -> 196, 641 -> 1924.
    EXPECT_EQ(DibRowBytes(1, 24), 4);
    EXPECT_EQ(DibRowBytes(3, 24), 12);
    EXPECT_EQ(DibRowBytes(65, 24), 196);
    EXPECT_EQ(DibRowBytes(641, 24), 1924);
    EXPECT_EQ(DibRowBytes(4, 24), 12);
    EXPECT_EQ(DibRowBytes(3, 8), 4);
    EXPECT_EQ(DibRowBytes(33, 1), 8);
}

TEST(Win32Types, FrameBytesFailWhenTheFrameDoesNotFit) {
    EXPECT_EQ(FrameBytes24(641, 480), 1924 * 480);
    EXPECT_EQ(FrameBytes24(0, 480), 0);
    EXPECT_EQ(FrameBytes24(641, 0), 0);
    EXPECT_EQ(FrameBytes24(-1, 480), std::nullopt);
    EXPECT_EQ(FrameBytes24(641, -1), std::nullopt);
    // 196608 bytes a row x 65535 rows = 12884705280, past any 32-bit size.
    EXPECT_EQ(FrameBytes24(65535, 65535), std::nullopt);
    EXPECT_EQ(FrameBytes24(65535, 65535, UINT32_MAX), std::nullopt);
    EXPECT_EQ(FrameBytes24(65535, 65535, INT64_MAX), int64_t{12884705280});
    // 2700000000 bytes: past a signed size, within an unsigned one.
    EXPECT_EQ(FrameBytes24(30000, 30000), std::nullopt);
    EXPECT_EQ(FrameBytes24(30000, 30000, UINT32_MAX), int64_t{2700000000});
    // The limit itself still fits; sides at the top of 32 bits neither overflow nor fit.
    EXPECT_EQ(FrameBytes24(1, 10, 40), 40);
    EXPECT_EQ(FrameBytes24(1, 11, 40), std::nullopt);
    EXPECT_EQ(FrameBytes24(INT32_MAX, INT32_MAX, INT64_MAX), std::nullopt);
}
