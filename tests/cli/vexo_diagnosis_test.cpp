// SPDX-License-Identifier: GPL-3.0-or-later
// Compare, erase check and retries through the vexo binary, on the simulated
// module's faults.
#include <regex>

#include "vexo_runner.h"

namespace vexo::test {
namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class VexoDiagnosis : public VexoTest {
protected:
    VexoDiagnosis() { image = Write("img.bin", RandomImage(0x8000, 11)); }
    std::string Port(const std::string& keys) const { return "sim:chip=" + Path("chip.bin") + "," + keys; }
    std::string image;
};

TEST_F(VexoDiagnosis, StuckDataLineIsNamed)
{
    const std::string port = Port("data-stuck=3:1");
    VexoResult w = Vexo({"--port", port, "load", image, "write"});
    EXPECT_EQ(w.code, 1);
    EXPECT_TRUE(std::regex_search(w.err, std::regex("verify: first difference at 0x[0-9A-F]{5}: buffer "
                                                    "[0-9A-F]{2}, chip [0-9A-F]{2}\n")))
        << w.err;

    VexoResult c = Vexo({"--port", port, "load", image, "compare"});
    EXPECT_EQ(c.code, 1);
    const auto lines = c.Lines();
    // 16 byte lines, the cut, the summary, the finding.
    ASSERT_EQ(lines.size(), 19u) << c.out;
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("0x[0-9A-F]{5}: buffer [0-9A-F]{2}, chip [0-9A-F]{2} "
                                                      "\\(needs programming\\)")))
        << lines[0];
    EXPECT_EQ(lines[16].rfind("... and ", 0), 0u) << lines[16];
    EXPECT_TRUE(std::regex_match(lines[17], std::regex("compare: [0-9]+ bytes differ in 0x00000-0x07FFF "
                                                       "\\([0-9]+ need programming, 0 need erasing\\)")))
        << lines[17];
    EXPECT_EQ(lines.back(), "finding: data line D3 reads 1 at every address");

    VexoResult e = Vexo({"--port", port, "erase-check", "--max-diffs", "2"});
    EXPECT_EQ(e.code, 1);
    ASSERT_EQ(e.Lines().size(), 4u) << e.out;
    EXPECT_TRUE(std::regex_match(e.Lines()[0], std::regex("0x[0-9A-F]{5}: chip [0-9A-F]{2}")));
    EXPECT_TRUE(std::regex_match(e.Lines()[3], std::regex("erase-check: [0-9]+ bits in [0-9]+ bytes still "
                                                          "programmed, first 0x[0-9A-F]{5}, last 0x[0-9A-F]{5}")));
}

TEST_F(VexoDiagnosis, OpenAddressLineIsNamed)
{
    const std::string port = Port("addr-open=14");
    EXPECT_EQ(Vexo({"--port", port, "load", image, "write"}).code, 1);
    VexoResult c = Vexo({"--port", port, "load", image, "compare", "--max-diffs", "0"});
    EXPECT_EQ(c.code, 1);
    EXPECT_EQ(c.Lines().back(), "finding: address line A14 has no effect");
    EXPECT_FALSE(Has(c.out, "... and ")) << "--max-diffs 0 lists every byte";
}

TEST_F(VexoDiagnosis, WeakCellsHoldWithRetries)
{
    const std::string weak = "pulses=20,weak=5,seed=7";
    VexoResult none = Vexo({"--port", Port(weak), "load", image, "write"});
    EXPECT_EQ(none.code, 1);
    EXPECT_TRUE(Has(none.out, "Writing verify failure !!!"));
    EXPECT_FALSE(Has(none.err, "retries:"));
    VexoResult c = Vexo({"--port", Port(weak), "load", image, "compare"});
    EXPECT_EQ(c.code, 1);
    EXPECT_TRUE(Has(c.out, "need programming, 0 need erasing)")) << c.out;

    std::filesystem::remove(Path("chip.bin"));
    VexoResult three = Vexo({"--retries", "3", "--port", Port(weak), "load", image, "write", "compare"});
    EXPECT_EQ(three.code, 0) << three.out << three.err;
    EXPECT_TRUE(std::regex_search(three.err, std::regex("retries: round 1 programmed [0-9]+ bytes again\n")))
        << three.err;
    EXPECT_TRUE(Has(three.out, "compare: chip matches buffer in 0x00000-0x07FFF\n"));
    EXPECT_EQ(Slurp(Path("chip.bin")), Slurp(image));

    // Auto Write reports its rounds too; a chip that needed none says so.
    std::filesystem::remove(Path("chip.bin"));
    VexoResult healthy = Vexo({"--retries", "2", "--port", Port("pulses=1"), "load", image, "auto"});
    EXPECT_EQ(healthy.code, 0);
    EXPECT_TRUE(Has(healthy.err, "retries: no byte needed another round\n")) << healthy.err;
}

TEST_F(VexoDiagnosis, ErasedAndMatchingChips)
{
    VexoResult e = Vexo({"--port", Port("size=27C256"), "erase-check"});
    EXPECT_EQ(e.code, 0);
    EXPECT_EQ(e.out, "erase-check: all 32768 bytes erased\n");

    EXPECT_EQ(Vexo({"--port", Port("size=27C256"), "load", image, "write"}).code, 0);
    VexoResult c = Vexo({"--port", Port("size=27C256"), "load", image, "compare"});
    EXPECT_EQ(c.code, 0);
    EXPECT_EQ(c.Lines().back(), "compare: chip matches buffer in 0x00000-0x07FFF");
}

