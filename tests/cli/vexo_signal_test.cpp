// SPDX-License-Identifier: GPL-3.0-or-later
// vexo stopped from outside: SIGINT in the line test, SIGTERM in the middle
// of a programming pass, a batch whose standard output has gone. Each run
// stops at a byte, resets the lines, completes its trace, chip file and log,
// says what it stopped, and exits 128 + the signal (1 for the output).
#include <pty.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "vexo_runner.h"

namespace vexo::test {
namespace {

class VexoSignal : public VexoTest {
protected:
    // Starts vexo in the scratch folder with the given descriptors as its
    // standard input, output and error.
    pid_t Start(const std::vector<std::string>& args, int in, int out, int err) const
    {
        std::vector<std::string> words{VEXO_BINARY};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv = Argv(words);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in, 0);
        posix_spawn_file_actions_adddup2(&actions, out, 1);
        posix_spawn_file_actions_adddup2(&actions, err, 2);
        posix_spawn_file_actions_addchdir_np(&actions, m_dir.c_str());
        pid_t pid = -1;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) ADD_FAILURE() << "cannot start vexo: " << std::strerror(spawned);
        return spawned == 0 ? pid : -1;
    }

    // The exit status as a shell reports it (128 + the signal when killed).
    static int Wait(pid_t pid)
    {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // Waits up to 30 s for `text` in the file at `path`.
    bool WaitFor(const std::string& path, const std::string& text) const
    {
        for (int i = 0; i < 3000; ++i) {
            if (Slurp(path).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    int OpenOut(const std::string& name) const
    {
        return ::open(Path(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    }

    static std::vector<std::string> SplitLines(const std::string& text)
    {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // A trace the run completed: whole lines, ending with the exit-time
    // module check (control, data, status read) that follows every run.
    static void ExpectCompleteTrace(const std::string& trace)
    {
        ASSERT_FALSE(trace.empty());
        EXPECT_EQ(trace.back(), '\n');
        const auto lines = SplitLines(trace);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[lines.size() - 3].rfind("W 37A ", 0), 0u) << lines[lines.size() - 3];
        EXPECT_EQ(lines[lines.size() - 2].rfind("W 378 ", 0), 0u) << lines[lines.size() - 2];
        EXPECT_EQ(lines.back().rfind("R 379 ", 0), 0u) << lines.back();
    }
};

TEST_F(VexoSignal, SigintInTheLineTestResetsTheLinesCompletesTheTraceAndExits130)
{
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const int out = OpenOut("out.txt"), err = OpenOut("err.txt");
    const pid_t pid = Start({"--trace", "wire.log", "lines"}, slave, out, err);
    ASSERT_GT(pid, 0);
    ::close(out);
    ::close(err);
    // Start, then D0, then D1: D1 is driven when the signal comes.
    ASSERT_EQ(::write(master, "\n\n", 2), 2);
    const bool driven = WaitFor(Path("out.txt"), " D1 (pin 3) high");
    ::kill(pid, SIGINT);
    EXPECT_EQ(Wait(pid), 130);
    ::close(master);
    ::close(slave);
    ASSERT_TRUE(driven) << Slurp(Path("out.txt"));

    EXPECT_NE(Slurp(Path("out.txt")).find("lines back in their reset state"), std::string::npos);
    const std::string errText = Slurp(Path("err.txt"));
    // (12 or 13 lines: the simulator lets the control register's bit 4 be driven.)
    EXPECT_NE(errText.find("vexo: interrupted by SIGINT: 'lines' stopped at 2/1"), std::string::npos) << errText;
    EXPECT_NE(errText.find(" D1 (pin 3) high; data 0x02, control 0x09\n"), std::string::npos) << errText;
    const std::string trace = Slurp(Path("wire.log"));
    ExpectCompleteTrace(trace);
    // D1 went high, then data and control back to their reset values.
    const std::size_t d1 = trace.rfind("W 378 02\n");
    ASSERT_NE(d1, std::string::npos) << trace;
    const std::size_t reset = trace.find("W 378 00\nW 37A 09\n", d1);
    EXPECT_NE(reset, std::string::npos) << trace.substr(d1);
}

TEST_F(VexoSignal, SigtermMidProgrammingKeepsEveryProgrammedByteInTheChipFileAndExits143)
{
    // A 27C010 with slow pulses: the programming pass takes many seconds.
    const std::string image = RandomImage(0x20000, 77);
    Write("fw.bin", image);
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = OpenOut("out.txt"), err = OpenOut("err.txt");
    const pid_t pid = Start({"--port", "sim:chip=chip.bin", "--device", "27C010", "--pulse-us", "100", "load",
                             "fw.bin", "auto"},
                            in, out, err);
    ASSERT_GT(pid, 0);
    ::close(in);
    ::close(out);
    ::close(err);
    const bool programming = WaitFor(Path("out.txt"), "Programming now!!");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ::kill(pid, SIGTERM);
    EXPECT_EQ(Wait(pid), 143);
    ASSERT_TRUE(programming) << Slurp(Path("out.txt"));

    const std::string errText = Slurp(Path("err.txt"));
    const std::string said = "vexo: interrupted by SIGTERM: 'auto' stopped at 0x";
    const std::size_t at = errText.find(said);
    ASSERT_NE(at, std::string::npos) << errText;
    EXPECT_NE(errText.find(" (Programming)\n", at), std::string::npos) << errText;
    const std::uint32_t stop = std::uint32_t(std::stoul(errText.substr(at + said.size(), 5), nullptr, 16));
    EXPECT_GT(stop, 0u);
    EXPECT_LT(stop, 0x20000u);
    // No outcome was claimed for the chip.
    const std::string outText = Slurp(Path("out.txt"));
    EXPECT_EQ(outText.find("Verify now"), std::string::npos) << outText;
    EXPECT_EQ(outText.find("failure"), std::string::npos) << outText;
    // Every byte before the stop is in the file; nothing after it was touched.
    const std::string chip = Slurp(Path("chip.bin"));
    ASSERT_EQ(chip.size(), image.size());
    EXPECT_TRUE(chip.compare(0, stop, image, 0, stop) == 0) << "a programmed byte is missing";
    EXPECT_EQ(chip.find_first_not_of('\xFF', stop), std::string::npos) << "a byte past the stop changed";
}

TEST_F(VexoSignal, ABatchWhoseOutputIsClosedStopsAfterTheChipWithItsSummaryOnStandardError)
{
    Write("fw.bin", RandomImage(0x8000, 3));
    m_stdinPath = Write("enters.txt", "\n\n\nq\n");
    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
    ::close(pipeFds[0]);  // as `| head -1` leaves it once head has gone
    const int in = ::open(m_stdinPath.c_str(), O_RDONLY | O_CLOEXEC);
    const int err = OpenOut("err.txt");
    const pid_t pid = Start({"--trace", "wire.log", "--port", "sim:tray=tray", "load", "fw.bin", "batch", "--log",
                             "run.csv"},
                            in, pipeFds[1], err);
    ASSERT_GT(pid, 0);
    ::close(pipeFds[1]);
    ::close(in);
    ::close(err);
    EXPECT_EQ(Wait(pid), 1);

    const std::string errText = Slurp(Path("err.txt"));
    EXPECT_NE(errText.find("batch: 1 chip, 1 passed, 0 failed\n"), std::string::npos) << errText;
    EXPECT_NE(errText.find("vexo: standard output closed: 'batch' stopped\n"), std::string::npos) << errText;
    EXPECT_EQ(errText.find("Insert chip 2"), std::string::npos) << errText;
    // The chip finished and was logged; the next never started.
    EXPECT_TRUE(std::filesystem::exists(Path("tray/chip-1.bin")));
    EXPECT_FALSE(std::filesystem::exists(Path("tray/chip-2.bin")));
    const std::string log = Slurp(Path("run.csv"));
    EXPECT_NE(log.find(",1,27C256,fw.bin,"), std::string::npos) << log;
    EXPECT_EQ(log.find(",2,27C256,"), std::string::npos) << log;
    ExpectCompleteTrace(Slurp(Path("wire.log")));
}

TEST_F(VexoSignal, SigtermWhileTheBatchWaitsForTheOperatorEndsItWithItsSummary)
{
    Write("fw.bin", RandomImage(0x8000, 4));
    int inPipe[2];
    ASSERT_EQ(::pipe2(inPipe, O_CLOEXEC), 0);
    const int out = OpenOut("out.txt"), err = OpenOut("err.txt");
    const pid_t pid = Start({"--port", "sim:tray=tray", "load", "fw.bin", "batch"}, inPipe[0], out, err);
    ASSERT_GT(pid, 0);
    ::close(inPipe[0]);
    ::close(out);
    ::close(err);
    ASSERT_EQ(::write(inPipe[1], "\n", 1), 1);
    const bool waiting = WaitFor(Path("err.txt"), "Insert chip 2");
    ::kill(pid, SIGHUP);
    EXPECT_EQ(Wait(pid), 129);
    ::close(inPipe[1]);
    ASSERT_TRUE(waiting) << Slurp(Path("err.txt"));
    const std::string outText = Slurp(Path("out.txt"));
    EXPECT_NE(outText.find("chip 1: passed"), std::string::npos) << outText;
    EXPECT_NE(outText.find("batch: 1 chip, 1 passed, 0 failed\n"), std::string::npos) << outText;
    EXPECT_NE(Slurp(Path("err.txt")).find("vexo: interrupted by SIGHUP: 'batch' stopped\n"), std::string::npos)
        << Slurp(Path("err.txt"));
}

}  // namespace
}  // namespace vexo::test
