// The two pixel readers: run-length packets of every length, packets carried
// from one call into the next, end of data in each place, and the traces.
#include "image/tga_readers.h"
#include "tests/fixtures/tga_builder.h"
#include "tests/fixtures/tga_console.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;

std::string text_of(const bytes& data) {
    return std::string(data.begin(), data.end());
}

// One image's worth of calls sharing a state, releasing it afterwards.
struct rle_reading {
    explicit rle_reading(const bytes& data) : stream(text_of(data)) {}
    ~rle_reading() { std::free(state.buffer); }
    bytes read(int element_size, int element_count, int expected_result) {
        bytes out(static_cast<size_t>(element_size * element_count), 0xEE);
        EXPECT_EQ(rle_fread(&state, out.data(), element_size, element_count, stream.get()),
                  expected_result);
        return out;
    }
    byte_stream stream;
    rle_state state{};
};

TEST(RleFread, RunOf128OneByteElementsExpandsToEqualBytes) {
    rle_reading reading({0xFF, 0x2A});
    EXPECT_EQ(reading.read(1, 128, 128), bytes(128, 0x2A));
    EXPECT_EQ(reading.state.buffer, nullptr) << "a packet that fits goes straight to the row";
}

TEST(RleFread, RunWithHeader0x80YieldsOneElement) {
    rle_reading reading({0x80, 1, 2, 3, 0x00, 4, 5, 6});
    EXPECT_EQ(reading.read(3, 2, 2), (bytes{1, 2, 3, 4, 5, 6}));
}

TEST(RleFread, RunOfWideElementsRepeatsTheWholeElement) {
    rle_reading reading({0x82, 1, 2, 3, 4});
    EXPECT_EQ(reading.read(4, 3, 3), (bytes{1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4}));
}

TEST(RleFread, RawPacketOf128ElementsIsDeliveredInOrder) {
    bytes data{0x7F};
    for (int i = 0; i < 128; ++i)
        data.push_back(static_cast<uint8_t>(i * 3));
    rle_reading reading(data);
    EXPECT_EQ(reading.read(1, 128, 128), bytes(data.begin() + 1, data.end()));
}

TEST(RleFread, RunLongerThanTheRowCarriesIntoTheNextCall) {
    // Six 3-byte elements for 4-pixel rows, then a raw packet of two.
    rle_reading reading({0x85, 7, 8, 9, 0x01, 1, 1, 1, 2, 2, 2});
    EXPECT_EQ(reading.read(3, 4, 4), (bytes{7, 8, 9, 7, 8, 9, 7, 8, 9, 7, 8, 9}));
    EXPECT_EQ(reading.state.count, 18);
    EXPECT_EQ(reading.state.position, 12);
    EXPECT_EQ(reading.read(3, 4, 4), (bytes{7, 8, 9, 7, 8, 9, 1, 1, 1, 2, 2, 2}));
    EXPECT_EQ(reading.state.count, 0);
    EXPECT_EQ(reading.state.position, 0);
}

TEST(RleFread, RawPacketAcrossRowsIsReadOnceAndDeliveredInTwoParts) {
    rle_reading reading({0x05, 'a', 'b', 'c', 'd', 'e', 'f', 0x81, 'g'});
    EXPECT_EQ(text_of(reading.read(1, 4, 4)), "abcd");
    EXPECT_EQ(std::ftell(reading.stream.get()), 7) << "the whole packet is read at once";
    EXPECT_EQ(text_of(reading.read(1, 4, 4)), "efgg");
}

TEST(RleFread, PacketsSpanningSeveralRowsCarryOverRepeatedly) {
    // One run of 10 handed out over rows of 3: 3, 3, 3, then 1 plus the next packet.
    rle_reading reading({0x89, 5, 0x01, 6, 7});
    EXPECT_EQ(reading.read(1, 3, 3), (bytes{5, 5, 5}));
    EXPECT_EQ(reading.read(1, 3, 3), (bytes{5, 5, 5}));
    EXPECT_EQ(reading.read(1, 3, 3), (bytes{5, 5, 5}));
    EXPECT_EQ(reading.read(1, 3, 3), (bytes{5, 6, 7}));
}

