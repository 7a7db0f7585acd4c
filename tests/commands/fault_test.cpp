// SPDX-License-Identifier: GPL-3.0-or-later
// Faults on the wire during each pass end in the command's failure message,
// never in an OK.
#include <gtest/gtest.h>

#include "port/fault_port.h"
#include "support/sim_fixture.h"

namespace vexo::test {
namespace {

struct Faulted {
    Faulted(const std::string& fault, std::uint32_t chipSize = 0x8000)
    {
        ResetShadows();
        FaultConfig config;
        const Result<FaultConfig> parsed = ParseFaultDescription(fault);
        EXPECT_TRUE(parsed.ok()) << parsed.message();
        if (parsed) config = *parsed;
        auto owned = std::make_unique<SimModule>(chipSize);
        sim = owned.get();
        port = std::make_unique<FaultPort>(std::move(owned), config);
        rom = std::make_unique<CRom>(*port, ui, ui.panel);
    }
    void Image(const std::vector<std::uint8_t>& bytes)
    {
        std::copy(bytes.begin(), bytes.end(), rom->m_Buffer.get());
        ui.choices.push_back(dir.Write("image.bin", bytes));
        ASSERT_TRUE(rom->LoadFile());
    }

    TempDir dir;
    UiRecorder ui;
    SimModule* sim;
    std::unique_ptr<FaultPort> port;
    std::unique_ptr<CRom> rom;
};

bool HasOk(const Messages& messages)
{
    for (const auto& m : messages)
        if (m == "Done!" || m == "*** Writing OK ***" || m == "*** Verify OK ***" ||
            m == "Reading OK" || m == "EPROM Checking OK !!!" || m == "Save OK !!")
            return true;
    return false;
}

// Port accesses of one 27C256 pass: blank check and read 103 per byte,
// programming at Normal 138, verify 103.
constexpr std::uint64_t kStart = 3;
constexpr std::uint64_t kBlankPass = 0x8000ull * 103;
constexpr std::uint64_t kProgramPass = 0x8000ull * 138;

TEST(Faults, UnpluggedDuringEachPassOfAutoWrite)
{
    const auto image = RandomBytes(0x8000, 4);
    const std::uint64_t load = 1;  // the 0xFF written after a load
    const std::uint64_t inBlank = kStart + load + kBlankPass / 2;
    const std::uint64_t inProgram = kStart + load + kBlankPass + 4 + kProgramPass / 2;
    const std::uint64_t inVerify = kStart + load + kBlankPass + 4 + kProgramPass + 4 + kBlankPass / 2;
    const std::vector<std::pair<std::uint64_t, std::string>> cases{
        {inBlank, "Blank check failure !!!"},
        {inProgram, "Writing verify failure !!!"},
        {inVerify, "Writing verify failure !!!"},
    };
    for (const auto& [after, failure] : cases) {
        Faulted f("unplug=" + std::to_string(after));
        f.Image(image);
        f.ui.Take();
        EXPECT_FALSE(f.rom->AutoWrite()) << after;
        const Messages messages = f.ui.Take();
        EXPECT_EQ(messages.back(), failure) << after;
        EXPECT_FALSE(HasOk(messages)) << after;
        EXPECT_TRUE(f.port->Unplugged());
        EXPECT_EQ(f.rom->m_bError, 0);
    }
}

TEST(Faults, UnpluggedDuringAReadOrASave)
{
    {
        Faulted f("unplug=" + std::to_string(kStart + 8 + kBlankPass / 2));
        f.sim->SetChipByte(0, 0x12);
        EXPECT_FALSE(f.rom->ReadRom());
        EXPECT_EQ(f.ui.Take(), (Messages{"*** Start Reading ***", "ROM not found"}));
        EXPECT_FALSE(f.rom->ImageLoaded());
    }
    {
        Faulted f("unplug=" + std::to_string(kStart + kBlankPass / 2));
        f.rom->m_strSaveName = f.dir.File("dump.bin");
        EXPECT_FALSE(f.rom->SaveBuffer());
        EXPECT_EQ(f.ui.Take(), Messages{"Save Failed !!"});
        EXPECT_FALSE(std::filesystem::exists(f.rom->m_strSaveName));
    }
}

TEST(Faults, PresenceLineStuckLowFailsEveryCommand)
{
    // The read line still works, so only the presence bit tells.
    Faulted f("stuck=7:0");
    EXPECT_EQ(f.ui.Take(), Messages{"Programming Module not found ! Please check connection of power Adapter."});
    EXPECT_FALSE(f.rom->BlankCheck());
    EXPECT_FALSE(f.rom->ReadRom());
    f.Image(RandomBytes(0x8000, 2));
    EXPECT_FALSE(f.rom->WriteRom());
    EXPECT_FALSE(f.rom->VerifyRom());
    EXPECT_FALSE(f.rom->AutoWrite());
    EXPECT_FALSE(HasOk(f.ui.Take()));
}

TEST(Faults, FlippedReadLineFailsBlankCheckAndVerify)
{
    const auto image = RandomBytes(0x8000, 6);
    Faulted f("flip=0.001,seed=7");
    EXPECT_FALSE(f.rom->BlankCheck());
    f.Image(image);
    for (std::uint32_t i = 0; i < image.size(); ++i) f.sim->SetChipByte(i, image[i]);
    EXPECT_FALSE(f.rom->VerifyRom());
    f.sim->Erase();
    EXPECT_FALSE(f.rom->AutoWrite());
    EXPECT_FALSE(HasOk(f.ui.Take()));
}

TEST(Faults, SameSeedSameFaults)
{
    auto run = [](const std::string& fault) {
        Faulted f(fault);
        f.rom->RunBlankCheck();
        return f.rom->m_nHexCount;
    };
    EXPECT_EQ(run("flip=0.0001,seed=3"), run("flip=0.0001,seed=3"));
    EXPECT_NE(run("flip=0.0001,seed=3"), run("flip=0.0001,seed=4"));
}

TEST(Faults, Descriptions)
{
    FaultConfig c;
    const Result<FaultConfig> parsed =
        ParseFaultDescription("seed=9,flip=0.5,mask=0xC0,stuck=6:1,stuck=7:0,unplug=100");
    ASSERT_TRUE(parsed.ok()) << parsed.message();
    c = *parsed;
    EXPECT_EQ(c.seed, 9u);
    EXPECT_EQ(c.flipMask, 0xC0);
    EXPECT_EQ(c.stuckMask, 0xC0);
    EXPECT_EQ(c.stuckValue, 0x40);
    EXPECT_EQ(c.unplugAfter, 100u);
    for (const char* bad : {"", "flip", "flip=2", "flip=-0.1", "stuck=8:1", "stuck=6:2", "stuck=6",
                            "unplug=x", "mask=0", "mask=0x100", "zap=1", "seed=1,"}) {
        const Result<FaultConfig> refused = ParseFaultDescription(bad);
        EXPECT_FALSE(refused.ok()) << bad;
        EXPECT_FALSE(refused.message().empty()) << bad;
    }
}

}  // namespace
}  // namespace vexo::test
