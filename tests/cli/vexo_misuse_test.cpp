// SPDX-License-Identifier: GPL-3.0-or-later
// vexo used the wrong way: a log or report named like an image, standard
// descriptors left closed, a pipe as the production log, empty option
// values, and --json read back line by line whatever the run does.
#include <signal.h>
#include <sys/stat.h>

#include <map>
#include <set>
#include <thread>

#include "cli/steps.h"
#include "vexo_runner.h"

namespace vexo::test {
namespace {

// --- a strict reader of one JSON Lines record ---

// Reads one JSON value at `at`; objects' top-level string, number and
// literal members land in `members` (when given). False on anything a JSON
// parser would refuse.
class JsonReader {
public:
    explicit JsonReader(std::string_view text) : m_text(text) {}

    // The whole text is one object and nothing else.
    bool Object(std::map<std::string, std::string>* members)
    {
        Space();
        if (!ObjectAt(members)) return false;
        Space();
        return m_at == m_text.size();
    }

private:
    void Space()
    {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t')) ++m_at;
    }
    bool Take(char c)
    {
        Space();
        if (m_at >= m_text.size() || m_text[m_at] != c) return false;
        ++m_at;
        return true;
    }
    bool StringAt(std::string* out)
    {
        if (!Take('"')) return false;
        while (m_at < m_text.size()) {
            const char c = m_text[m_at++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;  // raw control characters
            if (c != '\\') {
                out->push_back(c);
                continue;
            }
            if (m_at >= m_text.size()) return false;
            const char e = m_text[m_at++];
            static const std::string_view kSimple = "\"\\/bfnrt";
            if (e == 'u') {
                if (m_at + 4 > m_text.size()) return false;
                unsigned code = 0;
                for (int i = 0; i < 4; ++i) {
                    const char h = m_text[m_at++];
                    if (!std::isxdigit(static_cast<unsigned char>(h))) return false;
                    code = code * 16 + unsigned(std::isdigit(static_cast<unsigned char>(h)) ? h - '0' : (h | 0x20) - 'a' + 10);
                }
                out->push_back(code < 0x80 ? char(code) : '?');
            } else if (kSimple.find(e) != std::string_view::npos) {
                out->push_back(e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e == 'b' ? '\b' : e == 'f' ? '\f' : e);
            } else {
                return false;
            }
        }
        return false;
    }
    bool ValueAt(std::string* scalar)
    {
        Space();
        if (m_at >= m_text.size()) return false;
        const char c = m_text[m_at];
        if (c == '"') return StringAt(scalar);
        if (c == '{') return ObjectAt(nullptr);
        if (c == '[') {
            ++m_at;
            if (Take(']')) return true;
            do {
                std::string ignored;
                if (!ValueAt(&ignored)) return false;
            } while (Take(','));
            return Take(']');
        }
        for (std::string_view word : {"true", "false", "null"})
            if (m_text.substr(m_at, word.size()) == word) {
                m_at += word.size();
                *scalar = word;
                return true;
            }
        const std::size_t start = m_at;
        if (m_text[m_at] == '-') ++m_at;
        while (m_at < m_text.size() && (std::isdigit(static_cast<unsigned char>(m_text[m_at])) ||
                                        m_text[m_at] == '.' || m_text[m_at] == 'e' || m_text[m_at] == 'E' ||
                                        m_text[m_at] == '+' || m_text[m_at] == '-'))
            ++m_at;
        *scalar = m_text.substr(start, m_at - start);
        return m_at > start && std::isdigit(static_cast<unsigned char>(m_text[m_at - 1]));
    }
    bool ObjectAt(std::map<std::string, std::string>* members)
    {
        if (!Take('{')) return false;
        if (Take('}')) return true;
        do {
            std::string key, value;
            if (!StringAt(&key) || !Take(':') || !ValueAt(&value)) return false;
            if (members && !members->emplace(key, value).second) return false;  // a key twice
        } while (Take(','));
        return Take('}');
    }

    std::string_view m_text;
    std::size_t m_at = 0;
};

class VexoMisuse : public VexoTest {
protected:
    VexoMisuse()
    {
        image = RandomImage(0x8000, 17);
        Write("fw.bin", image);
    }

