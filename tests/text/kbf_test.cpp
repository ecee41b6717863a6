// The KBF parser without OpenGL: record counting, duplicate codes, the limits of the format, and
// the rows handed to glBitmap.
#include <gtest/gtest.h>

#include "tests/text/temp_file.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/text/fd_count.h"
#include "text/kbf.h"

namespace {

std::vector<uint8_t> headerOnly(uint16_t width, uint16_t height) { return encodeKbf(width, height, {}); }

// Parses from a heap block of exactly the file's size, so the sanitizers see any read past it.
bool parseExact(const std::vector<uint8_t>& bytes, KbfFont* font, std::string* reason = nullptr) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() ? bytes.size() : 1]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    std::string ignored;
    return parseKbf(copy.get(), bytes.size(), font, reason ? *reason : ignored);
}

std::string writeTemp(const std::string& name, const std::vector<uint8_t>& bytes) {
    return writeTempFile("kbf_test_" + name, bytes);
}

TEST(KbfParse, GlyphSizeFollowsTheStoredRowLength) {
    EXPECT_EQ(kbfGlyphBytes(8, 16), 16u);
    EXPECT_EQ(kbfGlyphBytes(16, 16), 32u);
    EXPECT_EQ(kbfGlyphBytes(10, 12), 12u);  // one byte a row, not two

    // A 10 x 12 font with two records of 12 bytes each is 7 + 2 × 13 bytes.
    std::vector<uint8_t> bytes = encodeKbf(10, 12, {{'a', std::vector<uint8_t>(12, 0x11)}, {'b', {}}});
    ASSERT_EQ(bytes.size(), 7u + 2 * 13);
    KbfFont font;
    ASSERT_TRUE(parseExact(bytes, &font));
    EXPECT_EQ(font.width, 10);
    EXPECT_EQ(font.height, 12);
    EXPECT_EQ(font.glyphBytes, 12);
    EXPECT_EQ(font.recordCount, 2);
    ASSERT_NE(font.glyph('a'), nullptr);
    EXPECT_EQ(font.glyph('a')[11], 0x11);
}

TEST(KbfParse, RecordsCountWholeRecordsAndLaterRecordsWin) {
    // 8 x 16: glyphBytes 16. Two records, then 16 bytes that are one short of a third.
    std::vector<uint8_t> bytes = encodeKbf(
        8, 16, {{'Z', std::vector<uint8_t>(16, 0xAA)}, {'Z', std::vector<uint8_t>(16, 0x55)}});
    bytes.insert(bytes.end(), 16, 0xFF);
    ASSERT_EQ(bytes.size(), 7u + 2 * 17 + 16);
    KbfFont font;
    ASSERT_TRUE(parseExact(bytes, &font));
    EXPECT_EQ(font.recordCount, 2);
    EXPECT_EQ(font.presentCount(), 1);
    ASSERT_NE(font.glyph('Z'), nullptr);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(font.glyph('Z')[i], 0x55) << "byte " << i;
    EXPECT_EQ(font.glyph(0xFF), nullptr);  // the trailing bytes' first byte is not a record

    // Codes out of order, with gaps, including 0 and 255.
    bytes = encodeKbf(4, 2, {{255, {1, 2}}, {0, {3, 4}}, {'m', {5, 6}}});
    ASSERT_TRUE(parseExact(bytes, &font));
    EXPECT_EQ(font.presentCount(), 3);
    EXPECT_EQ(font.glyph(255)[1], 2);
    EXPECT_EQ(font.glyph(0)[0], 3);
    EXPECT_EQ(font.glyph('m')[1], 6);
    EXPECT_EQ(font.glyph('n'), nullptr);
}

TEST(KbfParse, SevenByteFileIsAFontWithNoGlyphs) {
    KbfFont font;
    ASSERT_TRUE(parseExact(headerOnly(9, 3), &font));
    EXPECT_EQ(font.recordCount, 0);
    EXPECT_EQ(font.presentCount(), 0);
    EXPECT_EQ(font.width, 9);
    EXPECT_EQ(font.height, 3);
}

