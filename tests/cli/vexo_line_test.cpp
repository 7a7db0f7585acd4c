// SPDX-License-Identifier: GPL-3.0-or-later
// vexo on a production line: job files, serial lists written back, and
// several stations sharing one record (SQLite, PostgreSQL) with the serial
// numbers handed out by the database.
#include <glob.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <map>
#include <regex>
#include <set>
#include <thread>

#include "vexo_runner.h"

namespace vexo::test {
namespace {

class VexoLine : public VexoTest {
protected:
    VexoLine() { image = RandomImage(0x8000, 31); Write("fw.bin", image); }

    void Enters(int chips) { m_stdinPath = Write("enters.txt", std::string(std::size_t(chips), '\n')); }

    // A used chip in the tray: it fails its blank check.
    void UsedChip(const std::string& tray, int n)
    {
        std::filesystem::create_directories(Path(tray));
        std::string bytes(0x8000, '\xFF');
        bytes[0x1A3] = '\x7B';
        Write(tray + "/chip-" + std::to_string(n) + ".bin", bytes);
    }

    pid_t Start(const std::vector<std::string>& args, const std::string& name) const
    {
        std::vector<std::string> words{VEXO_BINARY};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv = Argv(words);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, m_stdinPath.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, Path(name + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, Path(name + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addchdir_np(&actions, m_dir.c_str());
        pid_t pid = -1;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) ADD_FAILURE() << "cannot start vexo: " << std::strerror(spawned);
        return spawned == 0 ? pid : -1;
    }

    static int Wait(pid_t pid)
    {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // Three stations at once on one log, ten chips each from their own
    // trays; station 1's fourth and station 2's seventh chip are used ones.
    void ThreeStations(const std::string& log)
    {
        Enters(10);
        UsedChip("tray1", 4);
        UsedChip("tray2", 7);
        std::vector<pid_t> pids;
        for (int s = 1; s <= 3; ++s)
            pids.push_back(Start({"--port", "sim:tray=tray" + std::to_string(s), "load", "fw.bin", "batch", "--serial",
                                  "0x7FF0:4:1000", "--log", log, "--station", "s" + std::to_string(s)},
                                 "station" + std::to_string(s)));
        const int expected[] = {1, 1, 0};  // a station with a failed chip fails its run
        for (int s = 0; s < 3; ++s)
            EXPECT_EQ(Wait(pids[std::size_t(s)]), expected[s]) << Slurp(Path("station" + std::to_string(s + 1) + ".err"));

        VexoResult report = Vexo({"--json", "log-report", "--log", log});
        ASSERT_EQ(report.code, 0) << report.err;
        const std::regex chip(R"re("kind":"chip".*"serial":(\d+),.*"result":"(\w+)".*"station":"(s\d)")re");
        std::multiset<unsigned> passed;
        std::set<unsigned> all;
        std::map<std::string, int> perStation;
        int records = 0, failed = 0;
        for (const std::string& line : report.Lines()) {
            std::smatch m;
            if (!std::regex_search(line, m, chip)) continue;
            ++records;
            ++perStation[m[3]];
            const unsigned serial = unsigned(std::stoul(m[1]));
            all.insert(serial);
            if (m[2] == "passed") passed.insert(serial);
            else ++failed;
        }
        EXPECT_EQ(records, 30) << report.out;
        EXPECT_EQ(failed, 2);
        EXPECT_EQ((std::map<std::string, int>{{"s1", 10}, {"s2", 10}, {"s3", 10}}), perStation);
        // No number programmed twice; none skipped: a failed chip's number
        // went to the next chip.
        EXPECT_EQ(passed.size(), 28u);
        EXPECT_EQ(std::set<unsigned>(passed.begin(), passed.end()).size(), 28u);
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(*all.begin(), 1000u);
        EXPECT_EQ(*all.rbegin(), 1000u + unsigned(all.size()) - 1);
        EXPECT_LE(all.size(), 30u);

        report = Vexo({"log-report", "--log", log});
        EXPECT_EQ(report.code, 0) << report.err;
        EXPECT_NE(report.out.find("fw.bin 27C256 s1: 10 chips, 9 passed, 1 failed, serials 10"), std::string::npos)
            << report.out;
        EXPECT_NE(report.out.find("fw.bin 27C256 s3: 10 chips, 10 passed, 0 failed, serials 10"), std::string::npos)
            << report.out;
        std::fprintf(stderr, "log-report --log %s:\n%s", log.c_str(), report.out.c_str());
    }

    std::string image;
};

TEST_F(VexoLine, AJobSavedIsRunAsSavedAndRefusesAChangedImageAndContradictingOptions)
{
    VexoResult r = Vexo({"--device", "27C256", "--retries", "2", "load", "fw.bin", "job-save", "fw.vexojob", "--serial",
                         "0x7FF0:4:500", "--log", "run.csv", "--note", "left socket"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string job = Slurp(Path("fw.vexojob"));
    EXPECT_NE(job.find("\"image\": \"fw.bin\""), std::string::npos) << job;
    EXPECT_NE(job.find("\"retries\": 2"), std::string::npos) << job;
    EXPECT_NE(job.find("\"serial\": \"0x7FF0:4:500:1:le\""), std::string::npos) << job;
    EXPECT_NE(job.find("\"note\": \"left socket\""), std::string::npos) << job;

    // From another folder: the image is found beside the job.
    std::filesystem::create_directories(Path("station"));
    Enters(2);
    r = Vexo({"--port", "sim:tray=tray", "--job", "../fw.vexojob", "batch"}, Path("station"));
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.Lines().size(), 3u) << r.out;
    EXPECT_EQ(r.out.rfind("chip 1: passed, serial 500, ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("chip 2: passed, serial 501, "), std::string::npos) << r.out;
    EXPECT_EQ(Slurp(Path("station/tray/chip-2.bin")).substr(0x7FF0, 4), std::string("\xF5\x01\x00\x00", 4));
    EXPECT_NE(Slurp(Path("station/run.csv")).find(",2,27C256,"), std::string::npos);

    // Saying again what the job says is fine; saying otherwise is refused.
    Enters(1);
    r = Vexo({"--port", "sim:tray=t2", "--job", "fw.vexojob", "--device", "27c256", "--retries", "2", "batch",
              "--log", "run.csv"});
    EXPECT_EQ(r.code, 0) << r.err;
    for (const auto& [args, said] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--device", "27C512", "batch"}, "--device 27C512 contradicts job fw.vexojob (device 27C256)"},
             {{"--retries", "0", "batch"}, "--retries 0 contradicts job fw.vexojob (retries 2)"},
             {{"batch", "--log", "other.csv"}, "batch --log other.csv contradicts job fw.vexojob (log run.csv)"},
             {{"batch", "--serial", "0x7FF0:4:1"}, "batch --serial 0x7FF0:4:1 contradicts job fw.vexojob (serial "},
             {{"device", "27C512", "batch"}, "device 27C512 contradicts job fw.vexojob (device 27C256)"}}) {
        std::vector<std::string> words{"--port", "sim:tray=never", "--job", "fw.vexojob"};
        words.insert(words.end(), args.begin(), args.end());
        r = Vexo(words);
        EXPECT_EQ(r.code, 2) << said;
        EXPECT_NE(r.err.find("vexo: " + said), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(Path("never")));
    EXPECT_FALSE(std::filesystem::exists(Path("other.csv")));

    // The image changed after the job was made: nothing is programmed.
    const std::string saved = job.substr(job.find("\"image_sha256\": \"") + 17, 64);
    Write("fw.bin", RandomImage(0x8000, 32));
    r = Vexo({"--port", "sim:tray=t3", "--job", "fw.vexojob", "batch"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("vexo: job: fw.bin changed since the job was made (sha256 "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(", the job says " + saved + ")\n"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(Path("t3/chip-1.bin")));
}

TEST_F(VexoLine, ASerialListIsTakenInOrderAndWrittenBackAfterEveryChip)
{
    Write("list.csv", "lot,serial,status\r\nA,7001,used\r\n\"B,1\",7002,pending\r\nC,7003,pending\r\nD,0x1B5C,pending\r\n");
    UsedChip("tray", 2);
    Enters(5);
    VexoResult r = Vexo({"--port", "sim:tray=tray", "load", "fw.bin", "batch", "--serial-list", "list.csv",
                         "--serial-at", "0x7FF0:4:be"});
    EXPECT_EQ(r.code, 1);
    const auto lines = r.Lines();
    ASSERT_GE(lines.size(), 4u) << r.out;
    EXPECT_EQ(r.out.find("chip 1: passed, serial 7002, "), 0u) << r.out;
    EXPECT_NE(r.out.find("chip 2: failed at blank"), std::string::npos) << r.out;
    // The failed chip's number is not used again.
    EXPECT_NE(r.out.find("chip 3: passed, serial 7004, "), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("vexo: batch: serial list list.csv has no pending serial\n"), std::string::npos) << r.err;
    EXPECT_EQ(Slurp(Path("tray/chip-1.bin")).substr(0x7FF0, 4), std::string("\0\0\x1B\x5A", 4));
    EXPECT_EQ(Slurp(Path("list.csv")),
              "lot,serial,status\r\nA,7001,used\r\n\"B,1\",7002,used\r\nC,7003,failed\r\nD,0x1B5C,used\r\n");

    // Nothing pending: the run stops before the first chip.
    r = Vexo({"--port", "sim:tray=tray2", "load", "fw.bin", "batch", "--serial-list", "list.csv", "--serial-at",
              "0x7FF0:4"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("vexo: batch: serial list list.csv has no pending serial"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(Path("tray2/chip-1.bin")));
    r = Vexo({"load", "fw.bin", "batch", "--serial-list", "list.csv"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("--serial-list and --serial-at go together"), std::string::npos) << r.err;
}

TEST_F(VexoLine, ASerialListIsWrittenBackWhenSigtermStopsAChip)
{
    Write("list.csv", "serial,status\n1,pending\n2,pending\n");
    Write("fw1.bin", RandomImage(0x20000, 5));
    Enters(2);
    const pid_t pid = Start({"--port", "sim:tray=tray", "--device", "27C010", "--pulse-us", "100", "load", "fw1.bin",
                             "batch", "--serial-list", "list.csv", "--serial-at", "0x100:2"},
                            "run");
    ASSERT_GT(pid, 0);
    bool started = false;
    for (int i = 0; i < 3000 && !started; ++i) {
        started = Slurp(Path("run.err")).find("Insert chip 1") != std::string::npos;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ::kill(pid, SIGTERM);
    EXPECT_EQ(Wait(pid), 143) << Slurp(Path("run.err"));
    ASSERT_TRUE(started);
    EXPECT_NE(Slurp(Path("run.out")).find("chip 1: failed at "), std::string::npos) << Slurp(Path("run.out"));
    EXPECT_EQ(Slurp(Path("list.csv")), "serial,status\n1,failed\n2,pending\n");
}

TEST_F(VexoLine, ThreeStationsShareOneSqliteRecordAndNeverProgramOneSerialTwice)
{
    ThreeStations("sqlite:line.db");
    // WAL mode: the journal beside the file.
    EXPECT_TRUE(std::filesystem::exists(Path("line.db-wal")) || std::filesystem::exists(Path("line.db")));
    const VexoResult r = Vexo({"log-report", "--log", "missing.db"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("vexo: log-report: missing.db: No such file or directory"), std::string::npos) << r.err;
}

// A throwaway PostgreSQL cluster in a temporary folder, a Unix socket only.
class PostgresCluster {
public:
    PostgresCluster()
    {
        glob_t found {};
        if (::glob("/usr/lib/postgresql/*/bin/initdb", 0, nullptr, &found) == 0 && found.gl_pathc > 0)
            m_bin = std::filesystem::path(found.gl_pathv[found.gl_pathc - 1]).parent_path().string();
        ::globfree(&found);
        if (m_bin.empty()) {
            m_skip = "PostgreSQL is not installed (no /usr/lib/postgresql/*/bin/initdb)";
            return;
        }
        char pattern[] = "/tmp/vexo-pg-XXXXXX";
        if (!::mkdtemp(pattern)) {
            m_skip = "cannot make a folder for the cluster";
            return;
        }
        m_dir = pattern;
        // initdb refuses root: the cluster belongs to the postgres user then.
        if (::geteuid() == 0) {
            const passwd* pg = ::getpwnam("postgres");
            if (!pg || ::chown(m_dir.c_str(), pg->pw_uid, pg->pw_gid) != 0) {
                m_skip = "running as root without a postgres user to own the cluster";
                return;
            }
            m_as = "/usr/sbin/runuser -u postgres -- ";
        }
        ::chmod(m_dir.c_str(), 0755);
        if (Shell(m_bin + "/initdb -D " + m_dir + "/data -A trust -U postgres --no-sync") != 0) {
            m_skip = "initdb failed: " + Slurp(m_dir + "/setup.log");
            return;
        }
        if (Shell(m_bin + "/pg_ctl -D " + m_dir + "/data -w -l " + m_dir + "/server.log -o \"-c listen_addresses='' -k " +
                  m_dir + " -c fsync=off\" start") != 0) {
            m_skip = "the server did not start: " + Slurp(m_dir + "/server.log");
            return;
        }
        m_running = true;
    }
    ~PostgresCluster()
    {
        if (m_running) Shell(m_bin + "/pg_ctl -D " + m_dir + "/data -m immediate -w stop");
        std::error_code ec;
        if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ec);
    }
    const std::string& Skip() const { return m_skip; }
    std::string Target() const { return "postgresql:///postgres?host=" + m_dir + "&user=postgres"; }

private:
    int Shell(const std::string& command) const
    {
        const std::string line = m_as + command + " >>" + m_dir + "/setup.log 2>&1";
        return std::system(line.c_str());
    }
    std::string m_bin, m_dir, m_as, m_skip;
    bool m_running = false;
};

TEST_F(VexoLine, ThreeStationsShareOnePostgresRecordAndNeverProgramOneSerialTwice)
{
    PostgresCluster cluster;
    if (!cluster.Skip().empty()) GTEST_SKIP() << cluster.Skip();
    ThreeStations(cluster.Target());

    // A database that cannot be reached: the run stops before a chip.
    Enters(1);
    const VexoResult r = Vexo({"--port", "sim:tray=none", "load", "fw.bin", "batch", "--log",
                               "postgresql:///postgres?host=" + Path("nowhere") + "&user=postgres"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("vexo: batch: cannot reach log postgresql:"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(Path("none/chip-1.bin")));
}

}  // namespace
}  // namespace vexo::test
