// SPDX-License-Identifier: GPL-3.0-or-later
// The session's real port actions: the port check on made-up machines, and
// device selection by part number.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "port/recorder.h"
#include "session/session.h"
#include "support/sim_fixture.h"
#include "support/ui_recorder.h"

namespace vexo {
namespace {

class PortNoteRecorder : public test::UiRecorder {
public:
    void Note(std::string_view text) override { notes.emplace_back(text); }
    std::vector<std::string> notes;
};

// A machine with one parallel port at 0x378 and the printer driver holding it.
PortCheckOptions MachineWithPrinterDriver(const test::TempDir& dir)
{
    auto put = [&dir](const std::string& path, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(dir.File(path)).parent_path());
        std::ofstream(dir.File(path)) << text;
    };
    put("proc/modules", "ppdev 24576 0 - Live 0x0\nparport_pc 1 0 - Live 0x0\nlp 20480 0 - Live 0x0\n");
    put("proc/ioports", "0378-037a : parport0\n");
    put("sys/class/printer/lp0/dev", "6:0\n");
    put("etc/group", "lp:x:7:\n");
    PortCheckOptions options;
    options.paths = {dir.File("proc"), dir.File("sys"), dir.File("dev"), dir.File("etc")};
    options.user.uid = 1000;
    options.user.gid = 1000;
    options.user.groups = {1000};
    return options;
}

bool Has(const PortCheckReport& report, const std::string& start)
{
    for (const std::string& line : report.lines)
        if (line.rfind(start, 0) == 0) return true;
    return false;
}

TEST(SessionPortCheck, MachineThenPortThenModuleThenTable)
{
    test::TempDir dir;
    PortNoteRecorder ui;
    Session session(ui);
    session.OpenPort(PortSetup{"sim", {}, 0x8000});
    session.Start();
    ASSERT_TRUE(session.SetProgramSettings({0, 250, false}));
    const PortCheckReport report = session.RunPortCheck(MachineWithPrinterDriver(dir));
    EXPECT_EQ(report.ExitStatus(), 0);
    EXPECT_TRUE(Has(report, "problem: the printer driver lp is loaded"));
    EXPECT_TRUE(Has(report, "ok: the kernel lists parallel port parport0 at 0x378"));
    EXPECT_TRUE(Has(report, "ok: port opened: simulated module"));
    EXPECT_TRUE(Has(report, "time each command takes on this port (pulse pause 250 us):"));
    EXPECT_TRUE(ui.messages.empty());  // the check speaks in its lines only
}

TEST(SessionPortCheck, WritesNothingButTheModuleCheck)
{
    test::TempDir dir;
    PortNoteRecorder ui;
    Session session(ui);
    auto recording = std::make_unique<RecordingPort>();
    RecordingPort* port = recording.get();
    OpenedPort opened;
    opened.port = std::move(recording);
    opened.description = "recording";
    session.AdoptPort(std::move(opened));
    session.Start();
    const std::size_t writesBefore = port->CountWrites();
    const PortCheckReport report = session.RunPortCheck(MachineWithPrinterDriver(dir));
    const std::size_t writes = port->CountWrites();
    EXPECT_EQ(writes - writesBefore, 2u);  // control, then data: the module check
    EXPECT_TRUE(Has(report, "ok: one port access takes"));
}

TEST(SessionPortCheck, PortThatDidNotOpenFailsWithoutATable)
{
    test::TempDir dir;
    PortNoteRecorder ui;
    Session session(ui);
    session.OpenPort(PortSetup{"ppdev:/dev/vexo-no-such-parport", {}, 0x8000});
    session.Start();
    const PortCheckReport report = session.RunPortCheck(MachineWithPrinterDriver(dir));
    EXPECT_EQ(report.ExitStatus(), 1);
    EXPECT_TRUE(Has(report, "problem: cannot open /dev/vexo-no-such-parport"));
    EXPECT_FALSE(Has(report, "ok: one port access takes"));
}

TEST(SessionParts, SelectByNumberWithNoteAndUnknownNamesClosest)
{
    PortNoteRecorder ui;
    Session session(ui);
    session.OpenPort(PortSetup{"sim", {}, 0x80000});
    session.Start();

    const Result<PartInfo> plain = session.SelectPart("M27C4001-10F1");
    ASSERT_TRUE(plain);
    EXPECT_EQ(session.Rom().m_nDevice, 4);
    EXPECT_EQ(session.Panel().m_strDevice, "27C040");
    EXPECT_TRUE(ui.notes.empty());

    ASSERT_TRUE(session.SelectPart("W27C512-45Z"));
    EXPECT_EQ(session.Rom().m_nDevice, 1);
    ASSERT_EQ(ui.notes.size(), 1u);
    EXPECT_NE(ui.notes[0].find("cannot erase"), std::string::npos);

    const Result<PartInfo> unknown = session.SelectPart("27C521");
    ASSERT_FALSE(unknown);
    EXPECT_NE(unknown.message().find("27C512"), std::string::npos);
    EXPECT_EQ(session.Rom().m_nDevice, 1);  // left as it was

    // The type names themselves are parts too.
    ASSERT_TRUE(Session::LookUpPart("27c010"));
    EXPECT_EQ(Session::LookUpPart("27c010")->device, 2);
}

TEST(SessionParts, TypeNamesAndNumbersAreOneSelectionWithOneNoteLine)
{
    PortNoteRecorder ui;
    Session session(ui);
    session.OpenPort(PortSetup{"sim", {}, 0x80000});
    session.Start();

    // A type name is a selection like a number: no note of its own.
    ASSERT_TRUE(session.SelectPart("27c020"));
    EXPECT_EQ(session.Rom().m_nDevice, 3);
    EXPECT_TRUE(ui.notes.empty());

    // The note goes to the operator as the line both programs show.
    const Result<PartInfo> part = session.SelectPart("W27C512-45Z");
    ASSERT_TRUE(part);
    ASSERT_EQ(ui.notes.size(), 1u);
    EXPECT_EQ(ui.notes[0], Session::PartNote(*part));
    EXPECT_EQ(ui.notes[0].rfind("W27C512: electrically erasable: ", 0), 0u) << ui.notes[0];
    EXPECT_EQ(Session::PartNote(*Session::LookUpPart("27C512")), "");
}

TEST(SessionParts, LineTestBit4FollowsTheBackend)
{
    PortNoteRecorder ui;
    Session sim(ui);
    sim.OpenPort(PortSetup{"sim", {}, 0x8000});
    EXPECT_TRUE(sim.LineTestCanDriveBit4());
    Session ppdev(ui);
    ppdev.OpenPort(PortSetup{"ppdev:/dev/vexo-no-such-parport", {}, 0x8000});
    EXPECT_FALSE(ppdev.LineTestCanDriveBit4());
}

}  // namespace
}  // namespace vexo
