// SPDX-License-Identifier: GPL-3.0-or-later
// vexo's files under attack: targets that are descriptors, one file in two
// roles, pipes, and the reasons of a failed save.
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "vexo_runner.h"

// AddressSanitizer: GCC says so with a macro, clang with __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define VEXO_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEXO_UNDER_ASAN 1
#endif
#endif

namespace vexo::test {
namespace {

// --- targets ---

TEST_F(VexoTest, SavingToStandardOutputAppendsWhereItIsRedirectedAndMovesTheMessages)
{
    Write(".stdout", "keep\n");
    m_appendOut = true;
    VexoResult r = Vexo({"save", "/dev/stdout"});
    EXPECT_EQ(r.code, 0) << r.err;
    ASSERT_EQ(r.out.size(), 5u + 0x8000u);
    EXPECT_EQ(r.out.substr(0, 5), "keep\n");
    EXPECT_EQ(r.out.substr(5), std::string(0x8000, '\xFF'));  // nothing but the image after it
    EXPECT_NE(r.err.find("Save OK !!"), std::string::npos) << r.err;

    // convert too; a run that writes no data keeps its messages on standard output.
    Write("one.hex", ":0100000055AA\n:00000001FF\n");
    m_appendOut = false;
    r = Vexo({"convert", "one.hex", "/dev/fd/1"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "\x55");
    EXPECT_NE(r.err.find("one.hex -> /dev/fd/1"), std::string::npos) << r.err;
}

TEST_F(VexoTest, SaveFailureSaysWhyOnStandardError)
{
    VexoResult r = Vexo({"save", "no/such/folder/x.bin"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.Lines().back(), "Save Failed !!");
    EXPECT_NE(r.err.find("save: no/such/folder/x.bin: No such file or directory"), std::string::npos)
        << r.err;
    if (::access("/dev/full", W_OK) == 0) {
        // A full device: written in place, and the reason told.
        r = Vexo({"save", "/dev/full"});
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find("save: /dev/full: No space left on device"), std::string::npos) << r.err;
    }
}

TEST_F(VexoTest, SaveIntoAFolderWeMayWriteButNotReadSucceeds)
{
    if (::geteuid() == 0 && !RunAsNobody()) GTEST_SKIP() << "root reads every folder, and nobody cannot run vexo here (no setpriv, or /tmp is noexec)";
    const std::string folder = Path("drop");
    ::mkdir(folder.c_str(), 0777);
    ::chmod(folder.c_str(), 0333);
    VexoResult r = Vexo({"save", "drop/out.bin"});
    ::chmod(folder.c_str(), 0777);
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(Slurp(folder + "/out.bin"), std::string(0x8000, '\xFF'));
}

// --- shared files ---

TEST_F(VexoTest, OneFileInTwoRolesIsRefusedBeforeAnythingIsTouched)
{
    const std::string image = RandomImage(0x8000, 4);
    const std::string chip = std::string(0x8000, '\x5A');
    const struct {
        std::vector<std::string> args;
    } cases[] = {
        {{"--port", "sim:chip=c.bin", "--trace", "c.bin", "read"}},
        {{"--port", "sim:chip=c.bin", "--vcd", "./c.bin", "read"}},
        {{"--port", "sim:chip=c.bin", "save", "c.bin", "load", "img.bin", "write"}},
        {{"--trace", "img.bin", "load", "img.bin"}},
        {{"--trace", "x.log", "--vcd", "sub/../x.log", "read"}},        // neither exists yet
        {{"--port", "sim:chip=link.bin", "load", "c.bin"}},              // through a link
        {{"convert", "img.bin", "img.bin"}},
    };
    ::mkdir(Path("sub").c_str(), 0755);
    ::symlink("c.bin", Path("link.bin").c_str());
    for (const auto& c : cases) {
        Write("c.bin", chip);
        Write("img.bin", image);
        VexoResult r = Vexo(c.args);
        EXPECT_EQ(r.code, 2) << c.args[1] << " " << c.args[3] << r.err;
        EXPECT_NE(r.err.find("are the same file"), std::string::npos) << r.err;
        EXPECT_EQ(Slurp(Path("c.bin")), chip);
        EXPECT_EQ(Slurp(Path("img.bin")), image);
        EXPECT_FALSE(std::filesystem::exists(Path("x.log")));
    }
    // Steps one after another may share a file: save, then load what was saved;
    // /dev/null may take any number of roles.
    VexoResult r = Vexo({"--trace", "/dev/null", "--vcd", "/dev/null", "save", "dump.bin", "load", "dump.bin"});
    EXPECT_EQ(r.code, 0) << r.err;
}

TEST_F(VexoTest, ASecondProgramOnTheSameChipFileIsTurnedAway)
{
    Write("c.bin", std::string(0x8000, '\xFF'));
    // A first run that holds the chip while it waits on a pipe for its trace reader.
    ASSERT_EQ(::mkfifo(Path("slow").c_str(), 0600), 0);
    const int reader = ::open(Path("slow").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    std::vector<std::string> words{VEXO_BINARY, "--port", "sim:chip=c.bin", "--trace", "slow",
                                   "blank", "blank", "blank"};
    std::vector<char*> argv = Argv(words);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, m_dir.c_str());
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // Traffic in the pipe means the first run holds the chip; the pipe then
    // fills and it blocks with the chip locked. Waiting for that, not for a
    // fixed time, keeps the test right on a loaded machine.
    pollfd traced{reader, POLLIN, 0};
    ASSERT_EQ(::poll(&traced, 1, 60000), 1) << "the first run never wrote its trace";
    const VexoResult r = Vexo({"--port", "sim:chip=c.bin", "status"});
    EXPECT_NE(r.err.find("chip file in use by another program"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("port: disconnected"), std::string::npos) << r.err;
    // Drain the pipe so the first run ends.
    int flags = ::fcntl(reader, F_GETFL);
    ::fcntl(reader, F_SETFL, flags & ~O_NONBLOCK);
    char sink[65536];
    while (::read(reader, sink, sizeof sink) > 0) {
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(reader);
}

// --- pipes ---

TEST_F(VexoTest, APipeWithoutAReaderIsRefusedAtOnceAndOneWithAReaderGetsTheWholeTrace)
{
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    for (const char* flag : {"--trace", "--vcd"}) {
        const VexoResult r = Vexo({flag, "fifo", "status"});
        EXPECT_EQ(r.code, 2) << flag;
        EXPECT_NE(r.err.find("no program is reading it"), std::string::npos) << r.err;
    }
    // With a reader: opened once, so the reader sees the whole trace, not an early end.
    std::string got;
    std::thread reader([&] {
        const int fd = ::open(Path("fifo").c_str(), O_RDONLY);
        char chunk[4096];
        for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;) got.append(chunk, std::size_t(n));
        ::close(fd);
    });
    VexoResult r;
    for (int tries = 0; tries < 200; ++tries) {  // until the reader is in place
        r = Vexo({"--trace", "fifo", "status"});
        if (r.code != 2) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    reader.join();
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(got.find("R 379"), std::string::npos);
}

TEST_F(VexoTest, ConvertNeverWaitsInOpenForAPipesWriter)
{
    ASSERT_EQ(::mkfifo(Path("in.hex").c_str(), 0600), 0);
    const VexoResult r = Vexo({"convert", "in.hex", "out.bin"});  // no writer: an empty stream
    EXPECT_EQ(r.code, 1) << r.err;
}

// --- memory ---

// Intel HEX with one data byte per record: the worst text per byte of image.
std::string OneByteRecords(std::uint32_t bytes)
{
    std::string text;
    char line[32];
    for (std::uint32_t a = 0; a < bytes; ++a) {
        const unsigned hi = a >> 16, lo = a & 0xFFFF;
        if (lo == 0) {
            const unsigned sum = 2 + 4 + (hi >> 8) + (hi & 0xFF);
            std::snprintf(line, sizeof line, ":02000004%04X%02X\n", hi, (0x100 - (sum & 0xFF)) & 0xFF);
            text += line;
        }
        const unsigned sum = 1 + (lo >> 8) + (lo & 0xFF) + 0x5A;
        std::snprintf(line, sizeof line, ":01%04X005A%02X\n", lo, (0x100 - (sum & 0xFF)) & 0xFF);
        text += line;
    }
    return text + ":00000001FF\n";
}

TEST_F(VexoTest, ConvertingAHugeTextNeedsMemoryForTheImageOnlyAndRunningOutIsSaid)
{
    if (::access("/usr/bin/prlimit", X_OK) != 0) GTEST_SKIP() << "prlimit is missing";
    if (std::getenv("VEXO_VALGRIND")) GTEST_SKIP() << "address-space limits and valgrind do not mix";
#ifdef VEXO_UNDER_ASAN
    GTEST_SKIP() << "address-space limits and the address sanitizer's shadow memory do not mix";
#endif
    Write("one.hex", OneByteRecords(2 * 1024 * 1024));  // 29 MB of text for 2 MiB of image
    // 70 MB of address space: the program, the 16 MiB buffer, the staged
    // image and the output; nothing for the text or per record.
    m_prefix = {"/usr/bin/prlimit", "--as=70000000"};
    VexoResult r = Vexo({"convert", "one.hex", "one.bin"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Slurp(Path("one.bin")), std::string(2 * 1024 * 1024, '\x5A'));

    m_prefix = {"/usr/bin/prlimit", "--as=25000000"};
    r = Vexo({"convert", "one.hex", "two.bin"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("vexo: out of memory"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(Path("two.bin")));
}

// --- options ---

TEST_F(VexoTest, OptionsAreStrict)
{
    EXPECT_EQ(Vexo({"--", "status"}).code, 0);
    Write("one.hex", ":0100000055AA\n:00000001FF\n");
    VexoResult r = Vexo({"convert", "one.hex", "o.bin", "--fill", "1", "--fill", "2"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("given twice"), std::string::npos) << r.err;
    for (const char* fault : {"flip= 0.5", "flip=-0", "flip=0.5 "})
        EXPECT_EQ(Vexo({"--fault", fault, "status"}).code, 2) << fault;
    EXPECT_EQ(Vexo({"--fault", "flip=0.5", "status"}).code, 0);
}

}  // namespace
}  // namespace vexo::test
