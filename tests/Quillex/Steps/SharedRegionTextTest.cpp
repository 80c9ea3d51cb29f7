#include <gtest/gtest.h>

#include "Steps/SharedRegionText.h"

#include <cstdint>
#include <cstring>
#include <vector>

using namespace ovinst;

namespace
{
// A region of `size` bytes; fields are written at given offsets.
struct Region
{
    explicit Region(size_t size) : bytes(size, 0xAB) {}
    void Count(size_t at, uint32_t value) { std::memcpy(bytes.data() + at, &value, sizeof(value)); }
    void Text(size_t at, const std::wstring& text) { std::memcpy(bytes.data() + at, text.data(), text.size() * 2); }
    std::vector<unsigned char> bytes;
};
}

TEST(SharedRegionText, CountedFieldsOneAfterAnother)
{
    Region region(64);
    region.Count(0, 4);
    region.Text(4, L"sa");
    region.Count(8, 6);
    region.Text(12, L"pwd");
    size_t offset = 0;
    unsigned long count = 0;
    EXPECT_EQ(ReadCountedText(region.bytes.data(), 64, offset, &count), L"sa");
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(ReadCountedText(region.bytes.data(), 64, offset), L"pwd");
    EXPECT_EQ(offset, 18u);
}

TEST(SharedRegionText, TextEndsAtItsFirstNul)
{
    Region region(32);
    region.Count(0, 8);
    region.Text(4, std::wstring(L"ab\0d", 4));
    size_t offset = 0;
    EXPECT_EQ(ReadCountedText(region.bytes.data(), 32, offset), L"ab");
    EXPECT_EQ(offset, 12u);
}

// A writer that claims more than the region holds hands over nothing, and nothing after it.
TEST(SharedRegionText, CountsReachingPastTheEndGiveEmptyTexts)
{
    struct Case
    {
        size_t size;
        uint32_t count;
        size_t offset;
    };
    for (const Case& c : {Case{32, 29, 0}, Case{32, 0xFFFFFFFF, 0}, Case{32, 0x7FFFFFFF, 4}, Case{32, 2, 30}, Case{32, 2, 40}})
    {
        Region region(c.size + 8);
        if (c.offset + 4 <= c.size)
            region.Count(c.offset, c.count);
        size_t offset = c.offset;
        EXPECT_EQ(ReadCountedText(region.bytes.data(), c.size, offset), L"") << c.count << " at " << c.offset;
        EXPECT_EQ(offset, c.size);
        EXPECT_EQ(ReadCountedText(region.bytes.data(), c.size, offset), L"");
    }
}

TEST(SharedRegionText, CountFillingTheRegionExactly)
{
    Region region(12);
    region.Count(0, 8);
    region.Text(4, L"abcd");
    size_t offset = 0;
    EXPECT_EQ(ReadCountedText(region.bytes.data(), 12, offset), L"abcd");
}

TEST(SharedRegionText, TerminatedTextNeedsItsNulInsideTheRegion)
{
    Region region(16);
    region.Text(4, std::wstring(L"C:\\t\0", 5));
    EXPECT_EQ(ReadTerminatedText(region.bytes.data(), 16, 4), L"C:\\t");

    Region full(16);
    full.Text(4, L"CCCCCC");
    EXPECT_EQ(ReadTerminatedText(full.bytes.data(), 16, 4), L"");
    EXPECT_EQ(ReadTerminatedText(full.bytes.data(), 16, 16), L"");
}
