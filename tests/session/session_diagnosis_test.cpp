// SPDX-License-Identifier: GPL-3.0-or-later
// The session's diagnosis actions: scratch reads that leave the buffer alone,
// the refusal without a module, and the retry rounds' notes after a write.
#include <gtest/gtest.h>

#include <algorithm>

#include "rom/shadows.h"
#include "session/session.h"
#include "support/sim_fixture.h"
#include "support/ui_recorder.h"

namespace vexo::test {
namespace {

class NoteRecorder : public UiRecorder {
public:
    void Note(std::string_view text) override { notes.emplace_back(text); }
    // The retry lines among the result boxes' details.
    std::vector<std::string> RetryLines() const
    {
        std::vector<std::string> lines;
        for (const std::string& text : details)
            for (std::size_t from = 0; from <= text.size();) {
                const std::size_t end = std::min(text.find('\n', from), text.size());
                if (text.compare(from, 9, "retries: ") == 0) lines.push_back(text.substr(from, end - from));
                from = end + 1;
            }
        return lines;
    }
    std::vector<std::string> notes;
};

class SessionDiagnosis : public ::testing::Test {
protected:
    void Begin(const std::string& port)
    {
        ResetShadows();
        session = std::make_unique<Session>(ui);
        session->OpenPort(PortSetup{port, {}, 0x8000});
        session->Start();
        ui.Take();
    }
    void Load(const std::vector<std::uint8_t>& image)
    {
        ASSERT_TRUE(session->OpenImage(dir.Write("image.bin", image)));
        ui.Take();
    }

    TempDir dir;
    NoteRecorder ui;
    std::unique_ptr<Session> session;
};

TEST_F(SessionDiagnosis, ScratchReadsLeaveBufferAndPanelAlone)
{
    Begin("sim");
    const auto image = RandomBytes(0x8000, 3);
    Load(image);
    const std::string end = session->Panel().m_strEndAddr;
    const long updates = ui.hexCountUpdates;

    const Result<CompareReport> compared = session->CompareChip();
    ASSERT_TRUE(compared.ok());
    EXPECT_EQ(compared->size, 0x8000u);
    EXPECT_EQ(compared->diffs.size(), std::size_t(std::count_if(image.begin(), image.end(),
                                                                [](std::uint8_t b) { return b != 0xFF; })));
    EXPECT_GE(ui.hexCountUpdates - updates, 0x8000) << "the read shows the Hex Count as Read ROM does";
    EXPECT_TRUE(std::equal(image.begin(), image.end(), session->Rom().m_Buffer.get()));
    EXPECT_EQ(session->Panel().m_strEndAddr, end);

    const Result<EraseReport> erased = session->CheckErased();
    ASSERT_TRUE(erased.ok());
    EXPECT_TRUE(erased->Erased());
    EXPECT_TRUE(ui.Take().empty()) << "no boxes";
}

TEST_F(SessionDiagnosis, NoModuleIsRefused)
{
    Begin("sim:module=absent");
    const Result<CompareReport> compared = session->CompareChip();
    ASSERT_FALSE(compared.ok());
    EXPECT_EQ(compared.message(), "compare: no module answers on the port");
    const Result<EraseReport> erased = session->CheckErased();
    ASSERT_FALSE(erased.ok());
    EXPECT_EQ(erased.message(), "erase-check: no module answers on the port");
}

// Compare with an empty buffer is refused before the chip is read; erase
// check needs no image. After a read the buffer holds one again.
TEST_F(SessionDiagnosis, CompareNeedsAnImage)
{
    Begin("sim");
    const long updates = ui.hexCountUpdates;
    const Result<CompareReport> compared = session->CompareChip();
    ASSERT_FALSE(compared.ok());
    EXPECT_EQ(compared.message(), "compare: no image in the buffer (load one, or use erase-check)");
    EXPECT_EQ(ui.hexCountUpdates, updates) << "nothing was read";
    EXPECT_TRUE(session->CheckErased().ok());
    ASSERT_TRUE(session->ReadRom());
    ASSERT_TRUE(session->CompareChip().ok());
    EXPECT_TRUE(session->CompareChip()->Matches());
}

TEST_F(SessionDiagnosis, RetryRoundsAreNoted)
{
    const auto image = RandomBytes(0x8000, 5);
    Begin("sim:pulses=20,weak=5,seed=7");
    Load(image);
    ASSERT_FALSE(session->WriteRom());  // retries off: weak bytes stay short, nothing said of retries
    EXPECT_TRUE(ui.RetryLines().empty());

    Begin("sim:pulses=20,weak=5,seed=7");
    ASSERT_TRUE(session->SetProgramSettings({3, 0, false}).ok());
    // A write refused before programming ran no round: nothing to report.
    EXPECT_FALSE(session->WriteRom());
    EXPECT_TRUE(ui.RetryLines().empty());
    Load(image);
    ui.details.clear();
    EXPECT_TRUE(session->WriteRom());
    // In the result box's details, not only noted somewhere.
    const std::vector<std::string> rounds = ui.RetryLines();
    ASSERT_FALSE(rounds.empty());
    EXPECT_EQ(rounds[0].rfind("retries: round 1 programmed ", 0), 0u) << rounds[0];
    EXPECT_EQ(rounds.size(), session->Rom().m_retriedPerRound.size());
    EXPECT_EQ(ui.messages.back(), "*** Writing OK ***");

    Begin("sim");
    ASSERT_TRUE(session->SetProgramSettings({1, 0, false}).ok());
    Load(image);
    ui.details.clear();
    EXPECT_TRUE(session->AutoWrite());
    EXPECT_EQ(ui.RetryLines(), std::vector<std::string>{"retries: no byte needed another round"});
}

}  // namespace
}  // namespace vexo::test
