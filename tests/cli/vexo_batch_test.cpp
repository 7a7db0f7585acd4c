// SPDX-License-Identifier: GPL-3.0-or-later
// vexo's production runs on the simulator's tray, and --json read back by a
// JSON parser.
#include <cctype>
#include <cstdio>

#include "vexo_runner.h"

namespace vexo::test {
namespace {

class VexoBatch : public VexoTest {
protected:
    VexoBatch() { image = RandomImage(0x8000, 21); Write("fw.bin", image); }

    // Standard input of `chips` Enters.
    void Enters(int chips) { m_stdinPath = Write("enters.txt", std::string(std::size_t(chips), '\n')); }

    std::string Chip(int n) const { return Slurp(Path("tray/chip-" + std::to_string(n) + ".bin")); }

    // The image with `bytes` at `address`.
    std::string With(std::uint32_t address, const std::string& bytes) const
    {
        std::string expected = image;
        expected.replace(address, bytes.size(), bytes);
        return expected;
    }
    static std::string Le4(std::uint32_t v)
    {
        return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    }

    // A used chip: erased but for one programmed byte.
    void UsedChip(int n)
    {
        std::filesystem::create_directories(Path("tray"));
        std::string bytes(0x8000, '\xFF');
        bytes[0x1A3] = '\x7B';
        Write("tray/chip-" + std::to_string(n) + ".bin", bytes);
    }

    static std::size_t Count(const std::string& text, const std::string& what)
    {
        std::size_t n = 0;
        for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
        return n;
    }

    std::string image;
};

TEST_F(VexoBatch, ThreeChipsGetTheImageWithTheirSerialsAndALogRecordEach)
{
    Enters(3);
    VexoResult r = Vexo({"--port", "sim:tray=tray", "load", "fw.bin", "batch", "--serial", "0x7FF0:4:1000",
                         "--log", "run.csv"});
    EXPECT_EQ(r.code, 0) << r.err;
    const auto lines = r.Lines();
    ASSERT_EQ(lines.size(), 4u) << r.out;
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(lines[n].rfind("chip " + std::to_string(n + 1) + ": passed, serial " +
                                     std::to_string(1000 + n) + ", crc32 0x", 0), 0u) << lines[n];
        EXPECT_EQ(Chip(n + 1), With(0x7FF0, Le4(1000 + n))) << n;
    }
    EXPECT_EQ(lines[3], "batch: 3 chips, 3 passed, 0 failed");
    // Each prompt once, and one more for the chip that never came.
    for (int n = 1; n <= 4; ++n)
        EXPECT_NE(r.err.find("Insert chip " + std::to_string(n) + " and press Enter (q to stop)"),
                  std::string::npos) << r.err;
    const std::string log = Slurp(Path("run.csv"));
    EXPECT_EQ(Count(log, "\n"), 4u) << log;
    EXPECT_EQ(Count(log, ",passed,,,"), 3u) << log;
    EXPECT_NE(log.find(",3,27C256,fw.bin,"), std::string::npos) << log;
    EXPECT_EQ(Slurp(Path("fw.bin")), image);

