// SPDX-License-Identifier: GPL-3.0-or-later
// The session's buffer actions: one history across every operation and the
// front ends, started anew by loads and reads, the listener told of each
// change, and files the session holds refused as targets.
#include <gtest/gtest.h>

#include <fstream>

#include "rom/checksum.h"
#include "rom/shadows.h"
#include "session/session.h"
#include "support/sim_fixture.h"
#include "support/ui_recorder.h"

namespace vexo::test {
namespace {

class SessionBuffer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetShadows();
        chip = dir.File("chip.bin");
        session.OpenPort({"sim:chip=" + chip, {}, 0x8000});
        session.Start();
        session.ListenBuffer([this](bool replaced) { (replaced ? replacements : changes)++; });
        image = RandomBytes(0x8000, 7);
        ASSERT_TRUE(session.OpenImage(dir.Write("image.bin", image)));
        replacements = 0;
    }
    std::vector<std::uint8_t> Head(std::uint32_t size)
    {
        const std::uint8_t* b = session.Rom().m_Buffer.get();
        return {b, b + size};
    }

    TempDir dir;
    UiRecorder ui;
    Session session{ui};
    std::string chip;
    std::vector<std::uint8_t> image;
    int changes = 0;
    int replacements = 0;
};

TEST_F(SessionBuffer, OperationsShareOneHistoryThatLoadsAndReadsStartAnew)
{
    EXPECT_FALSE(session.BufferModified());
    const std::uint8_t patch[] = {0xDE, 0xAD};
    ASSERT_TRUE(session.FillBuffer({0x10, 0x1F}, 0x00).ok());
    ASSERT_TRUE(session.PatchBuffer(0x12, patch).ok());
    ASSERT_TRUE(session.SwapBufferBytes().ok());
    EXPECT_EQ(changes, 3);
    EXPECT_TRUE(session.BufferModified());
    EXPECT_EQ(session.History().UndoCount(), 3u);
    EXPECT_EQ(session.Rom().m_Buffer[0x12], 0xAD);  // the word's bytes swapped
    EXPECT_EQ(session.Rom().m_Buffer[0x13], 0xDE);

    for (int i = 0; i < 3; ++i) ASSERT_TRUE(session.Undo().ok());
    EXPECT_EQ(Head(0x8000), image);
    EXPECT_FALSE(session.BufferModified());
    EXPECT_FALSE(session.Undo().ok());  // nothing left: said, not done
    ASSERT_TRUE(session.Redo().ok());
    EXPECT_EQ(session.Rom().m_Buffer[0x10], 0x00);

    // A chip read replaces the buffer: nothing to undo, nothing modified.
    ASSERT_TRUE(session.ReadRom());
    EXPECT_EQ(replacements, 1);
    EXPECT_FALSE(session.BufferModified());
    EXPECT_FALSE(session.History().CanUndo());
    ASSERT_TRUE(session.FillBuffer({0, 0}, 1).ok());
    ASSERT_TRUE(session.OpenImage(dir.File("image.bin")));
    EXPECT_EQ(replacements, 2);
    EXPECT_FALSE(session.BufferModified());
}

TEST_F(SessionBuffer, RefusalsLeaveBufferAndHistoryAlone)
{
    const std::uint8_t two[] = {1, 2};
    EXPECT_FALSE(session.FillBuffer({0x20, 0x10}, 0).ok());
    EXPECT_FALSE(session.FillBuffer({0, kBufferSize}, 0).ok());
    EXPECT_FALSE(session.PatchBuffer(kBufferSize - 1, two).ok());
    EXPECT_FALSE(session.LoadAt(kBufferSize - 0x10, dir.File("image.bin")).ok());
    EXPECT_FALSE(session.MergeFiles({dir.File("image.bin"), dir.File("missing.bin")}).ok());
    session.SelectDevice(0);
    ASSERT_TRUE(session.OpenImage(dir.Write("big.bin", RandomBytes(0x9000))));
    EXPECT_FALSE(session.RepeatToDevice().ok());  // larger than the 27C256
    ASSERT_TRUE(session.OpenImage(dir.File("image.bin")));
    EXPECT_FALSE(session.History().CanUndo());
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(Head(0x8000), image);
    EXPECT_FALSE(session.BufferModified());
}

TEST_F(SessionBuffer, FilesTheSessionHoldsAreNoTargets)
{
    const std::string before = [&] {
        std::ifstream in(chip, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    const Status exported = session.ExportDevice(chip);
    EXPECT_FALSE(exported.ok());
    EXPECT_NE(exported.message().find("same file"), std::string::npos) << exported.message();
    EXPECT_FALSE(session.SplitImage({dir.File("even.bin"), chip}).ok());
    std::ifstream in(chip, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), before);
    EXPECT_TRUE(session.ExportDevice(dir.File("out.hex")).ok());
}

TEST_F(SessionBuffer, ChecksumOfARangeIsTypedAndFormatsAsTheLine)
{
    const Result<ChecksumReport> sums = session.Checksum({0x100, 0x1FF});
    ASSERT_TRUE(sums.ok());
    EXPECT_EQ(sums->first, 0x100u);
    EXPECT_EQ(sums->size, 0x100u);
    EXPECT_EQ(sums->sums.sum16, Sum16(image.data() + 0x100, 0x100));
    EXPECT_EQ(sums->sums.crc32, Crc32(image.data() + 0x100, 0x100));
    EXPECT_EQ(sums->RangeText(), "00100-001FF");
    EXPECT_EQ(sums->Line(), FormatChecksumLine(0x100, image.data() + 0x100, 0x100));
    EXPECT_EQ(session.Checksum(session.DeviceRange())->Line(), session.Checksum().Line());
    EXPECT_FALSE(session.Checksum({0x200, 0x100}).ok());
    EXPECT_FALSE(session.Checksum({0, kBufferSize}).ok());
}

TEST_F(SessionBuffer, StatusLinesCarryTheirFieldsAndValues)
{
    const std::vector<StatusField> fields = session.StatusFields("Hex Count: 0x8000 \n");
    ASSERT_EQ(fields.size(), 7u);
    EXPECT_EQ(fields[2].name, "Device Type");
    EXPECT_EQ(fields[2].line, "Device Type: " + fields[2].value);
    EXPECT_EQ(fields[6].line, "Hex Count: 0x8000");
    EXPECT_EQ(fields[6].name, "Hex Count");
    EXPECT_EQ(fields[6].value, "0x8000");
    // A pane without a colon has no field; the text is kept as it is.
    const StatusField bare = session.StatusFields("Ready").back();
    EXPECT_EQ(bare.line, "Ready");
    EXPECT_TRUE(bare.name.empty() && bare.value.empty());
    std::string text;
    for (const StatusField& f : fields) text += f.line + "\n";
    EXPECT_EQ(session.StatusText("Hex Count: 0x8000"), text);
}

}  // namespace
}  // namespace vexo::test
