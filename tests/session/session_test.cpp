// SPDX-License-Identifier: GPL-3.0-or-later
// The operator's session: the rules both programs reach through it, once.
#include <gtest/gtest.h>

#include "port/sim_module.h"
#include "rom/catalogue.h"
#include "rom/shadows.h"
#include "session/session.h"
#include "support/sim_fixture.h"
#include "support/ui_recorder.h"

namespace vexo::test {
namespace {

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override { ResetShadows(); }

    // A session on `description`, started, with the boxes of the start taken.
    Session& Start(const std::string& description = "sim", PortWrapping wrapping = {})
    {
        session = std::make_unique<Session>(ui);
        PortSetup setup;
        setup.description = description;
        setup.wrapping = std::move(wrapping);
        session->OpenPort(setup);
        session->Start();
        ui.Take();
        return *session;
    }

    UiRecorder ui;
    std::unique_ptr<Session> session;
    TempDir dir;
};

TEST_F(SessionTest, SettingsAreStoredAndMirroredInThePanelWithOnePushEach)
{
    Session& s = Start();
    int pushes = 0;
    s.Panel().Listen([&pushes](const InfoPanel&) { ++pushes; });

    s.SelectDevice(4);
    s.SelectSpeed(2);
    EXPECT_EQ(s.Rom().m_nDevice, 4);
    EXPECT_EQ(s.Rom().m_nSpeed, 2);
    EXPECT_EQ(s.Panel().m_strDevice, "27C040");
    EXPECT_EQ(s.Panel().m_strSpeed, "Express");
    EXPECT_EQ(pushes, 2);
    EXPECT_TRUE(ui.Take().empty());
}

TEST_F(SessionTest, OnlyLpt1IsTakenAndTheFlagIsClearedAfterwards)
{
    Session& s = Start();
    EXPECT_TRUE(s.SelectPort(1));
    EXPECT_FALSE(s.SelectPort(2));
    EXPECT_FALSE(s.SelectPort(3));
    EXPECT_EQ(ui.Take(), (Messages{"Module found!!", "Module Not found!!", "Module Not found!!"}));
    EXPECT_EQ(s.Rom().m_nPort, 0);
    EXPECT_EQ(s.Rom().m_bError, 0);
    EXPECT_EQ(s.Panel().m_strPort, "LPT1 Port");

    // Without a module LPT1 is still taken; the check says what it found.
    Start("sim:module=absent");
    EXPECT_FALSE(session->SelectPort(1));
    EXPECT_EQ(ui.Take(), Messages{"Module Not found!!"});
    EXPECT_EQ(session->Panel().m_strPort, "LPT1 Port");
}

TEST_F(SessionTest, ANamedImageLoadsAndThePanelNamesIt)
{
    Session& s = Start();
    const std::string image = dir.Write("image.bin", RandomBytes(0x100));
    ASSERT_TRUE(s.OpenImage(image));
    EXPECT_EQ(s.Panel().m_strFileName, "image.bin");
    EXPECT_EQ(s.ImagePath(), image);
    EXPECT_TRUE(s.Rom().ImageLoaded());

    // The chooser's way: cancelled, nothing is loaded and nothing is named.
    EXPECT_FALSE(s.OpenImage());
    EXPECT_EQ(ui.Take(), Messages{"Faild File Loading..."});
    EXPECT_EQ(s.ImagePath(), "");
    EXPECT_FALSE(s.Rom().ImageLoaded());
}

TEST_F(SessionTest, ProgrammingLimitsAreOneRuleWithItsOwnTexts)
{
    Session& s = Start();
    // Both ends of each range are taken, one past is refused with the text
    // every front end shows.
    EXPECT_TRUE(s.SetProgramSettings({int(kMaxRetries), kMaxPulseMicroseconds, false}));
    EXPECT_TRUE(s.SetProgramSettings({0, 0, false}));
    const Status retries = s.SetProgramSettings({int(kMaxRetries) + 1, 0, false});
    EXPECT_EQ(retries.message(), "retries: give a number of rounds from 0 to 100");
    EXPECT_EQ(s.SetProgramSettings({-1, 0, false}).message(), retries.message());
    EXPECT_EQ(s.SetProgramSettings({0, kMaxPulseMicroseconds + 1, false}).message(),
              "pulse width: give microseconds from 0 to 10000");
    EXPECT_EQ(RetriesRangeText(), "give a number of rounds from 0 to 100");
    EXPECT_EQ(PulseRangeText(), "give microseconds from 0 to 10000");
    // The device object's own check agrees with the session's.
    EXPECT_TRUE(s.Rom().SetPulseMicros(kMaxPulseMicroseconds));
    EXPECT_EQ(s.Rom().SetPulseMicros(kMaxPulseMicroseconds + 1).message(),
              "a program pulse of 10001 us is out of range; give 0 to 10000");
}

TEST_F(SessionTest, ProgrammingSettingsAreCheckedAndReachEveryDeviceObject)
{
    Session& s = Start();
    EXPECT_FALSE(s.SetProgramSettings({101, 0, false}));
    EXPECT_FALSE(s.SetProgramSettings({0, 10001, false}));
    EXPECT_EQ(s.Settings().retries, 0);

    ASSERT_TRUE(s.SetProgramSettings({3, 100, true}));
    EXPECT_EQ(s.Rom().m_retries, 3);
    EXPECT_EQ(s.Rom().PulseMicros(), 100u);
    EXPECT_TRUE(s.Rom().SkipBlank());

    // A session's settings outlive the port: the next device object gets them.
    auto next = std::make_unique<Session>(ui);
    ASSERT_TRUE(next->SetProgramSettings({2, 0, true}));
    next->OpenPort({"sim", {}, 0x8000});
    next->Start();
    EXPECT_EQ(next->Rom().m_retries, 2);
    EXPECT_TRUE(next->Rom().SkipBlank());
}

TEST_F(SessionTest, HeldFilesCannotBeSavedOver)
{
    const std::string chip = dir.File("chip.bin");
    Session& s = Start("sim:chip=" + chip);
    EXPECT_FALSE(s.CheckSaveTarget(chip));
    EXPECT_TRUE(s.CheckSaveTarget(dir.File("dump.bin")));

    PortSetup clash;
    clash.description = "sim:chip=" + chip;
    clash.wrapping.tracePath = chip;
    EXPECT_FALSE(Session::CheckFiles(clash));
    clash.wrapping.tracePath = dir.File("trace.txt");
    EXPECT_TRUE(Session::CheckFiles(clash));
    EXPECT_FALSE(Session::CheckFiles(clash, {{"load", dir.File("trace.txt"), false, 1}}));
}

TEST_F(SessionTest, SaveChipRefusesAHeldFileBeforeReadingTheChip)
{
    const std::string chip = dir.File("chip.bin");
    Session& s = Start("sim:chip=" + chip);
    s.Rom().m_Buffer[0] = 0x12;
    EXPECT_FALSE(s.SaveChip(chip));
    const Messages boxes = ui.Take();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("are the same file"), std::string::npos) << boxes[0];
    EXPECT_EQ(s.Rom().m_Buffer[0], 0x12);  // the chip was not read

