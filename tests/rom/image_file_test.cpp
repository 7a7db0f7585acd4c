// SPDX-License-Identifier: GPL-3.0-or-later
// Loading images into the buffer and saving the buffer, good files and bad.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/sim_fixture.h"

namespace vexo::test {
namespace {

using ImageFiles = RomOnSim;

void ExpectResetBuffer(const CRom& rom)
{
    EXPECT_EQ(rom.m_nLength, 0x7FFF);
    for (std::uint32_t i = 0; i <= 0x7FFF; ++i) ASSERT_EQ(rom.m_Buffer[i], 0xFF) << i;
    EXPECT_FALSE(rom.ImageLoaded());
}

TEST_F(ImageFiles, CancelResetsTheBufferAndClearsTheFileName)
{
    rom->m_Buffer[10] = 0;
    ui->choices.push_back(std::nullopt);
    EXPECT_FALSE(rom->LoadFile());
    EXPECT_EQ(ui->Take(), Messages{"Faild File Loading..."});
    EXPECT_EQ(ui->panel.m_strFileName, "");
    ExpectResetBuffer(*rom);
}

TEST_F(ImageFiles, LoadPlacesTheFileAndReportsItsFirstErasedByte)
{
    auto bytes = RandomBytes(1000);
    for (auto& b : bytes) b = b == 0xFF ? 0x00 : b;
    bytes[0x123] = 0xFF;
    bytes[0x200] = 0xFF;
    const std::uint8_t dataShadow = g_byData;
    ASSERT_TRUE(Load(dir.Write("thousand.bin", bytes)));
    EXPECT_TRUE(ui->Take().empty());
    EXPECT_EQ(rom->m_nLength, 1000);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), rom->m_Buffer.get()));
    for (std::uint32_t i = 1000; i <= 0x7FFF; ++i) ASSERT_EQ(rom->m_Buffer[i], 0xFF);
    EXPECT_EQ(ui->panel.m_strFileName, "thousand.bin");
    EXPECT_EQ(ui->panel.m_strEndAddr, "00123");
    EXPECT_EQ(rom->m_bEndFound, 0);
    EXPECT_TRUE(rom->ImageLoaded());
    EXPECT_EQ(g_byData, dataShadow);  // the 0xFF after a load bypasses the shadow

    ASSERT_TRUE(Load(dir.Write("first.bin", {0xFF, 0x00})));
    EXPECT_EQ(ui->panel.m_strEndAddr, "00000");
    ASSERT_TRUE(Load(dir.Write("none.bin", {0x01, 0x02})));
    EXPECT_EQ(ui->panel.m_strEndAddr, "00000");  // no 0xFF: left as it was
}

TEST_F(ImageFiles, ALoadOnlyResetsTheFirst32KiB)
{
    Select(4);
    for (std::uint32_t i = 0; i < 0x80000; ++i) sim->SetChipByte(i, 0x5A);
    rom->ReadRom();
    ASSERT_TRUE(Load(dir.Write("small.bin", RandomBytes(40000))));
    EXPECT_EQ(rom->m_Buffer[40000], 0x5A);
    EXPECT_EQ(rom->m_Buffer[0x7FFFF], 0x5A);

    rom->Reset();  // the exit-time reset does the same
    EXPECT_EQ(rom->m_Buffer[0x7FFF], 0xFF);
    EXPECT_EQ(rom->m_Buffer[40000], 0x5A);
}

TEST_F(ImageFiles, ReadOnlyFilesLoad)
{
    const std::string path = dir.Write("locked.bin", RandomBytes(64));
    ::chmod(path.c_str(), 0444);
    EXPECT_TRUE(Load(path));
    EXPECT_EQ(rom->m_nLength, 64);
}