    // Runs vexo with descriptor `closed` (0, 1 or 2; -1 none) closed and
    // the other two as Vexo() sets them up; `blockPipeSignal`: SIGPIPE is
    // blocked, so a write to a pipe nobody reads fails with EPIPE.
    VexoResult VexoWith(const std::vector<std::string>& args, int closed, bool blockPipeSignal = false)
    {
        const std::string outPath = Path(".stdout"), errPath = Path(".stderr");
        std::vector<std::string> words{VEXO_BINARY};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv = Argv(words);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string paths[3] = {m_stdinPath, outPath, errPath};
        for (int fd = 0; fd <= 2; ++fd) {
            if (fd == closed) posix_spawn_file_actions_addclose(&actions, fd);
            else posix_spawn_file_actions_addopen(&actions, fd, paths[fd].c_str(),
                                                  fd == 0 ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC, 0600);
        }
        posix_spawn_file_actions_addchdir_np(&actions, m_dir.c_str());
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        if (blockPipeSignal) {
            sigset_t mask;
            sigemptyset(&mask);
            sigaddset(&mask, SIGPIPE);
            posix_spawnattr_setsigmask(&attr, &mask);
            posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
        }
        VexoResult result;
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start vexo: " << std::strerror(spawned);
            return result;
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        result.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.out = closed == 1 ? std::string() : Slurp(outPath);
        result.err = closed == 2 ? std::string() : Slurp(errPath);
        return result;
    }

    static std::size_t Count(const std::string& text, const std::string& what)
    {
        std::size_t n = 0;
        for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
        return n;
    }