    EXPECT_TRUE(s.SaveChip(dir.File("dump.bin")));
    EXPECT_EQ(s.Rom().m_Buffer[0], 0xFF);
}

TEST_F(SessionTest, PortWordsAreCheckedOnceIntoASetup)
{
    PortWords words;
    words.port = "sim:chip=" + dir.File("chip.bin");
    words.fault = "seed=1,flip=0.5";
    words.trace = dir.File("wire.log");
    Result<PortSetup> made = Session::MakePortSetup(words, 0x20000);
    ASSERT_TRUE(made) << made.message();
    EXPECT_EQ(made->description, words.port);
    EXPECT_EQ(made->wrapping.fault, "seed=1,flip=0.5");
    EXPECT_EQ(made->wrapping.tracePath, words.trace);
    EXPECT_EQ(made->defaultChipSize, 0x20000u);

    // Each refusal names the option and its value, the port's first.
    PortWords bad = words;
    bad.port = "nosuch";
    bad.fault = "flip=2";
    const Result<PortSetup> port = Session::MakePortSetup(bad, 0x8000);
    ASSERT_FALSE(port);
    EXPECT_EQ(port.message().rfind("--port nosuch: ", 0), 0u) << port.message();
    bad.port = "sim";
    const Result<PortSetup> fault = Session::MakePortSetup(bad, 0x8000);
    ASSERT_FALSE(fault);
    EXPECT_EQ(fault.message().rfind("--fault flip=2: ", 0), 0u) << fault.message();
    // Given empty is not "none".
    bad.fault = "";
    EXPECT_EQ(Session::MakePortSetup(bad, 0x8000).message(), "--fault : empty fault description");
    bad.fault.reset();
    EXPECT_TRUE(Session::MakePortSetup(bad, 0x8000));

    // The chip file in a second role, among the steps' files too.
    words.trace = dir.File("chip.bin");
    EXPECT_FALSE(Session::MakePortSetup(words, 0x8000));
    words.trace.clear();
    EXPECT_FALSE(Session::MakePortSetup(words, 0x8000, {{"save", dir.File("chip.bin"), false, 1}}));
}