TEST_F(ImageFiles, BadFilesAreRefusedAndLeaveTheBufferReset)
{
    const std::string tooLarge = dir.File("large.bin");
    ASSERT_EQ(::truncate(dir.Write("large.bin", {}).c_str(), off_t(kBufferSize) + 1), 0);
    const std::string unreadable = dir.Write("secret.bin", {1, 2, 3});
    ::chmod(unreadable.c_str(), 0);
    const bool root = ::geteuid() == 0;  // root reads it anyway

    const std::vector<std::pair<std::string, std::string>> cases{
        {dir.File("missing.bin"), "Faild File Loading..."},
        {dir.Path(), "Faild File Loading..."},
        {tooLarge, "File too large: the buffer holds at most 16 MiB (16777216 bytes). Nothing was loaded."},
    };
    for (const auto& [path, message] : cases) {
        rom->m_Buffer[0] = 0x00;
        EXPECT_FALSE(Load(path)) << path;
        EXPECT_EQ(ui->Take(), Messages{message}) << path;
        ExpectResetBuffer(*rom);
    }
    if (!root) {
        EXPECT_FALSE(Load(unreadable));
        EXPECT_EQ(ui->Take(), Messages{"Faild File Loading..."});
    }

    // Exactly 16 MiB still fits.
    ASSERT_EQ(::truncate(tooLarge.c_str(), off_t(kBufferSize)), 0);
    EXPECT_TRUE(Load(tooLarge));
    EXPECT_EQ(rom->m_nLength, std::int32_t(kBufferSize));
}

TEST_F(ImageFiles, AnEmptyFileLoadsButIsNoImage)
{
    EXPECT_TRUE(Load(dir.Write("empty.bin", {})));
    EXPECT_TRUE(ui->Take().empty());
    EXPECT_EQ(rom->m_nLength, 0);
    EXPECT_FALSE(rom->ImageLoaded());

    rom->m_strSaveName = dir.File("out.bin");
    EXPECT_FALSE(rom->SaveBuffer());
    EXPECT_EQ(ui->Take(), Messages{"Failed. File is empty!!"});
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.bin")));
}

TEST_F(ImageFiles, SaveWritesTheWholeDeviceAsReadNow)
{
    const std::uint32_t sizes[] = {0x8000, 0x10000, 0x20000, 0x40000, 0x80000};
    const auto chip = RandomBytes(0x80000, 11);
    for (std::uint32_t i = 0; i < chip.size(); ++i) sim->SetChipByte(i, chip[i]);
    for (int device = 0; device < kDeviceCount; ++device) {
        Select(device);
        rom->m_strSaveName = dir.File("dump.bin");
        EXPECT_TRUE(rom->SaveBuffer());
        EXPECT_EQ(ui->Take(), Messages{"Save OK !!"});
        const auto saved = ReadFileBytes(rom->m_strSaveName);
        ASSERT_EQ(saved.size(), sizes[device]);
        EXPECT_TRUE(std::equal(saved.begin(), saved.end(), chip.begin()));
    }
    EXPECT_EQ(rom->m_nLength, 0x7FFF);  // the save leaves the length word alone
}

TEST_F(ImageFiles, AFailedSaveSaysSoAndLeavesTheOldFile)
{
    const std::string existing = dir.Write("keep.bin", {1, 2, 3});
    const std::string locked = dir.File("locked");
    std::filesystem::create_directory(locked);

    std::vector<std::string> bad{"", dir.Path(), dir.File("no/such/folder.bin"), "/dev/full"};
    if (::geteuid() != 0) {
        ::chmod(locked.c_str(), 0555);
        bad.push_back(locked + "/out.bin");
        ::chmod(dir.Path().c_str(), 0555);
        bad.push_back(existing);
    }
    for (const auto& name : bad) {
        rom->m_strSaveName = name;
        EXPECT_FALSE(rom->SaveBuffer()) << name;
        EXPECT_EQ(ui->Take(), Messages{"Save Failed !!"}) << name;
    }
    ::chmod(dir.Path().c_str(), 0755);
    EXPECT_EQ(ReadFileBytes(existing), (std::vector<std::uint8_t>{1, 2, 3}));
    // No temporary file is left behind.
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename().string().rfind(".keep", 0), std::string::npos);
}