    // "q" stops before the chip: a run that programmed none fails.
    m_stdinPath = Write("q.txt", "q\n\n");
    r = Vexo({"--port", "sim:tray=tray2", "load", "fw.bin", "batch"});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(r.out, "batch: 0 chips, 0 passed, 0 failed\n");
    EXPECT_FALSE(std::filesystem::exists(Path("tray2/chip-1.bin")));
}

TEST_F(VexoBatch, AFailedChipGivesItsSerialToTheNextAndFailsTheRun)
{
    UsedChip(2);
    Enters(3);
    VexoResult r = Vexo({"--port", "sim:tray=tray", "load", "fw.bin", "batch", "--serial", "0x7FF0:4:1000",
                         "--log", "run.jsonl"});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.out.find("chip 2: failed at blank, not blank at 0x001A3: chip 7B\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("chip 3: passed, serial 1001, "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("batch: 3 chips, 2 passed, 1 failed\n"), std::string::npos) << r.out;
    EXPECT_EQ(Chip(3), With(0x7FF0, Le4(1001)));
    const std::string log = Slurp(Path("run.jsonl"));
    EXPECT_EQ(Count(log, "\n"), 3u) << log;
    EXPECT_NE(log.find("\"result\":\"failed\",\"failed_step\":\"blank\",\"failed_address\":\"0x001A3\""),
              std::string::npos) << log;

    // A data line stuck in the socket: every chip fails at verify with its
    // first difference, and the serial never moves on.
    Enters(2);
    r = Vexo({"--port", "sim:tray=stuck,data-stuck=3:1", "load", "fw.bin", "batch", "--serial", "0x7FF0:4:7"});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.out.find("chip 1: failed at verify, first difference at 0x"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("batch: 2 chips, 0 passed, 2 failed"), std::string::npos) << r.out;
}

TEST_F(VexoBatch, SerialFormatsAndTheWidthCheck)
{
    struct Case {
        const char* plan;
        std::string bytes;  // of the first chip's number
    };
    const Case cases[] = {
        {"0x100:4:0x12345678", "\x78\x56\x34\x12"},
        {"0x100:4:0x12345678:1:le", "\x78\x56\x34\x12"},
        {"0x100:3:0x123456:1:be", "\x12\x34\x56"},
        {"0x100:3:12345:1:bcd", std::string("\x01\x23\x45", 3)},
        {"0x100:6:42:5:ascii", "000042"},
    };
    int n = 0;
    for (const Case& c : cases) {
        Enters(1);
        const std::string tray = "tray" + std::to_string(++n);
        VexoResult r = Vexo({"--port", "sim:tray=" + tray, "load", "fw.bin", "batch", "--serial", c.plan});
        EXPECT_EQ(r.code, 0) << c.plan << r.err;
        EXPECT_EQ(Slurp(Path(tray + "/chip-1.bin")), With(0x100, c.bytes)) << c.plan;
    }
    // STEP 5 in ASCII: the second chip gets 000047.
    Enters(2);
    VexoResult r = Vexo({"--port", "sim:tray=ascii", "load", "fw.bin", "batch", "--serial", "0x100:6:42:5:ascii"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Slurp(Path("ascii/chip-2.bin")), With(0x100, "000047"));

    // A number that outgrows its width stops the run before that chip.
    Enters(3);
    r = Vexo({"--port", "sim:tray=full", "load", "fw.bin", "batch", "--serial", "0x100:1:254"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("256 does not fit in 1 byte"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("batch: 2 chips, 2 passed, 0 failed"), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists(Path("full/chip-3.bin")));

    // Plans that cannot be are usage errors: nothing runs.
    for (const char* bad : {"0x100:9:1", "0x100:0:1", "0x100:2:1:1:hex", "0x100", "0x100:1:300"}) {
        r = Vexo({"--port", "sim:tray=bad", "load", "fw.bin", "batch", "--serial", bad});
        EXPECT_EQ(r.code, 2) << bad << r.err;
        EXPECT_FALSE(std::filesystem::exists(Path("bad/chip-1.bin"))) << bad;
    }
    r = Vexo({"load", "fw.bin", "batch", "--retries", "101"});
    EXPECT_EQ(r.code, 2);
}

TEST_F(VexoBatch, TheLogIsContinuedAcrossRuns)
{
    for (const char* name : {"run.csv", "run.jsonl"}) {
        Enters(2);
        VexoResult r = Vexo({"--port", "sim:tray=a", "load", "fw.bin", "batch", "--log", name});
        EXPECT_EQ(r.code, 0) << r.err;
        Enters(1);
        r = Vexo({"--port", "sim:tray=b", "load", "fw.bin", "batch", "--log", name});
        EXPECT_EQ(r.code, 0) << r.err;
        const std::string log = Slurp(Path(name));
        const bool csv = std::string(name) == "run.csv";
        EXPECT_EQ(Count(log, "\n"), csv ? 4u : 3u) << log;
        EXPECT_EQ(Count(log, "time,chip,"), csv ? 1u : 0u) << log;
        EXPECT_EQ(Count(log, "passed"), 3u) << log;
        std::filesystem::remove_all(Path("a"));
        std::filesystem::remove_all(Path("b"));
    }
    // The log may not be a file the port holds, nor the image being loaded in the same step.
    Enters(1);
    VexoResult r = Vexo({"--port", "sim:chip=c.bin", "load", "fw.bin", "batch", "--log", "c.bin"});
    EXPECT_EQ(r.code, 2) << r.err;
}

// Only Enter starts a chip: a stray word asks again, "quit" and "stop" stop
// as "q" does, and a run that programmed no chip fails.
TEST_F(VexoBatch, OnlyEnterStartsTheNextChip)
{
    m_stdinPath = Write("answers.txt", "yes\n  \nQuit\n\n");
    VexoResult r = Vexo({"--port", "sim:tray=tray", "load", "fw.bin", "batch"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Count(r.out, "chip 1: passed"), 1u) << r.out;
    EXPECT_NE(r.out.find("batch: 1 chip, 1 passed, 0 failed\n"), std::string::npos) << r.out;
    EXPECT_EQ(Count(r.err, "press Enter for the next chip, or q to stop\n"), 1u) << r.err;
    EXPECT_FALSE(std::filesystem::exists(Path("tray/chip-2.bin")));

    for (const char* stop : {"stop\n\n", "q\n", "", "\n"}) {
        m_stdinPath = Write("stop.txt", stop);
        std::filesystem::remove_all(Path("tray"));
        r = Vexo({"--port", "sim:tray=tray", "load", "fw.bin", "batch", "--log", "none.csv"});
        const bool oneChip = std::string(stop) == "\n";
        EXPECT_EQ(r.code, oneChip ? 0 : 1) << stop << r.err;
        EXPECT_EQ(std::filesystem::exists(Path("tray/chip-1.bin")), oneChip) << stop;
        if (!oneChip) {
            EXPECT_EQ(r.out, "batch: 0 chips, 0 passed, 0 failed\n") << stop;
            EXPECT_NE(r.err.find("vexo: batch: no chip was programmed\n"), std::string::npos) << r.err;
        }
    }
}

// The module gone in the middle of a blank check: the chip's line says so.
TEST_F(VexoBatch, AModuleThatStopsAnsweringIsNotABlankFailure)
{
    Enters(2);
    VexoResult r = Vexo({"--port", "sim:tray=tray", "--fault", "unplug=1000000", "--json", "load", "fw.bin",
                         "batch", "--log", "run.jsonl"});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.out.find("\"line\":\"chip 1: failed at blank, the module stopped answering at 0x025EC\""),
              std::string::npos) << r.out;
    // The address is the same text in the output's record and the log's.
    EXPECT_NE(r.out.find("\"failed_address\":9708"), std::string::npos) << r.out;  // 0x025EC
    EXPECT_NE(Slurp(Path("run.jsonl")).find("\"failed_address\":\"0x025EC\""), std::string::npos);
}

// The log's provenance: the file loaded, edited or not, the merged files,
// and the CRC-32 that `checksum` prints for the same buffer.
TEST_F(VexoBatch, TheLogNamesWhatWasProgrammed)
{
    Write("small.bin", "SMALL");
    Write("a.bin", image.substr(0, 0x4000));
    Write("b.bin", image.substr(0x4000));
    struct Case {
        std::vector<std::string> load;
        std::string image;
        std::string edited;
    } cases[] = {
        {{"load", "fw.bin"}, "fw.bin", "false"},
        {{"load", "fw.bin", "load-at", "0", "small.bin"}, "fw.bin", "true"},
        {{"merge", "a.bin", "b.bin"}, "a.bin+b.bin", "false"},
        {{"merge", "a.bin", "b.bin", "patch", "0", "1"}, "a.bin+b.bin", "true"},
    };
    int n = 0;
    for (const Case& c : cases) {
        Enters(1);
        const std::string log = "run" + std::to_string(++n) + ".csv";
        std::vector<std::string> args{"--port", "sim:tray=tray" + std::to_string(n)};
        args.insert(args.end(), c.load.begin(), c.load.end());
        args.insert(args.end(), {"checksum", "batch", "--log", log, "--serial", "0x7FF0:4:1"});
        VexoResult r = Vexo(args);
        ASSERT_EQ(r.code, 0) << r.err;
        std::string crc;
        for (const std::string& line : r.Lines())
            if (line.rfind("00000-07FFF sum16 ", 0) == 0) crc = line.substr(line.size() - 8);
        ASSERT_EQ(crc.size(), 8u) << r.out;
        std::string upper = crc;
        for (char& ch : upper) ch = char(std::toupper(static_cast<unsigned char>(ch)));
        const std::string text = Slurp(Path(log));
        EXPECT_NE(text.find(",1,27C256," + c.image + ",0x" + upper + ",1,"), std::string::npos) << text;
        EXPECT_EQ(text.substr(text.size() - c.edited.size() - 2), "," + c.edited + "\n") << text;
    }
}

// A serial over image bytes is said before the first chip; one past the
// device is a usage error before any prompt, and makes no log.
TEST_F(VexoBatch, SerialNumbersAreCheckedBeforeTheFirstChip)
{
    Enters(1);
    VexoResult r = Vexo({"--port", "sim:tray=tray", "load", "fw.bin", "batch", "--serial", "0x100:4:1"});
    EXPECT_EQ(r.code, 0) << r.err;
    char over[80];
    std::snprintf(over, sizeof over, "serial: 0x00100-0x00103 lies over image bytes %02X %02X %02X %02X\n",
                  unsigned(std::uint8_t(image[0x100])), unsigned(std::uint8_t(image[0x101])),
                  unsigned(std::uint8_t(image[0x102])), unsigned(std::uint8_t(image[0x103])));
    const std::size_t said = r.err.find(over);
    EXPECT_NE(said, std::string::npos) << r.err;
    EXPECT_LT(said, r.err.find("Insert chip 1")) << r.err;
    EXPECT_EQ(Chip(1), With(0x100, Le4(1)));

    for (const std::vector<std::string>& steps :
         {std::vector<std::string>{"load", "fw.bin", "batch", "--serial", "0x7FFE:4:1", "--log", "run.csv"},
          {"device", "27C512", "load", "fw.bin", "device", "27C256", "batch", "--serial", "0x8000:1:1", "--log",
           "run.csv"}}) {
        std::vector<std::string> args{"--port", "sim:tray=past"};
        args.insert(args.end(), steps.begin(), steps.end());
        r = Vexo(args);
        EXPECT_EQ(r.code, 2) << r.err;
        EXPECT_NE(r.err.find("lies past the end of the 27C256 (32768 bytes)"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("Insert chip"), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(Path("run.csv")));
        EXPECT_FALSE(std::filesystem::exists(Path("past/chip-1.bin")));
    }
    // The device chosen before the batch counts: a 27C512 has room at 0x8000.
    Enters(1);
    r = Vexo({"--port", "sim:tray=big", "device", "27C512", "load", "fw.bin", "batch", "--serial", "0x8000:1:1"});
    EXPECT_EQ(r.code, 0) << r.err;
}

// Every line of `text` through Python's JSON parser: the objects back as
// one "step|key" line each, or empty when one does not parse.
std::string ParseJsonLines(const std::string& path)
{
    const std::string command =
        "python3 -c 'import json,sys\n"
        "for l in open(sys.argv[1], encoding=\"utf-8\"):\n"
        "  o = json.loads(l)\n"
        "  assert isinstance(o, dict) and o[\"v\"] == 1\n"
        "  print(o[\"step\"] + \"|\" + \",\".join(k for k in o if k not in (\"v\", \"step\")))' " + path;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return {};
    std::string out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    return ::pclose(pipe) == 0 ? out : std::string();
}

TEST_F(VexoBatch, JsonLinesForEveryStepParseBack)
{
    if (::access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "no python3";
    UsedChip(2);
    Enters(2);
    Write("odd \"name\"\t\x01.bin", image);
    const std::vector<std::string> steps{
        "device", "27C256", "speed", "high", "port", "1", "load", "odd \"name\"\t\x01.bin", "checksum", "status",
        "blank", "auto", "verify", "read", "save", "dump.bin", "convert", "fw.bin", "fw.hex",
        "batch", "--serial", "0x7FF0:4:1"};
    std::vector<std::string> args{"--json", "--port", "sim:tray=tray"};
    args.insert(args.end(), steps.begin(), steps.end());
    VexoResult json = Vexo(args);
    EXPECT_EQ(json.code, 1) << json.err;  // the used chip
    const std::string parsed = ParseJsonLines(Write("json.out", json.out));
    ASSERT_FALSE(parsed.empty()) << json.out;
    for (const char* step : {"device", "speed", "port", "load", "checksum", "status", "blank", "auto",
                             "verify", "read", "save", "convert", "batch"})
        EXPECT_NE(parsed.find(std::string(step) + "|ok\n"), std::string::npos) << step << "\n" << parsed;
    EXPECT_NE(parsed.find("checksum|line,range_start,range_end,sum16,crc32\n"), std::string::npos) << parsed;
    EXPECT_NE(parsed.find("status|line,file_name\n"), std::string::npos) << parsed;
    EXPECT_NE(parsed.find("status|line,buffer_start\n"), std::string::npos) << parsed;
    EXPECT_NE(parsed.find("batch|line,chip,result,serial,sum16,crc32,seconds,failed_step"), std::string::npos);
    EXPECT_NE(parsed.find("batch|line,chips,passed,failed\n"), std::string::npos) << parsed;
    EXPECT_NE(json.out.find("{\"v\":1,\"step\":\"verify\",\"message\":\"*** Verify OK ***\"}\n"), std::string::npos);
    EXPECT_NE(json.out.find("{\"v\":1,\"step\":\"batch\",\"ok\":false}\n"), std::string::npos) << json.out;

    // The same texts as the plain run, in the same order.
    std::filesystem::remove_all(Path("tray"));
    UsedChip(2);
    args.erase(args.begin());
    VexoResult plain = Vexo(args);
    EXPECT_EQ(plain.code, 1);
    std::string texts;
    for (const std::string& line : json.Lines()) {
        for (const char* key : {"\"message\":\"", "\"line\":\""}) {
            const std::size_t at = line.find(key);
            if (at == std::string::npos) continue;
            const std::size_t start = at + std::strlen(key);
            texts += line.substr(start, line.find("\",", start) == std::string::npos
                                            ? line.rfind('"') - start
                                            : line.find("\",", start) - start) + "\n";
        }
    }
    // Durations differ between runs; compare everything before them.
    const auto cut = [](std::string s) {
        for (std::size_t at; (at = s.find(" s\n")) != std::string::npos;) {
            const std::size_t from = s.rfind(", ", at);
            s.erase(from, at + 2 - from);
        }
        return s;
    };
    // The odd file name is escaped in the JSON; the plain run has it raw.
    std::string plainText = plain.out;
    std::string escaped = texts;
    for (const auto& [raw, esc] : std::vector<std::pair<std::string, std::string>>{
             {"\"", "\\\""}, {"\t", "\\t"}, {"\x01", "\\u0001"}}) {
        for (std::size_t at = 0; (at = plainText.find(raw, at)) != std::string::npos; at += esc.size())
            plainText.replace(at, raw.size(), esc);
    }
    EXPECT_EQ(cut(escaped), cut(plainText));
}

}  // namespace
}  // namespace vexo::test
