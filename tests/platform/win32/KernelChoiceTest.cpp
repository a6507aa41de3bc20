#include "platform/win32/KernelChoice.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

std::atomic<unsigned> g_sink{0};

void Work(int steps) {
    unsigned v = g_sink.load(std::memory_order_relaxed);
    for (int i = 0; i < steps; ++i) v = v * 1664525u + 1013904223u;
    g_sink.store(v, std::memory_order_relaxed);
}

}  // namespace

// The kernel with a hundredth of the others' work wins wherever it stands, and every
// candidate runs each round.
TEST(KernelChoice, FastestKernelFindsTheCheapestCandidate) {
    for (int cheap = 0; cheap < 3; ++cheap) {
        int calls[3] = {};
        const int picked = FastestKernel(3, [&](int i) {
            ++calls[i];
            Work(i == cheap ? 1000 : 100000);
        });
        EXPECT_EQ(picked, cheap);
        for (int n : calls) EXPECT_EQ(n, 1 + 7);
    }
}