TEST_F(ImageFiles, SaveReplacesAnExistingFileThroughItsLink)
{
    const std::string target = dir.Write("real.bin", {1});
    std::filesystem::create_symlink(target, dir.File("link.bin"));
    rom->m_strSaveName = dir.File("link.bin");
    EXPECT_TRUE(rom->SaveBuffer());
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.bin")));
    EXPECT_EQ(ReadFileBytes(target).size(), 0x8000u);
}

}  // namespace
}  // namespace vexo::test

namespace vexo::test {
namespace {

TEST_F(ImageFiles, HexAndSRecordFilesLoadByExtension)
{
    // Two bytes at 0x10 and one at 0x20; the gaps stay erased.
    const std::string hex = ":02001000AA55EF\n:0100200001DE\n:00000001FF\n";
    std::ofstream(dir.File("image.HEX")) << hex;
    ASSERT_TRUE(Load(dir.File("image.HEX")));
    EXPECT_TRUE(ui->Take().empty());
    EXPECT_EQ(rom->m_nLength, 0x21);
    EXPECT_EQ(rom->m_Buffer[0x10], 0xAA);
    EXPECT_EQ(rom->m_Buffer[0x11], 0x55);
    EXPECT_EQ(rom->m_Buffer[0x20], 0x01);
    EXPECT_EQ(rom->m_Buffer[0x12], 0xFF);
    EXPECT_EQ(ui->panel.m_strEndAddr, "00000");
    EXPECT_TRUE(rom->ImageLoaded());

    // Gaps above the reset range read as erased too, not as what an earlier
    // device read left there; a damaged file changes nothing.
    rom->m_Buffer[0x9000] = 0x12;
    rom->m_Buffer[0xA001] = 0x34;
    std::ofstream(dir.File("far.hex")) << ":01A00000AAB5\n:00000001FF\n";
    ASSERT_TRUE(Load(dir.File("far.hex")));
    EXPECT_EQ(rom->m_nLength, 0xA001);
    EXPECT_EQ(rom->m_Buffer[0x9000], 0xFF);
    EXPECT_EQ(rom->m_Buffer[0xA000], 0xAA);
    EXPECT_EQ(rom->m_Buffer[0xA001], 0x34);  // past the image: untouched

    std::ofstream(dir.File("image.s19")) << "S10500001234B4\nS9030000FC\n";
    ASSERT_TRUE(Load(dir.File("image.s19")));
    EXPECT_EQ(rom->m_nLength, 2);
    EXPECT_EQ(rom->m_Buffer[0], 0x12);
    EXPECT_EQ(rom->m_Buffer[1], 0x34);

    // A damaged record names its line and loads nothing.
    std::ofstream(dir.File("bad.hex")) << ":02001000AA55EF\n:0100200001DF\n:00000001FF\n";
    EXPECT_FALSE(Load(dir.File("bad.hex")));
    const Messages messages = ui->Take();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("bad.hex: line 2:", 0), 0u) << messages[0];
    ExpectResetBuffer(*rom);
}

}  // namespace
}  // namespace vexo::test

namespace vexo::test {
namespace {

TEST_F(ImageFiles, PipesAreRefusedWithoutWaiting)
{
    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(Load(fifo));  // nobody writes: refused, not waited for
    EXPECT_EQ(ui->Take(), Messages{"Faild File Loading..."});

    rom->m_strSaveName = fifo;  // nobody reads
    EXPECT_FALSE(rom->SaveBuffer());
    EXPECT_EQ(ui->Take(), Messages{"Save Failed !!"});
}

TEST_F(ImageFiles, AWriteProtectedFileIsNotReplaced)
{
    if (::geteuid() == 0) GTEST_SKIP() << "file permissions do not bind root";
    const std::string locked = dir.Write("locked.bin", {1, 2, 3});
    ::chmod(locked.c_str(), 0444);
    rom->m_strSaveName = locked;
    EXPECT_FALSE(rom->SaveBuffer());
    EXPECT_EQ(ui->Take(), Messages{"Save Failed !!"});
    EXPECT_EQ(ReadFileBytes(locked), (std::vector<std::uint8_t>{1, 2, 3}));
}

}  // namespace
}  // namespace vexo::test
