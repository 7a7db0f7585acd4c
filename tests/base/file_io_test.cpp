// SPDX-License-Identifier: GPL-3.0-or-later
// Where a save lands: descriptors, links, long names, folders we cannot read.
#include "base/file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

namespace vexo {
namespace {

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class FileIoTest : public ::testing::Test {
protected:
    FileIoTest()
    {
        char pattern[] = "/tmp/vexo-fileio-XXXXXX";
        m_dir = ::mkdtemp(pattern);
    }
    ~FileIoTest() override
    {
        std::error_code ec;
        ::chmod(m_dir.c_str(), 0700);
        std::filesystem::remove_all(m_dir, ec);
    }
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    std::string m_dir;
};

TEST_F(FileIoTest, ADescriptorNameWritesThroughTheDescriptorAndKeepsWhatItHolds)
{
    const std::string log = Path("log.txt");
    std::ofstream(log) << "keep\n";
    const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    const std::string data = "image";
    for (const std::string& name :
         {"/dev/fd/" + std::to_string(fd), "/proc/self/fd/" + std::to_string(fd),
          "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(fd)})
        EXPECT_TRUE(ReplaceFile(name, data.data(), data.size()).ok()) << name;
    ::close(fd);
    EXPECT_EQ(Slurp(log), "keep\nimageimageimage");

    EXPECT_EQ(OwnDescriptor("/dev/stdout"), 1);
    EXPECT_EQ(OwnDescriptor("/proc/self/fd/7"), 7);
    EXPECT_FALSE(OwnDescriptor("/dev/fd/x"));
    EXPECT_FALSE(OwnDescriptor("/dev/fdx/1"));
    EXPECT_TRUE(IsDescriptorPath("/proc/1/fd/3"));
    EXPECT_FALSE(IsDescriptorPath("/proc/1/fdinfo/3"));
}

TEST_F(FileIoTest, AFailedSaveNamesTheFileAndItsReasonAndKeepsTheErrno)
{
    const Status missing = ReplaceFile(Path("no/such.bin"), "x", 1);
    EXPECT_FALSE(missing.ok());
    EXPECT_EQ(missing.message(), Path("no/such.bin") + ": No such file or directory");
    EXPECT_EQ(missing.errnum(), ENOENT);
    const Status folder = ReplaceFile(m_dir + "/", "x", 1);
    EXPECT_EQ(folder.message(), m_dir + "/: Is a directory");
    EXPECT_EQ(folder.errnum(), EISDIR);
}

TEST_F(FileIoTest, ADanglingLinkGetsTheFileItNames)
{
    const std::string link = Path("link.bin"), target = Path("sub/target.bin");
    std::filesystem::create_directory(Path("sub"));
    std::filesystem::create_symlink("sub/target.bin", link);
    const std::string data(100, 'x');
    ASSERT_TRUE(ReplaceFile(link, data.data(), data.size()).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(Slurp(target), data);
}

TEST_F(FileIoTest, ANameAsLongAsTheFolderAllowsCanBeSaved)
{
    for (std::size_t length : {247u, 250u, 255u}) {
        const std::string name = Path(std::string(length, 'n'));
        const std::string data = "long " + std::to_string(length);
        ASSERT_TRUE(ReplaceFile(name, data.data(), data.size()).ok()) << length;
        EXPECT_EQ(Slurp(name), data);
        ASSERT_TRUE(ReplaceFile(name, "x", 1).ok()) << length;  // replacing it too
        EXPECT_EQ(Slurp(name), "x");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir), {}), 3);  // no temporaries left
}

TEST_F(FileIoTest, AFolderWeMayWriteButNotReadStillTakesTheSave)
{
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every folder; vexo_files_test runs this as nobody";
    const std::string folder = Path("drop");
    std::filesystem::create_directory(folder);
    std::ofstream(folder + "/out.bin") << "old";
    ::chmod(folder.c_str(), 0333);
    EXPECT_TRUE(ReplaceFile(folder + "/out.bin", "new", 3).ok());
    ::chmod(folder.c_str(), 0700);
    EXPECT_EQ(Slurp(folder + "/out.bin"), "new");
}

}  // namespace
}  // namespace vexo