    std::string image;
};

// --- a file the run writes records to is never one of its images ---

TEST_F(VexoMisuse, ALogOrReportNamedLikeAnImageIsRefusedBeforeAnythingIsOpened)
{
    const std::string half(0x4000, '\x33');
    const struct {
        std::vector<std::string> args;
        std::string clash;  // the message's first file role
    } cases[] = {
        {{"--device", "27C256", "load", "fw.bin", "batch", "--log", "fw.bin"},
         "load fw.bin and batch --log fw.bin"},
        {{"load", "fw.bin", "compare", "--csv", "fw.bin"}, "load fw.bin and compare --csv fw.bin"},
        {{"load", "fw.bin", "compare", "--csv", "./fw.bin"}, "load fw.bin and compare --csv ./fw.bin"},
        {{"load-at", "0", "fw.bin", "batch", "--log=fw.bin"}, "load-at fw.bin and batch --log fw.bin"},
        {{"merge", "e.bin", "o.bin", "compare", "--csv", "o.bin"}, "merge o.bin and compare --csv o.bin"},
        // Written after the log or report: a later image step spoils them as well.
        {{"load", "fw.bin", "compare", "--csv", "r.csv", "export", "r.csv"}, "compare --csv r.csv and export r.csv"},
        {{"load", "fw.bin", "batch", "--log", "r.csv", "save", "r.csv"}, "batch --log r.csv and save r.csv"},
        {{"compare", "--csv", "r.csv", "convert", "fw.bin", "r.csv"}, "compare --csv r.csv and convert r.csv"},
        {{"load", "fw.bin", "compare", "--csv", "e.bin", "split", "e.bin", "o.bin"}, "compare --csv e.bin and split e.bin"},
    };
    for (const auto& c : cases) {
        Write("e.bin", half);
        Write("o.bin", half);
        Write("r.csv", "old report\n");
        m_stdinPath = Write("enter.txt", "\nq\n");
        std::vector<std::string> args{"--port", "sim:tray=tray"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const VexoResult r = Vexo(args);
        EXPECT_EQ(r.code, 2) << c.clash << "\n" << r.err;
        EXPECT_NE(r.err.find(c.clash + " are the same file; give each its own"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        // Nothing was opened: no tray, the files as they were.
        EXPECT_FALSE(std::filesystem::exists(Path("tray"))) << c.clash;
        EXPECT_EQ(Slurp(Path("fw.bin")), image) << c.clash;
        EXPECT_EQ(Slurp(Path("e.bin")), half) << c.clash;
        EXPECT_EQ(Slurp(Path("o.bin")), half) << c.clash;
        EXPECT_EQ(Slurp(Path("r.csv")), "old report\n") << c.clash;
    }

    // An image edited in place is fine, and so are a log and a report of their own.
    m_stdinPath = Write("enter.txt", "\nq\n");
    VexoResult r = Vexo({"--port", "sim:tray=tray", "load", "fw.bin", "patch", "0x10", "0xAA", "export", "fw.bin",
                         "batch", "--log", "run.csv"});
    EXPECT_EQ(r.code, 0) << r.err;
    std::string edited = image;
    edited[0x10] = '\xAA';
    EXPECT_EQ(Slurp(Path("fw.bin")), edited);
    EXPECT_EQ(Count(Slurp(Path("run.csv")), "\n"), 2u);
    r = Vexo({"load", "fw.bin", "compare", "--csv", "diff.csv"});
    EXPECT_EQ(r.code, 1) << r.err;  // a blank chip
    EXPECT_TRUE(std::filesystem::exists(Path("diff.csv")));
}

// --- closed standard descriptors ---

TEST_F(VexoMisuse, ClosedStandardDescriptorsNeverLeadIntoTheRunsFiles)
{
    // The chip holds the image: verify passes and says so on standard output.
    for (const int closed : {1, 2}) {
        Write("c.bin", image);
        const VexoResult r = VexoWith({"--port", "sim:chip=c.bin", "load", "fw.bin", "verify"}, closed);
        EXPECT_EQ(r.code, 0) << closed << r.err;
        EXPECT_EQ(Slurp(Path("c.bin")), image) << "descriptor " << closed << " closed";
    }
    // The log takes records only, not the result lines.
    m_stdinPath = Write("enter.txt", "\nq\n");
    VexoResult r = VexoWith({"--port", "sim:tray=tray", "load", "fw.bin", "batch", "--log", "run.csv"}, 1);
    EXPECT_EQ(r.code, 0) << r.err;
    const std::string log = Slurp(Path("run.csv"));
    EXPECT_EQ(Count(log, "\n"), 2u) << log;
    EXPECT_EQ(log.find("chip 1:"), std::string::npos) << log;
    EXPECT_EQ(log.find("batch:"), std::string::npos) << log;

    // Without standard input nobody pressed Enter: not even a chip file that
    // holds line ends is taken for the operator's answer.
    std::string chip = "\n\n\n" + std::string(0x8000 - 3, '\xFF');
    Write("c.bin", chip);
    r = VexoWith({"--port", "sim:chip=c.bin", "load", "fw.bin", "batch"}, 0);
    EXPECT_EQ(r.out.find("chip 1:"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("batch: 0 chips"), std::string::npos) << r.out;
    EXPECT_EQ(Slurp(Path("c.bin")), chip);
}

// --- a pipe as the production log ---

TEST_F(VexoMisuse, APipeAsTheLogIsWrittenOnlyWhileSomeoneReadsIt)
{
    ASSERT_EQ(::mkfifo(Path("log.fifo").c_str(), 0600), 0);
    // Nobody reads it: refused before the first chip, not filled unseen.
    m_stdinPath = Write("enters.txt", "\n\n");
    VexoResult r = Vexo({"--port", "sim:tray=tray", "load", "fw.bin", "batch", "--log", "log.fifo"});
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("vexo: batch: cannot open log log.fifo: No such device or address"), std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(Path("tray/chip-1.bin")));

    // A reader that goes after the first record: the run stops at the chip
    // whose record could not be written, and says why.
    const int reader = ::open(Path("log.fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    std::string first;
    std::thread readOne([&] {
        for (int waited = 0; first.find('\n') == std::string::npos && waited < 3000; ++waited) {
            char buffer[512];
            const ssize_t n = ::read(reader, buffer, sizeof buffer);
            if (n > 0) first.append(buffer, std::size_t(n));
            else std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ::close(reader);
    });
    m_stdinPath = Write("enters.txt", "\n\n\n\n");
    r = VexoWith({"--port", "sim:tray=tray2", "load", "fw.bin", "batch", "--log", "log.fifo"}, -1, true);
    readOne.join();
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    EXPECT_NE(first.find(",1,27C256,fw.bin,"), std::string::npos) << first;
    EXPECT_NE(r.err.find("vexo: batch: cannot write log log.fifo: Broken pipe; the run stops here"),
              std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(Path("tray2/chip-4.bin")));

    // A full disk: the first record fails, the run stops after that chip.
    if (::access("/dev/full", W_OK) != 0) return;
    m_stdinPath = Write("enters.txt", "\n\n\n");
    r = Vexo({"--port", "sim:tray=tray3", "load", "fw.bin", "batch", "--log", "/dev/full"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("vexo: batch: cannot write log /dev/full: No space left on device; the run stops here"),
              std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(Path("tray3/chip-1.bin")));
    EXPECT_FALSE(std::filesystem::exists(Path("tray3/chip-2.bin")));
}

// --- option values ---

TEST_F(VexoMisuse, EmptyOptionValuesAndFlagsGivenTwiceAreUsageErrors)
{
    for (const std::string option :
         {"--device", "--speed", "--retries", "--pulse-us", "--trace", "--vcd", "--port", "--fault"}) {
        for (const std::vector<std::string>& spelling : {std::vector<std::string>{option, ""}, {option + "="}}) {
            std::vector<std::string> args{"--port", "sim:chip=c.bin"};
            if (option == "--port") args.clear();
            args.insert(args.end(), spelling.begin(), spelling.end());
            args.insert(args.end(), {"load", "fw.bin", "auto"});
            const VexoResult r = Vexo(args);
            EXPECT_EQ(r.code, 2) << option << r.out << r.err;
            EXPECT_NE(r.err.find("vexo: '" + option + "' needs a value, not an empty word"), std::string::npos)
                << r.err;
            EXPECT_FALSE(std::filesystem::exists(Path("c.bin"))) << option;
        }
    }
    for (const std::string flag : {"--json", "--skip-blank"}) {
        const VexoResult r = Vexo({flag, "--port", "sim:chip=c.bin", flag, "blank"});
        EXPECT_EQ(r.code, 2) << flag;
        EXPECT_NE(r.err.find("vexo: '" + flag + "' is given twice"), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(Path("c.bin"))) << flag;
    }
    const VexoResult r = Vexo({"--device", "27C256", "--device", "27C512", "blank"});
    EXPECT_EQ(r.code, 2) << r.err;
}

TEST_F(VexoMisuse, AnOptionAfterAStepThatLacksItIsNamedSo)
{
    VexoResult r = Vexo({"erase-check", "--csv", "x.csv"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("vexo: 'erase-check' has no option '--csv' (see vexo --help)"), std::string::npos) << r.err;
    r = Vexo({"blank", "--max-diffs=3"});
    EXPECT_NE(r.err.find("vexo: 'blank' has no option '--max-diffs'"), std::string::npos) << r.err;
    // A global option among the steps is told to move.
    r = Vexo({"status", "--json"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("unknown option '--json' (options go before the steps)"), std::string::npos) << r.err;

    // A file that cannot be read: its reason, then the buffer's state.
    r = Vexo({"load-at", "0", "nope.bin"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("vexo: load-at: nope.bin: No such file or directory; the buffer is unchanged.\n"),
              std::string::npos) << r.err;
}

// --- --json: records only, for every step, whatever happens ---

TEST_F(VexoMisuse, UnderJsonEveryLineOnStandardOutputIsOneObject)
{
    Write("e.bin", std::string(0x4000, '\x11'));
    Write("o.bin", std::string(0x4000, '\x22'));
    Write("short.bin", "\x01");
    Write("two.bin", "\x12\x34");
    Write("a\nb.bin", image);
    Write("programmed.bin", image);
    ASSERT_EQ(::mkfifo(Path("log.fifo").c_str(), 0600), 0);

    struct Case {
        std::vector<std::string> args;
        int code;
    };
    const std::vector<Case> cases = {
        // Every step, succeeding.
        {{"--device", "27C256", "--speed", "high", "port", "1", "load", "fw.bin", "status", "checksum", "checksum",
          "--range", "0", "0xFF", "blank", "write", "verify", "read", "save", "dump.bin", "compare", "--csv",
          "diff.csv", "export", "out.bin", "split", "s0.bin", "s1.bin", "merge", "s0.bin", "s1.bin", "load-at",
          "0x10", "two.bin", "fill", "0", "3", "0xFF", "patch", "4", "1", "2", "swap", "convert", "fw.bin", "fw.hex",
          "doctor", "erase-check"},
         1},  // erase-check finds the image
        {{"load", "fw.bin", "repeat", "auto"}, 0},
        {{"load", "fw.bin", "inspect", "read", "--passes", "2", "identify", "--dat", "fw.bin"}, 2},
        {{"--port", "sim:chip=programmed.bin", "load", "fw.bin", "compare", "erase-check"}, 1},
        // A file name that holds a line end.
        {{"load", "a\nb.bin", "status"}, 0},
        // Failures, each with its reason.
        {{"load", "nope.bin"}, 1},
        {{"load", "fw.bin", "verify"}, 1},
        {{"save", "no/such/folder/x.bin"}, 1},
        {{"load-at", "0", "nope.bin"}, 1},
        {{"merge", "e.bin", "short.bin"}, 1},
        {{"checksum", "--range", "0", "0x2000000"}, 1},
        {{"convert", "nope.hex", "x.bin"}, 1},
        {{"lines"}, 1},
        {{"--port", "sim:module=absent", "compare"}, 1},
        {{"load", "fw.bin", "compare"}, 1},
        {{"load", "fw.bin", "batch", "--log", "log.fifo"}, 1},
        {{"load", "fw.bin", "job-save", "fw.vexojob"}, 0},
        {{"log-report", "--log", "missing.db"}, 1},
        {{"--trace", "no/such/folder/t.log", "status"}, 2},
        // Usage errors, before and after the options are read.
        {{"frobnicate"}, 2},
        {{"erase-check", "--csv", "x.csv"}, 2},
        {{"--device", "", "blank"}, 2},
        {{"--json", "blank"}, 2},
        {{"--bogus", "blank"}, 2},
        {{"--retries", "x", "blank"}, 2},
        {{"load", "fw.bin", "compare", "--csv", "fw.bin"}, 2},
    };
    std::set<std::string> stepsSeen, failedWithError;
    bool newlineKept = false;
    for (const Case& c : cases) {
        std::vector<std::string> args{"--json"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const VexoResult r = Vexo(args);
        const std::string name = c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : "");
        EXPECT_EQ(r.code, c.code) << name << "\n" << r.out.substr(r.out.size() > 2000 ? r.out.size() - 2000 : 0) << r.err;
        ASSERT_FALSE(r.out.empty()) << name;
        EXPECT_EQ(r.out.back(), '\n') << name;
        bool failureRecord = false;
        for (const std::string& line : r.Lines()) {
            std::map<std::string, std::string> members;
            EXPECT_TRUE(JsonReader(line).Object(&members)) << name << ": not one JSON object: " << line;
            EXPECT_TRUE(members.count("step")) << line;
            stepsSeen.insert(members["step"]);
            if (members["file_name"] == "a\nb.bin") newlineKept = true;
            if (members["ok"] == "false") {
                failureRecord = true;
                if (members.count("error")) failedWithError.insert(members["step"]);
            }
        }
        // A failed run says so in a record.
        if (c.code != 0) {
            EXPECT_TRUE(failureRecord) << name << "\n" << r.out;
        }
    }
    for (const cli::StepDef& def : cli::StepTable())
        EXPECT_TRUE(stepsSeen.count(std::string(def.name))) << def.name;
    EXPECT_TRUE(newlineKept);
    for (const char* step :
         {"usage", "load", "verify", "save", "load-at", "merge", "checksum", "convert", "lines", "compare", "batch"})
        EXPECT_TRUE(failedWithError.count(step)) << step;

    // The exact shape of a failure and of a usage error.
    VexoResult r = Vexo({"--json", "load-at", "0", "nope.bin"});
    EXPECT_NE(r.out.find("{\"v\":1,\"step\":\"load-at\",\"ok\":false,\"error\":\"load-at: nope.bin: No such file or "
                         "directory; the buffer is unchanged.\"}\n"),
              std::string::npos) << r.out;
    r = Vexo({"--json", "frobnicate"});
    EXPECT_EQ(r.out, "{\"v\":1,\"step\":\"usage\",\"ok\":false,\"error\":\"unknown step 'frobnicate'\"}\n");
    EXPECT_NE(r.err.find("vexo: unknown step 'frobnicate' (see vexo --help)"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace vexo::test
