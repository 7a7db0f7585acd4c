// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the built vexo binary and collects what it printed and its exit code.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace vexo::test {

struct VexoResult {
    int code = -1;
    std::string out;
    std::string err;

    // Standard output as lines, without their line breaks.
    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

inline std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The argv of a spawn: pointers into `words`, then the closing null.
inline std::vector<char*> Argv(std::vector<std::string>& words)
{
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    return argv;
}

inline std::string RandomImage(std::size_t size, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string bytes(size, '\0');
    for (char& b : bytes) b = char(gen());
    return bytes;
}

// A scratch folder per test, and a way to run vexo in it.
class VexoTest : public ::testing::Test {
protected:
    VexoTest()
    {
        char pattern[] = "/tmp/vexo-cli-XXXXXX";
        m_dir = ::mkdtemp(pattern);
    }
    ~VexoTest() override
    {
        std::error_code ec;
        if (!m_programDir.empty()) std::filesystem::remove_all(m_programDir, ec);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_dir, ec))
            if (entry.is_directory(ec))
                std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_dir, ec);
    }

    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }

    // Runs vexo with `args` in `cwd` (the scratch folder when empty), standard
    // input from m_stdinPath and both outputs captured in files.
    VexoResult Vexo(const std::vector<std::string>& args, const std::string& cwd = {}) const
    {
        const std::string outPath = m_dir + "/.stdout", errPath = m_dir + "/.stderr";
        std::vector<std::string> words{m_program};
        // VEXO_VALGRIND=1: every run under memcheck; an error or a definite
        // leak turns into exit status 99, which no test expects.
        if (const char* v = std::getenv("VEXO_VALGRIND"); v && *v && *v != '0')
            words.insert(words.begin(), {"/usr/bin/valgrind", "--quiet", "--error-exitcode=99",
                                         "--leak-check=full", "--errors-for-leak-kinds=definite"});
        words.insert(words.end(), args.begin(), args.end());
        words.insert(words.begin(), m_prefix.begin(), m_prefix.end());
        std::vector<char*> argv = Argv(words);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, m_stdinPath.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(),
                                         O_WRONLY | O_CREAT | (m_appendOut ? O_APPEND : O_TRUNC), 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const std::string dir = cwd.empty() ? m_dir : cwd;
        posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());

        VexoResult result;
        pid_t pid = 0;
        std::vector<std::string> environment = m_environment;
        std::vector<char*> env;
        for (auto& e : environment) env.push_back(e.data());
        env.push_back(nullptr);
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(),
                                        m_environment.empty() ? environ : env.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << argv[0] << ": " << std::strerror(spawned);
            return result;
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        result.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.out = Slurp(outPath);
        result.err = Slurp(errPath);
        return result;
    }

    // Runs vexo as the unprivileged user `nobody` (setpriv), for the cases
    // root would sail through. The build tree may lie below a folder only its
    // owner can enter (a clone in root's home or in a `mktemp -d` folder), so
    // nobody runs a copy of vexo from a fresh 0755 folder under /tmp, beside
    // the scratch folder. False (and nothing set) where that cannot be: the
    // caller skips and says why.
    bool RunAsNobody()
    {
        if (::geteuid() != 0 || ::access("/usr/bin/setpriv", X_OK) != 0) return false;
        char pattern[] = "/tmp/vexo-prog-XXXXXX";
        if (!::mkdtemp(pattern)) return false;
        m_programDir = pattern;
        const std::string copy = m_programDir + "/vexo";
        std::error_code ec;
        std::filesystem::copy_file(VEXO_BINARY, copy, ec);
        if (ec || ::chmod(m_programDir.c_str(), 0755) != 0 || ::chmod(copy.c_str(), 0755) != 0) return false;
        ::chmod(m_dir.c_str(), 0777);
        // The sanitizers' suppression files live in the checkout too.
        for (char** e = environ; *e; ++e) {
            std::string entry = *e;
            const std::size_t at = entry.find("suppressions=");
            if (at != std::string::npos) {
                const std::size_t from = at + 13, to = std::min(entry.find(':', from), entry.size());
                const std::string copyOf = m_programDir + "/" + entry.substr(0, entry.find('=')) + ".supp";
                std::filesystem::copy_file(entry.substr(from, to - from), copyOf, ec);
                if (ec || ::chmod(copyOf.c_str(), 0644) != 0) return false;
                entry.replace(from, to - from, copyOf);
            }
            m_environment.push_back(entry);
        }
        const std::string program = m_program;
        m_program = copy;
        m_prefix = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        // A /tmp mounted noexec, or a parent nobody may not enter: say so.
        if (Vexo({"--version"}).code != 0) {
            m_prefix.clear();
            m_environment.clear();
            m_program = program;
            return false;
        }
        return true;
    }

    std::string m_dir;
    std::string m_program = VEXO_BINARY;  // the vexo that runs (a copy when run as nobody)
    std::string m_programDir;  // the folder of that copy, removed with the scratch folder
    std::vector<std::string> m_prefix;  // words before the program (setpriv ...)
    std::vector<std::string> m_environment;  // the program's environment; empty: ours
    bool m_appendOut = false;  // standard output appends to .stdout instead of replacing it
    std::string m_stdinPath = "/dev/null";  // what vexo reads on standard input
};

}  // namespace vexo::test
