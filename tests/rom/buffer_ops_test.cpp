// SPDX-License-Identifier: GPL-3.0-or-later
// The buffer operations and their undo history: range checks that leave the
// buffer alone, round trips through files, undo and redo across operations,
// and the history's memory bound.
#include <gtest/gtest.h>

#include <cstring>

#include "rom/buffer_ops.h"
#include "rom/edit_history.h"
#include "rom/image_formats.h"
#include "support/sim_fixture.h"

namespace vexo::test {
namespace {

class BufferOps : public RomOnSim {
protected:
    // The buffer's first `size` bytes, to compare before and after.
    std::vector<std::uint8_t> Head(std::uint32_t size) const
    {
        return {rom->m_Buffer.get(), rom->m_Buffer.get() + size};
    }
    void Place(const std::vector<std::uint8_t>& bytes)
    {
        ASSERT_TRUE(Load(dir.Write("image.bin", bytes)));
    }
    std::uint32_t BufferCrc() const { return Crc32(rom->m_Buffer.get(), kBufferSize); }
    TempDir dir;
};

TEST_F(BufferOps, RefusalsLeaveTheBufferAndHistoryUntouched)
{
    Place(RandomBytes(0x1000));
    EditHistory history;
    const std::uint32_t before = BufferCrc();
    const std::vector<std::uint8_t> one{1};
    const Status refused[] = {
        Fill(*rom, {0x10, 0x0F}, 0, &history),
        Fill(*rom, {0xFFFFF0, kBufferSize}, 0, &history),
        Patch(*rom, kBufferSize - 1, std::vector<std::uint8_t>{1, 2}, &history),
        Patch(*rom, kBufferSize, one, &history),
        Patch(*rom, 0, {}, &history),
        LoadAt(*rom, kBufferSize - 2, dir.Write("four.bin", {1, 2, 3, 4}), &history),
        LoadAt(*rom, 0, dir.File("missing.bin"), &history),
        LoadAt(*rom, 0, dir.Write("bad.hex", {':', 'x'}), &history),
        MergeFiles(*rom, {dir.Write("a.bin", {1, 2, 3}), dir.Write("b.bin", {1})}, &history),
        MergeFiles(*rom, {dir.File("a.bin")}, &history),
    };
    for (const Status& s : refused) {
        EXPECT_FALSE(s.ok());
        EXPECT_FALSE(s.message().empty());
    }
    EXPECT_EQ(refused[1].message(),
              "The range 0xFFFFF0-0x1000000 does not fit the buffer (0x000000-0xFFFFFF); the "
              "buffer is unchanged.");
    EXPECT_EQ(BufferCrc(), before);
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.IsModified());
    EXPECT_EQ(rom->m_nLength, 0x1000);
    // The last byte of the buffer is in range.
    EXPECT_TRUE(Fill(*rom, {kBufferSize - 1, kBufferSize - 1}, 0x5A, &history).ok());
    EXPECT_EQ(rom->m_Buffer[kBufferSize - 1], 0x5A);
}

TEST_F(BufferOps, FillAndPatchMakeAnImagePresent)
{
    ASSERT_FALSE(rom->ImageLoaded());
    ASSERT_TRUE(Fill(*rom, {0x100, 0x1FF}, 0x00).ok());
    EXPECT_TRUE(rom->ImageLoaded());
    EXPECT_EQ(LoadedImageLength(*rom), 0x200u);
    EXPECT_EQ(rom->m_Buffer[0xFF], 0xFF);
    EXPECT_EQ(rom->m_Buffer[0x100], 0x00);
    EXPECT_EQ(rom->m_Buffer[0x1FF], 0x00);
    EXPECT_EQ(rom->m_Buffer[0x200], 0xFF);
    ASSERT_TRUE(Patch(*rom, 0x1FFF, std::vector<std::uint8_t>{0xDE, 0xAD}).ok());
    EXPECT_EQ(LoadedImageLength(*rom), 0x2001u);
    EXPECT_EQ(rom->m_Buffer[0x2000], 0xAD);
}

TEST_F(BufferOps, SwapTwiceIsTheIdentityAndCoversTheDevice)
{
    rom->m_nDevice = 1;  // 27C512
    const auto bytes = RandomBytes(0x10000, 3);
    Place(bytes);
    rom->m_Buffer[0x10000] = 0x11;
    rom->m_Buffer[0x10001] = 0x22;
    ASSERT_TRUE(SwapBytes(*rom).ok());
    EXPECT_EQ(rom->m_Buffer[0], bytes[1]);
    EXPECT_EQ(rom->m_Buffer[0xFFFF], bytes[0xFFFE]);
    EXPECT_EQ(rom->m_Buffer[0x10000], 0x11);  // past the device: as it was
    ASSERT_TRUE(SwapBytes(*rom).ok());
    EXPECT_EQ(Head(0x10000), bytes);
}

TEST_F(BufferOps, SplitThenMergeGivesTheImageBackInEveryFormat)
{
    const auto bytes = RandomBytes(0x8003, 5);  // odd: the parts differ by a byte
    for (const char* ext : {".bin", ".hex", ".s19"}) {
        for (std::size_t count : {2u, 4u}) {
            SCOPED_TRACE(std::string(ext) + " x" + std::to_string(count));
            Place(bytes);
            std::vector<std::string> files;
            for (std::size_t k = 0; k < count; ++k)
                files.push_back(dir.File("part" + std::to_string(k) + ext));
            ASSERT_TRUE(SplitImage(*rom, files).ok());
            if (std::string(ext) == ".bin") {
                const auto p1 = ReadFileBytes(files[1]);
                ASSERT_EQ(p1.size(), (bytes.size() - 1 + count - 1) / count);
                EXPECT_EQ(p1[0], bytes[1]);
                EXPECT_EQ(p1[1], bytes[1 + count]);
            } else {
                EXPECT_EQ(FormatForPath(files[0]), ext == std::string(".hex")
                                                       ? ImageFormat::IntelHex
                                                       : ImageFormat::SRecord);
            }
            std::memset(rom->m_Buffer.get(), 0, bytes.size());
            rom->ClearBuffer();
            ui->panel.m_strFileName.clear();
            EditHistory history;
            ASSERT_TRUE(MergeFiles(*rom, files, &history).ok());
            EXPECT_EQ(Head(std::uint32_t(bytes.size())), bytes);
            EXPECT_EQ(LoadedImageLength(*rom), bytes.size());
            EXPECT_EQ(ui->panel.m_strFileName, "part0" + std::string(ext));
            EXPECT_TRUE(history.IsModified());
        }
    }
    // Nothing to split without an image.
    rom->ClearBuffer();
    EXPECT_FALSE(SplitImage(*rom, {dir.File("x0.bin"), dir.File("x1.bin")}).ok());
    EXPECT_FALSE(SplitImage(*rom, {dir.File("x0.bin"), dir.File("x0.bin")}).ok());
}

TEST_F(BufferOps, RepeatFillsTheDeviceOrRefuses)
{
    rom->m_nDevice = 1;  // 27C512, 64 KiB
    const auto bytes = RandomBytes(0x8000, 7);
    Place(bytes);
    ASSERT_TRUE(RepeatToDevice(*rom).ok());
    EXPECT_EQ(Head(0x10000), [&] {
        auto two = bytes;
        two.insert(two.end(), bytes.begin(), bytes.end());
        return two;
    }());

    Place(RandomBytes(0x3000));
    EXPECT_EQ(RepeatToDevice(*rom).message(),
              "The image (12288 bytes) does not divide the 27C512 (65536 bytes); the buffer is "
              "unchanged.");
    Place(RandomBytes(0x10001));
    EXPECT_FALSE(RepeatToDevice(*rom).ok());
    rom->ClearBuffer();
    EXPECT_FALSE(RepeatToDevice(*rom).ok());
}

TEST_F(BufferOps, LoadAtExportAndChecksum)
{
    Place(RandomBytes(0x100));
    const auto part = RandomBytes(0x40, 9);
    const std::string hex = dir.File("part.hex");
    const std::string text = WriteTextImage(ImageFormat::IntelHex, part.data(), 0x40);
    std::ofstream(hex) << text;
    ASSERT_TRUE(LoadAt(*rom, 0x7FF0, hex).ok());
    EXPECT_TRUE(std::equal(part.begin(), part.end(), rom->m_Buffer.get() + 0x7FF0));
    EXPECT_EQ(LoadedImageLength(*rom), 0x8030u);

    rom->m_nDevice = 0;  // 27C256
    ASSERT_TRUE(ExportDevice(*rom, dir.File("out.bin")).ok());
    const auto out = ReadFileBytes(dir.File("out.bin"));
    EXPECT_EQ(out, Head(0x8000));
    ASSERT_TRUE(ExportDevice(*rom, dir.File("out.s28")).ok());
    ASSERT_TRUE(LoadAt(*rom, 0x100000, dir.File("out.s28")).ok());
    EXPECT_TRUE(std::equal(out.begin(), out.end(), rom->m_Buffer.get() + 0x100000));
    EXPECT_FALSE(ExportDevice(*rom, dir.File("no/such/dir.bin")).ok());

    const auto sums = ChecksumRange(*rom, {0, 0x7FFF});
    ASSERT_TRUE(sums.ok());
    EXPECT_EQ(sums->crc32, Crc32(out.data(), out.size()));
    EXPECT_FALSE(ChecksumRange(*rom, {0, kBufferSize}).ok());
}

// A HEX or S-record file gives only the addresses of its records: load-at
// and merge place those and leave the buffer's bytes in the gaps.
TEST_F(BufferOps, TextFilesPlaceOnlyTheirRecords)
{
    const auto image = RandomBytes(0x8000, 21);
    const auto part = RandomBytes(0x20, 22);
    for (ImageFormat format : {ImageFormat::IntelHex, ImageFormat::SRecord}) {
        SCOPED_TRACE(std::string(FormatName(format)));
        const std::string name = dir.File(format == ImageFormat::IntelHex ? "hi.hex" : "hi.s19");
        // 16 bytes at 0x7000 and 16 at 0x7100, one file of data records:
        // nothing below, nothing between.
        std::string records;
        for (const std::string& t : {WriteTextImage(format, part.data(), 0x10, 0x7000),
                                     WriteTextImage(format, part.data() + 0x10, 0x10, 0x7100)}) {
            std::size_t start = 0;
            for (std::size_t end; (end = t.find('\n', start)) != std::string::npos; start = end + 1) {
                const std::string line = t.substr(start, end - start);
                const bool data = format == ImageFormat::IntelHex ? line.compare(7, 2, "00") == 0
                                                                   : (line[1] >= '1' && line[1] <= '3');
                if (data) records += line + "\n";
            }
        }
        if (format == ImageFormat::IntelHex) records += ":00000001FF\n";
        std::ofstream(name) << records;

        Place(image);
        EditHistory history;
        ASSERT_TRUE(LoadAt(*rom, 0, name, &history).ok());
        std::size_t changed = 0;
        for (std::uint32_t a = 0; a < 0x8000; ++a) changed += rom->m_Buffer[a] != image[a];
        EXPECT_LE(changed, 0x20u);
        EXPECT_TRUE(std::equal(part.begin(), part.begin() + 0x10, rom->m_Buffer.get() + 0x7000));
        EXPECT_TRUE(std::equal(part.begin() + 0x10, part.end(), rom->m_Buffer.get() + 0x7100));
        EXPECT_TRUE(std::equal(image.begin() + 0x7010, image.begin() + 0x7100, rom->m_Buffer.get() + 0x7010));
        EXPECT_EQ(LoadedImageLength(*rom), 0x8000u);
        ASSERT_TRUE(history.Undo(*rom).ok());
        EXPECT_EQ(Head(0x8000), image);

        // Placed at an offset, the records keep their distance from it.
        ASSERT_TRUE(LoadAt(*rom, 0x100, name, &history).ok());
        EXPECT_TRUE(std::equal(part.begin(), part.begin() + 0x10, rom->m_Buffer.get() + 0x7100));
        EXPECT_EQ(rom->m_Buffer[0x7110], image[0x7110]);

        // Merge: a part's gaps leave the buffer's bytes at their places.
        Place(image);
        rom->m_Buffer[2 * 0x7010 + 1] = 0x5A;
        const std::string a = dir.Write("a.bin", std::vector<std::uint8_t>(0x7110, 0x11));
        ASSERT_TRUE(MergeFiles(*rom, {a, name}, &history).ok());
        EXPECT_EQ(rom->m_Buffer[2 * 0x7000 + 1], part[0]);
        EXPECT_EQ(rom->m_Buffer[2 * 0x7100 + 1], part[0x10]);
        EXPECT_EQ(rom->m_Buffer[1], image[1]) << "below the records";
        EXPECT_EQ(rom->m_Buffer[2 * 0x7010 + 1], 0x5A) << "between the records";
        EXPECT_EQ(rom->m_Buffer[0], 0x11);
        EXPECT_EQ(LoadedImageLength(*rom), 2u * 0x7110);
    }
}

TEST_F(BufferOps, ArgumentsParseDecimalAndHex)
{
    const auto fill = ParseFillArgs({"0x100", "511", "0xAA"});
    ASSERT_TRUE(fill.ok());
    EXPECT_EQ(fill->range.first, 0x100u);
    EXPECT_EQ(fill->range.last, 511u);
    EXPECT_EQ(fill->value, 0xAA);
    EXPECT_FALSE(ParseFillArgs({"0", "16777216", "0"}).ok());
    EXPECT_FALSE(ParseFillArgs({"5", "4", "0"}).ok());
    EXPECT_FALSE(ParseFillArgs({"0", "4", "256"}).ok());
    EXPECT_FALSE(ParseFillArgs({"0", "4"}).ok());
    const auto patch = ParsePatchArgs({"0xFFFFFE", "1", "0x02"});
    ASSERT_TRUE(patch.ok());
    EXPECT_EQ(patch->bytes, (std::vector<std::uint8_t>{1, 2}));
    EXPECT_FALSE(ParsePatchArgs({"0xFFFFFE", "1", "2", "3"}).ok());
    EXPECT_FALSE(ParsePatchArgs({"0x10"}).ok());
    EXPECT_FALSE(ParseLoadAtArgs({"-1", "x.bin"}).ok());
    EXPECT_EQ(ParseLoadAtArgs({"0x8000", "x.bin"})->offset, 0x8000u);
    EXPECT_FALSE(ParseRangeArgs({"1,5", "2"}).ok());
}

TEST(BufferFind, PatternsAndWrapAround)
{
    EXPECT_EQ(*ParseFindPattern("DE AD be ef"),
              (std::vector<std::uint8_t>{0xDE, 0xAD, 0xBE, 0xEF}));
    EXPECT_EQ(*ParseFindPattern("Hello"), (std::vector<std::uint8_t>{'H', 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(*ParseFindPattern("\"AB\""), (std::vector<std::uint8_t>{'A', 'B'}));
    EXPECT_EQ(*ParseFindPattern("AB CDE"),
              (std::vector<std::uint8_t>{'A', 'B', ' ', 'C', 'D', 'E'}));
    EXPECT_FALSE(ParseFindPattern("").ok());

    std::vector<std::uint8_t> buf(100, 0);
    buf[10] = 1, buf[11] = 2;
    buf[98] = 1, buf[99] = 2;
    const std::vector<std::uint8_t> p{1, 2};
    EXPECT_EQ(FindInBuffer(buf.data(), 100, p, 0), 10u);
    EXPECT_EQ(FindInBuffer(buf.data(), 100, p, 11), 98u);
    EXPECT_EQ(FindInBuffer(buf.data(), 100, p, 99), 10u);  // round to the start
    EXPECT_EQ(FindInBuffer(buf.data(), 100, std::vector<std::uint8_t>{3}, 0), std::nullopt);
}

TEST_F(BufferOps, UndoAndRedoAcrossOperations)
{
    rom->m_nDevice = 1;
    Place(RandomBytes(0x8000, 11));
    EditHistory history;
    history.Reset();
    const std::uint32_t loaded = BufferCrc();
    ASSERT_TRUE(Fill(*rom, {0x10, 0x2F}, 0x00, &history).ok());
    const std::uint32_t afterFill = BufferCrc();
    ASSERT_TRUE(SwapBytes(*rom, &history).ok());
    ASSERT_TRUE(RepeatToDevice(*rom, &history).ok());
    ASSERT_TRUE(Patch(*rom, 0x9000000 >> 8, std::vector<std::uint8_t>{7, 8, 9}, &history).ok());
    const std::uint32_t last = BufferCrc();
    EXPECT_EQ(history.UndoCount(), 4u);
    EXPECT_TRUE(history.IsModified());

    for (int i = 0; i < 4; ++i) ASSERT_TRUE(history.Undo(*rom).ok());
    EXPECT_EQ(BufferCrc(), loaded);
    EXPECT_EQ(rom->m_nLength, 0x8000);
    EXPECT_FALSE(history.IsModified());
    EXPECT_FALSE(history.Undo(*rom).ok());

    ASSERT_TRUE(history.Redo(*rom).ok());
    EXPECT_EQ(BufferCrc(), afterFill);
    EXPECT_TRUE(history.IsModified());
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(history.Redo(*rom).ok());
    EXPECT_EQ(BufferCrc(), last);
    EXPECT_EQ(rom->m_nLength, 0x90003);

    // A new change after an undo drops the redo.
    ASSERT_TRUE(history.Undo(*rom).ok());
    ASSERT_TRUE(Patch(*rom, 0, std::vector<std::uint8_t>{1}, &history).ok());
    EXPECT_FALSE(history.CanRedo());

    // Back to the loaded state by undo, then a save marks that state clean.
    history.MarkClean();
    EXPECT_FALSE(history.IsModified());
    ASSERT_TRUE(history.Undo(*rom).ok());
    EXPECT_TRUE(history.IsModified());
}

TEST_F(BufferOps, UndoRefusedWhenTheBufferWasReplaced)
{
    Place(RandomBytes(0x100));
    EditHistory history;
    ASSERT_TRUE(Fill(*rom, {0, 0xFF}, 0x00, &history).ok());
    Place(RandomBytes(0x100, 2));  // a load the history was not told of
    const std::uint32_t before = BufferCrc();
    EXPECT_FALSE(history.Undo(*rom).ok());
    EXPECT_EQ(BufferCrc(), before);
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.IsModified());
}

TEST_F(BufferOps, HistoryMemoryIsBoundedAndAFullFillUndoes)
{
    EditHistory history;
    const std::uint32_t loaded = BufferCrc();
    ASSERT_TRUE(Fill(*rom, {0, kBufferSize - 1}, 0x00, &history).ok());
    EXPECT_LE(history.MemoryUsed(), std::size_t(kBufferSize) + 1024);  // one copy, no more
    ASSERT_TRUE(history.Undo(*rom).ok());
    EXPECT_EQ(BufferCrc(), loaded);
    ASSERT_TRUE(history.Redo(*rom).ok());
    EXPECT_EQ(rom->m_Buffer[kBufferSize - 1], 0x00);

    // A small cap keeps the newest changes only.
    EditHistory small(4096);
    for (std::uint32_t i = 0; i < 100; ++i)
        ASSERT_TRUE(Fill(*rom, {0, 255}, std::uint8_t(i), &small).ok());
    EXPECT_LE(small.MemoryUsed(), 4096u);
    const std::size_t kept = small.UndoCount();
    EXPECT_GT(kept, 0u);
    EXPECT_LT(kept, 100u);
    while (small.CanUndo()) ASSERT_TRUE(small.Undo(*rom).ok());
    EXPECT_EQ(rom->m_Buffer[255], 99 - kept);  // the newest were undone, in order
    EXPECT_TRUE(small.IsModified());           // the oldest changes cannot be taken back
    // A change larger than the cap is made but cannot be undone.
    ASSERT_TRUE(Fill(*rom, {0, 0xFFFF}, 0x33, &small).ok());
    EXPECT_FALSE(small.CanUndo());
    EXPECT_TRUE(small.IsModified());
}

}  // namespace
}  // namespace vexo::test