TEST(KbfParse, RejectsBadMagicAndShortHeaders) {
    const std::vector<std::vector<uint8_t>> bad = {
        {},
        {'X', 'B', 'F', 8, 0, 8, 0},
        {'K', 'B', 'X', 8, 0, 8, 0},
        {'K', 'B'},
        {'K', 'B', 'F'},
        {'K', 'B', 'F', 8},
        {'K', 'B', 'F', 8, 0},
        {'K', 'B', 'F', 8, 0, 8},
    };
    for (const auto& bytes : bad) {
        KbfFont font;
        std::string reason;
        EXPECT_FALSE(parseExact(bytes, &font, &reason)) << "size " << bytes.size();
        EXPECT_FALSE(reason.empty());
    }
    std::string nullReason;
    EXPECT_FALSE(parseKbf(nullptr, 100, nullptr, nullReason));
}

TEST(KbfParse, RejectsGlyphsAndRecordCountsOutsideTheFormat) {
    KbfFont font;
    std::string reason;
    // height × (⌊width / 16⌋ + 1): 65535 × 1 is the largest glyph; 32768 × 2 is one too many.
    EXPECT_TRUE(parseExact(headerOnly(15, 65535), &font));
    EXPECT_EQ(font.glyphBytes, 65535);
    EXPECT_FALSE(parseExact(headerOnly(16, 32768), &font, &reason));
    EXPECT_NE(reason.find("65536"), std::string::npos) << reason;
    EXPECT_FALSE(parseExact(headerOnly(65535, 65535), &font));

    // Height 0 makes every record one code byte: 65535 records fit the count, 65536 do not.
    std::vector<uint8_t> bytes = headerOnly(8, 0);
    bytes.resize(7 + 65535, 'q');
    ASSERT_TRUE(parseExact(bytes, &font));
    EXPECT_EQ(font.recordCount, 65535);
    EXPECT_NE(font.glyph('q'), nullptr);
    bytes.push_back('q');
    EXPECT_FALSE(parseExact(bytes, &font, &reason));
    EXPECT_NE(reason.find("65535"), std::string::npos) << reason;

    // One-byte glyphs: 2 × 65536 bytes of records is 65536 records.
    bytes = headerOnly(1, 1);
    bytes.resize(7 + 2 * 65536, 0);
    EXPECT_FALSE(parseExact(bytes, &font));
    bytes.resize(7 + 2 * 65536 - 1);
    EXPECT_TRUE(parseExact(bytes, &font));
    EXPECT_EQ(font.recordCount, 65535);
}

TEST(KbfParse, EveryTruncationParsesWholeRecordsOrFails) {
    std::vector<KbfRecord> records;
    for (int c = 0; c < 5; ++c) records.push_back({static_cast<uint8_t>('a' + c), std::vector<uint8_t>(6, c + 1)});
    const std::vector<uint8_t> full = encodeKbf(12, 6, records);  // glyphBytes 6, records of 7
    for (size_t n = 0; n <= full.size(); ++n) {
        std::vector<uint8_t> prefix(full.begin(), full.begin() + n);
        KbfFont font;
        const bool ok = parseExact(prefix, &font);
        EXPECT_EQ(ok, n >= 7) << n;
        if (ok) {
            EXPECT_EQ(font.recordCount, (n - 7) / 7) << n;
        }
    }
}