TEST_F(SessionTest, ShutdownResetsTheDeviceObjectAndNamesATraceThatLostLines)
{
    PortWrapping wrapping;
    wrapping.tracePath = "/dev/full";
    Session& s = Start("sim", wrapping);
    ASSERT_TRUE(s.Port().wrapFailures.empty());
    s.SelectDevice(2);
    ASSERT_TRUE(s.ReadRom());
    const Status finished = s.Shutdown();
    EXPECT_FALSE(finished);
    EXPECT_NE(finished.message().find("/dev/full"), std::string::npos) << finished.message();
    EXPECT_FALSE(s.Started());
}

TEST_F(SessionTest, APortThatStopsAnsweringIsNamedAndAStandInKeepsTheSessionUsable)
{
    std::string fault;
    OpenedPort opened;
    opened.port = std::make_unique<SimModule>(0x8000);
    opened.health = [&fault] { return fault.empty() ? Status::Ok() : Status::Fail(fault); };
    session = std::make_unique<Session>(ui);
    session->AdoptPort(std::move(opened));
    session->Start();
    EXPECT_TRUE(session->PortHealth().ok());
    fault = "/dev/parport0: the port stopped answering";
    EXPECT_FALSE(session->PortHealth().ok());
    EXPECT_EQ(session->PortHealth().message(), fault);

    // A port that cannot be opened: the disconnected one, and why.
    Session other(ui);
    const PortOpenReport& report = other.OpenPort({"ppdev:/dev/no-such-parport", {}, 0x8000});
    EXPECT_FALSE(report.opened);
    EXPECT_NE(report.openStatus.message().find("/dev/no-such-parport"), std::string::npos);
    other.Start();
    EXPECT_FALSE(other.Rom().ModulePresent());
}

TEST_F(SessionTest, TheSimulatorsChipSizesAreTheCatalogues)
{
    for (const DeviceInfo& device : kDevices) {
        ResetShadows();
        Session s(ui);
        s.OpenPort({"sim:size=" + std::string(device.name), {}, 1});
        auto* sim = dynamic_cast<SimModule*>(s.PortInUse());
        ASSERT_NE(sim, nullptr);
        EXPECT_EQ(sim->Size(), device.Size()) << device.name;
    }
}

// The operator stops a long pass: it ends before the next byte, the lines are
// put to rest, and the session says where; the stop is then forgotten.
class StoppingUi final : public UiRecorder {
public:
    void SetHexCountText(std::string_view text) override
    {
        UiRecorder::SetHexCountText(text);
        if (session && hexCountUpdates == stopAfter) session->StopPass();
    }
    Session* session = nullptr;
    long stopAfter = 0;
};

TEST(SessionPassStop, StopsAtTheNextByteAndSaysWhere)
{
    ResetShadows();
    TempDir dir;
    StoppingUi ui;
    Session session(ui);
    PortSetup setup;
    setup.description = "sim:chip=" + dir.File("chip.bin") + ",size=27C040";
    session.OpenPort(setup);
    session.Start();
    session.SelectDevice(4);
    ASSERT_EQ(session.Rom().DeviceSize(), 0x80000u);
    ASSERT_TRUE(session.OpenImage(dir.Write("fw.bin", RandomBytes(0x80000, 9))));
    ui.Take();
    EXPECT_FALSE(session.EndStoppedPass());  // nothing was stopped

    ui.session = &session;
    ui.stopAfter = ui.hexCountUpdates + 0x1A000;
    EXPECT_EQ(session.PassStopQuestion(), "Stop the pass?");
    EXPECT_FALSE(session.WriteRom());
    EXPECT_EQ(session.PassStopQuestion(), "Stop Programming? The chip will be partly programmed.");
    EXPECT_EQ(ui.Take(), std::vector<std::string>{"*** Start Writing ***"});  // no box of its own
    EXPECT_EQ(session.EndStoppedPass(), std::optional<std::string>("Stopped at 0x1A000: 0x1A000 bytes programmed"));
    EXPECT_FALSE(session.Rom().Stopped());
    EXPECT_FALSE(session.EndStoppedPass());

    // The next command runs whole.
    ui.session = nullptr;
    EXPECT_FALSE(session.Verify());
    const auto verify = ui.Take();
    ASSERT_FALSE(verify.empty());
    EXPECT_EQ(verify.back(), "verify failure !!!");
}

}  // namespace
}  // namespace vexo::test
