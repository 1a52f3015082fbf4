// The shared reader of little-endian header fields.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "archivers/common/littleendian.h"

using arc::LittleEndian;

TEST(LittleEndian, FieldsReadLowByteFirstWithoutSignExtension)
{
    const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x88, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const LittleEndian le(bytes);
    EXPECT_EQ(le.u8(7), 0x88u);
    EXPECT_EQ(le.u16(0), 0x0201u);
    EXPECT_EQ(le.u16(7), 0xFF88u);
    EXPECT_EQ(le.u32(0), 0x04030201u);
    EXPECT_EQ(le.u32(8), 0xFFFFFFFFu);
    EXPECT_EQ(le.u32(5), 0xFF880706u);
    EXPECT_EQ(le.u64(0), 0x8807060504030201ull);
    EXPECT_EQ(le.u64(5), 0xFFFFFFFFFF880706ull);  // the high word is not lost
    EXPECT_FALSE(le.overrun());
}

TEST(LittleEndian, ReadsPastTheEndAreRefusedAndReported)
{
    const std::vector<uint8_t> bytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    struct Case {
        const char* what;
        uint64_t (*read)(const LittleEndian&);
        bool refused;
    };
    constexpr size_t kHuge = std::numeric_limits<size_t>::max();
    const Case cases[] = {
        {"last byte", [](const LittleEndian& le) -> uint64_t { return le.u8(7); }, false},
        {"byte at the end", [](const LittleEndian& le) -> uint64_t { return le.u8(8); }, true},
        {"16 bits ending at the end", [](const LittleEndian& le) -> uint64_t { return le.u16(6); }, false},
        {"16 bits one past", [](const LittleEndian& le) -> uint64_t { return le.u16(7); }, true},
        {"32 bits ending at the end", [](const LittleEndian& le) -> uint64_t { return le.u32(4); }, false},
        {"32 bits one past", [](const LittleEndian& le) -> uint64_t { return le.u32(5); }, true},
        {"64 bits whole", [](const LittleEndian& le) -> uint64_t { return le.u64(0); }, false},
        {"64 bits one past", [](const LittleEndian& le) -> uint64_t { return le.u64(1); }, true},
        // An offset near the top of size_t must not wrap round into the bytes.
        {"offset that would wrap", [](const LittleEndian& le) -> uint64_t { return le.u32(kHuge - 1); }, true},
        {"largest offset", [](const LittleEndian& le) -> uint64_t { return le.u16(kHuge); }, true},
    };
    for (const Case& c : cases) {
        const LittleEndian le(bytes);
        const uint64_t value = c.read(le);
        EXPECT_EQ(le.overrun(), c.refused) << c.what;
        if (c.refused) {
            EXPECT_EQ(value, 0u) << c.what;
        }
    }

    const LittleEndian empty(nullptr, 0);
    EXPECT_EQ(empty.u8(0), 0u);
    EXPECT_TRUE(empty.overrun());
    EXPECT_TRUE(empty.fits(0, 0));
}

TEST(LittleEndian, OverrunStaysMarkedAfterLaterGoodReads)
{
    const uint8_t bytes[] = {1, 2, 3, 4};
    const LittleEndian le(bytes);
    EXPECT_EQ(le.u32(1), 0u);
    EXPECT_EQ(le.u32(0), 0x04030201u);
    EXPECT_TRUE(le.overrun());
}
