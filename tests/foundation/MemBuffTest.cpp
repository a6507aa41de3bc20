#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "foundation/MemBuffBase.h"
#include "foundation/MemBuffClassBase.h"

TEST(MemBuffBase, AllocZeroKeepsBlockButReportsNoElements) {
    CMemBuffBase<unsigned char> b(100);
    unsigned char* block = b.GetData();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(b.Alloc(0), block);
    EXPECT_EQ(b.GetCount(), 0);
    EXPECT_EQ(b.FillAll(7), TRUE);  // writes nothing, but there is a block
    b.Free();
    EXPECT_EQ(b.GetData(), nullptr);
    EXPECT_EQ(b.FillAll(7), FALSE);
}

TEST(MemBuffBase, GetBufferGrowsOnlyAndKeepsContents) {
    CMemBuffBase<unsigned char> b(100);
    for (int i = 0; i < 100; ++i) b.GetData()[i] = static_cast<unsigned char>(i);
    EXPECT_EQ(b.GetBuffer(50), b.GetData());
    EXPECT_EQ(b.GetCount(), 100);
    b.GetBuffer(150);
    EXPECT_EQ(b.GetCount(), 150);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(b.GetData()[i], i);
}

TEST(MemBuffBase, FillRespectsCountAndLowByte) {
    CMemBuffBase<unsigned char> b(100);
    b.FillAll(0);
    EXPECT_EQ(b.Fill(0xAB, 101), FALSE);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(b.GetData()[i], 0);
    EXPECT_EQ(b.Fill(0xAB, -1), FALSE);

    CMemBuffBase<unsigned int> u(4);
    u.FillAll(0);
    EXPECT_EQ(u.Fill(0x1FF, 3), TRUE);
    EXPECT_EQ(*u.GetItem(0), 0xFFFFFFFFu);
    EXPECT_EQ(*u.GetItem(2), 0xFFFFFFFFu);
    EXPECT_EQ(*u.GetItem(3), 0u);
}

TEST(MemBuffBase, ByteSizeFollowsElementSize) {
    CMemBuffBase<wchar_t> w(3);
    CMemBuffBase<unsigned int> u(3);
    CMemBuffBase<RGBQUAD> q(3);
    CMemBuffBase<char> c(3);
    EXPECT_EQ(w.GetByteSize(), 3 * static_cast<int>(sizeof(wchar_t)));
    EXPECT_EQ(u.GetByteSize(), 12);
    EXPECT_EQ(q.GetByteSize(), 12);
    EXPECT_EQ(c.GetByteSize(), 3);
}

TEST(MemBuffBase, RefusesNegativeAndOverflowingSizes) {
    CMemBuffBase<unsigned int> b(10);
    unsigned int* block = b.GetData();
    EXPECT_EQ(b.Alloc(-5), block);
    EXPECT_EQ(b.GetCount(), 10);
    EXPECT_EQ(b.Alloc(INT_MAX / 2), block);  // 4 * (INT_MAX / 2) bytes do not fit in an int
    EXPECT_EQ(b.GetCount(), 10);
    EXPECT_EQ(b.GetByteSize(), 40);
}

TEST(MemBuffBase, CopyRefusesMoreThanTheBlockHolds) {
    CMemBuffBase<char> src(8), small(4), big(8);
    std::memcpy(src.GetData(), "abcdefg", 8);
    EXPECT_EQ(small.CopyFrom(src), FALSE);
    EXPECT_EQ(big.CopyFrom(src), TRUE);
    EXPECT_STREQ(big.GetData(), "abcdefg");
    CMemBuffBase<char> empty;
    EXPECT_EQ(empty.Copy("x", 1), FALSE);
    EXPECT_EQ(big.Copy(nullptr, 1), FALSE);
}

namespace {
struct Counted {
    explicit Counted(int* deaths) : m_deaths(deaths) {}
    virtual ~Counted() { ++*m_deaths; }
    int* m_deaths;
};
struct DefaultMade {
    virtual ~DefaultMade() = default;
    int value = 42;
};
}  // namespace

TEST(MemBuffClassBase, AttachDeletesPreviousObjectOnce) {
    int deathsQ = 0, deathsP = 0;
    {
        CMemBuffClassBase<Counted> h(new Counted(&deathsQ));
        h.Attach(new Counted(&deathsP));
        EXPECT_EQ(deathsQ, 1);
        EXPECT_EQ(deathsP, 0);
        h.Attach(h.m_p);  // the object already held stays alive
        EXPECT_EQ(deathsP, 0);
        ASSERT_NE(h.m_p, nullptr);
    }
    EXPECT_EQ(deathsP, 1);

    CMemBuffClassBase<Counted> empty;
    empty.Attach(nullptr);
    empty.Release();
    EXPECT_EQ(empty.m_p, nullptr);
}

TEST(MemBuffClassBase, ConstHolderCreatesItsObject) {
    CMemBuffClassBaseConst<DefaultMade> h;
    ASSERT_NE(h.m_p, nullptr);
    EXPECT_EQ(h->value, 42);
}