struct end_of_data_case {
    const char* where;
    bytes data;
    int element_size;
    int element_count;
    int delivered;
    const char* message;
};

TEST(RleFread, EndOfDataInEachPlaceReturnsTheWholeElementsDelivered) {
    const end_of_data_case cases[] = {
        {"before any header", {}, 3, 4, 0, "TGA: hit EOF while looking for count\n"},
        {"before the second header",
         {0x81, 1, 2, 3},
         3,
         4,
         2,
         "TGA: hit EOF while looking for count\n"},
        {"inside a run's element",
         {0x82, 1},
         3,
         4,
         0,
         "TGA: EOF while reading 9/3 element RLE packet\n"},
        {"inside a raw body",
         {0x80, 1, 2, 3, 0x02, 4, 5, 6, 7},
         3,
         4,
         1,
         "TGA: EOF while reading 9/3 element raw packet\n"},
        {"inside a raw body bound for the buffer",
         {0x05, 'a', 'b', 'c'},
         1,
         2,
         0,
         "TGA: EOF while reading 6/1 element raw packet\n"},
        {"inside a run bound for the buffer",
         {0x81, 1, 1, 0x85, 2},
         2,
         3,
         2,
         "TGA: EOF while reading 12/2 element RLE packet\n"},
    };
    for (const end_of_data_case& c : cases) {
        SCOPED_TRACE(c.where);
        rle_reading reading(c.data);
        tga_console console(1);
        reading.read(c.element_size, c.element_count, c.delivered);
        EXPECT_EQ(console.text(), c.message);
        EXPECT_EQ(reading.state.count, 0) << "no half-read packet is held";
    }
}

TEST(RleFread, StreamEndingAfterARowsLastPacketFailsTheNextCall) {
    rle_reading reading({0x83, 9});
    EXPECT_EQ(reading.read(1, 4, 4), bytes(4, 9));
    tga_console console(1);
    reading.read(1, 4, 0);
    EXPECT_EQ(console.text(), "TGA: hit EOF while looking for count\n");
}

TEST(RleFread, LevelZeroPrintsNothingAndCountsNothing) {
    const int32_t total_before = tga_total;
    rle_reading reading({0x83, 9});
    tga_console console(0);
    reading.read(1, 8, 4);
    EXPECT_EQ(console.text(), "");
    EXPECT_EQ(tga_total, total_before);
}

TEST(RleFread, TracesEachCallAtLevelTwoAndEachPacketAtLevelThree) {
    // A run of 6 two-byte elements over rows of 4: the first call reads it
    // into the buffer, the second hands out the rest and reads one more.
    rle_reading reading({0x85, 1, 2, 0x01, 3, 4, 5, 6});
    const int32_t start = tga_total;
    {
        tga_console console(2);
        reading.read(2, 4, 4);
        EXPECT_EQ(console.text(),
                  "TGA: rle_fread 8/12 (total " + std::to_string(start + 12) + ")\n");
    }
    tga_console console(3);
    reading.read(2, 4, 4);
    EXPECT_EQ(console.text(), "TGA: raw packet 4/" + std::to_string(start + 16) +
                                  "\nTGA: rle_fread 8/4 (total " + std::to_string(start + 16) +
                                  ")\n");
}

TEST(StdFread, ShortStreamReturnsTheWholeElementsThatWereThere) {
    byte_stream stream(std::string(10, 'x'));
    char out[20];
    EXPECT_EQ(std_fread(nullptr, out, 4, 5, stream.get()), 2);
}

TEST(StdFread, TracesEachCallAtLevelTwo) {
    byte_stream stream(std::string(20, 'x'));
    char out[20];
    const int32_t start = tga_total;
    tga_console console(2);
    EXPECT_EQ(std_fread(nullptr, out, 4, 5, stream.get()), 5);
    EXPECT_EQ(console.text(), "TGA: std_fread 20 (total " + std::to_string(start + 20) + ")\n");
}

} // namespace