TEST(KbfFile, ReadsLikeTheMemoryParserAndClosesTheFile) {
    const std::vector<uint8_t> bytes =
        encodeKbf(16, 3, {{'x', {1, 2, 3, 4, 5, 6}}, {'y', {7}}, {'x', {9, 9, 9, 9, 9, 9}}});
    const std::string path = writeTemp("good.kbf", bytes);
    const int fdsBefore = openFdCount();
    KbfFont fromFile, fromMemory;
    std::string reason;
    ASSERT_TRUE(readKbfFile(path.c_str(), &fromFile, reason)) << reason;
    ASSERT_TRUE(parseExact(bytes, &fromMemory));
    EXPECT_EQ(fromFile.recordCount, 3);
    EXPECT_EQ(fromFile.slot, fromMemory.slot);
    EXPECT_EQ(fromFile.bitmaps, fromMemory.bitmaps);
    EXPECT_EQ(fromFile.glyph('x')[0], 9);

    reason.clear();
    EXPECT_FALSE(readKbfFile((::testing::TempDir() + "kbf_test_missing.kbf").c_str(), &fromFile, reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(readKbfFile(writeTemp("magic.kbf", {'K', 'B', 'G', 1, 0, 1, 0}).c_str(), &fromFile, reason));
    EXPECT_FALSE(readKbfFile(writeTemp("short.kbf", {'K', 'B', 'F', 1, 0}).c_str(), &fromFile, reason));
    EXPECT_FALSE(readKbfFile(::testing::TempDir().c_str(), &fromFile, reason));  // a directory
    EXPECT_FALSE(readKbfFile(nullptr, &fromFile, reason));
    EXPECT_EQ(openFdCount(), fdsBefore);
}

TEST(KbfRows, LaysStoredRowsOutAsGlBitmapReadsThem) {
    std::vector<uint8_t> rows;
    // Width 8 and 16: the stored rows are already glBitmap's rows.
    const uint8_t eight[] = {0x81, 0x42, 0x24};
    kbfBitmapRows(8, 3, eight, &rows);
    EXPECT_EQ(rows, (std::vector<uint8_t>{0x81, 0x42, 0x24}));
    const uint8_t sixteen[] = {0x12, 0x34, 0x56, 0x78};
    kbfBitmapRows(16, 2, sixteen, &rows);
    EXPECT_EQ(rows, (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78}));

    // Width 10: one stored byte a row, two glBitmap bytes; columns 8 and 9 are blank.
    const uint8_t ten[] = {0xF0, 0x0F, 0xFF};
    kbfBitmapRows(10, 3, ten, &rows);
    EXPECT_EQ(rows, (std::vector<uint8_t>{0xF0, 0, 0x0F, 0, 0xFF, 0}));

    // Width 25: two stored bytes, four glBitmap bytes; columns 16 to 24 are blank.
    const uint8_t twentyFive[] = {0xAB, 0xCD, 0x01, 0x02};
    kbfBitmapRows(25, 2, twentyFive, &rows);
    EXPECT_EQ(rows, (std::vector<uint8_t>{0xAB, 0xCD, 0, 0, 0x01, 0x02, 0, 0}));
    EXPECT_TRUE(kbfPixel(rows, 25, 0, 0));
    EXPECT_FALSE(kbfPixel(rows, 25, 16, 0));
    EXPECT_TRUE(kbfPixel(rows, 25, 14, 1));

    // Width 3: the bits past the width are cleared.
    const uint8_t three[] = {0xFF, 0xA5};
    kbfBitmapRows(3, 2, three, &rows);
    EXPECT_EQ(rows, (std::vector<uint8_t>{0xE0, 0xA0}));

    // Width 0 has no bytes to read; a null glyph is blank.
    kbfBitmapRows(0, 4, three, &rows);
    EXPECT_TRUE(rows.empty());
    kbfBitmapRows(12, 2, nullptr, &rows);
    EXPECT_EQ(rows, std::vector<uint8_t>(4, 0));
}

TEST(KbfEncode, CutsAndPadsBitmapsToTheGlyphSize) {
    const std::vector<uint8_t> bytes = encodeKbf(0x0102, 2, {{7, {1, 2, 3, 4, 5}}, {8, {9}}});
    // Width 258 → rows of 17 bytes, glyphs of 34.
    ASSERT_EQ(bytes.size(), 7u + 2 * 35);
    EXPECT_EQ(bytes[3], 0x02);
    EXPECT_EQ(bytes[4], 0x01);
    EXPECT_EQ(bytes[7], 7);
    EXPECT_EQ(bytes[12], 5);
    EXPECT_EQ(bytes[13], 0);
    EXPECT_EQ(bytes[7 + 35], 8);
    EXPECT_EQ(bytes[7 + 35 + 1], 9);
    EXPECT_EQ(bytes.back(), 0);
}

}  // namespace