// The red-team cases: a blank chip behind D5 stuck at 0 and a chip of all
// 00 each get one finding; the chip that holds the image names D5 alone.
TEST_F(VexoDiagnosis, FindingsBlameOnlyTheStuckLine)
{
    VexoResult blank = Vexo({"--port", Port("data-stuck=5:0"), "load", image, "compare", "--max-diffs", "0"});
    EXPECT_EQ(blank.code, 1);
    EXPECT_EQ(blank.Lines().back(), "finding: chip reads DF at every address") << blank.out;
    EXPECT_FALSE(Has(blank.out, "data line")) << blank.out;

    Write("chip.bin", Slurp(image));
    VexoResult held = Vexo({"--port", Port("data-stuck=5:0"), "load", image, "compare"});
    EXPECT_EQ(held.code, 1);
    EXPECT_EQ(held.Lines().back(), "finding: data line D5 reads 0 at every address") << held.out;
    EXPECT_EQ(held.out.find("finding:"), held.out.rfind("finding:")) << held.out;

    Write("chip.bin", std::string(0x8000, '\0'));
    VexoResult zeros = Vexo({"--port", Port("size=27C256"), "load", image, "compare"});
    EXPECT_EQ(zeros.code, 1);
    EXPECT_EQ(zeros.out.find("finding:"), zeros.out.rfind("finding:")) << zeros.out;
    EXPECT_EQ(zeros.Lines().back(), "finding: chip reads 00 at every address") << zeros.out;

    Write("chip.bin", Slurp(image));
    VexoResult healthy = Vexo({"--port", Port("size=27C256"), "load", image, "compare"});
    EXPECT_EQ(healthy.code, 0);
    EXPECT_FALSE(Has(healthy.out, "finding:")) << healthy.out;
}

TEST_F(VexoDiagnosis, CompareWithoutAnImageIsRefused)
{
    Write("chip.bin", RandomImage(0x8000, 12));
    VexoResult c = Vexo({"--port", Port("size=27C256"), "compare", "--csv", Path("d.csv")});
    EXPECT_EQ(c.code, 1);
    EXPECT_EQ(c.out, "compare: no image in the buffer (load one, or use erase-check)\n") << c.out;
    EXPECT_FALSE(std::filesystem::exists(Path("d.csv")));
    // With an image, a different chip is a difference, as before.
    EXPECT_EQ(Vexo({"--port", Port("size=27C256"), "load", image, "compare"}).code, 1);
    EXPECT_EQ(Vexo({"--port", Port("size=27C256"), "erase-check"}).code, 1);
}

TEST_F(VexoDiagnosis, CsvHoldsEveryDifference)
{
    // A blank chip against the image: every byte not 0xFF differs.
    const std::string bytes = Slurp(image);
    const auto differing = std::count_if(bytes.begin(), bytes.end(), [](char b) { return b != char(0xFF); });
    VexoResult c = Vexo({"--port", Port("size=27C256"), "load", image, "compare", "--max-diffs", "3", "--csv",
                         Path("d.csv")});
    EXPECT_EQ(c.code, 1);
    EXPECT_TRUE(Has(c.out, "... and " + std::to_string(differing - 3) + " more\n")) << c.out;
    EXPECT_TRUE(Has(c.out, "finding: chip reads FF at every address (blank)\n")) << c.out;
    const std::string csv = Slurp(Path("d.csv"));
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), differing + 1);  // and the header

    // The CSV cannot be the chip file, nor a --max-diffs a word.
    VexoResult clash = Vexo({"--port", Port("size=27C256"), "compare", "--csv", Path("chip.bin")});
    EXPECT_EQ(clash.code, 2);
    EXPECT_TRUE(Has(clash.err, "are the same file")) << clash.err;
    EXPECT_EQ(Vexo({"compare", "--max-diffs", "many"}).code, 2);
    EXPECT_EQ(Vexo({"erase-check", "--max-diffs", "-1"}).code, 2);
}

TEST_F(VexoDiagnosis, NoModuleAnswers)
{
    VexoResult c = Vexo({"--port", "sim:module=absent", "compare"});
    EXPECT_EQ(c.code, 1);
    EXPECT_TRUE(Has(c.out, "compare: no module answers on the port\n")) << c.out;
    VexoResult e = Vexo({"--port", "sim:module=absent", "erase-check"});
    EXPECT_EQ(e.code, 1);
    EXPECT_TRUE(Has(e.out, "erase-check: no module answers on the port\n")) << e.out;
}

TEST_F(VexoDiagnosis, WireTrafficAtDefaults)
{
    // --retries 0 is the module's own write; compare reads as Read ROM does.
    auto trace = [&](std::vector<std::string> args, const std::string& name) {
        std::filesystem::remove(Path("chip.bin"));
        args.insert(args.begin(), {"--trace", Path(name), "--port", Port("size=27C256")});
        EXPECT_EQ(Vexo(args).code, 0);
        return Slurp(Path(name));
    };
    const std::string plain = trace({"load", image, "write"}, "a.log");
    EXPECT_FALSE(plain.empty());
    EXPECT_EQ(trace({"--retries", "0", "load", image, "write"}, "b.log"), plain);
    EXPECT_EQ(trace({"erase-check"}, "c.log"), trace({"read"}, "d.log"));
}

}  // namespace
}  // namespace vexo::test
