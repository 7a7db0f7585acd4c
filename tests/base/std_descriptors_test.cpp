// SPDX-License-Identifier: GPL-3.0-or-later
// Standard descriptors left closed by the parent get /dev/null, so the files
// a program opens afterwards keep numbers above 2.
#include "base/std_descriptors.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vexo {
namespace {

bool IsDevNull(int fd, int accessMode)
{
    struct stat st {}, null {};
    const int flags = ::fcntl(fd, F_GETFL);
    return ::fstat(fd, &st) == 0 && ::stat("/dev/null", &null) == 0 && S_ISCHR(st.st_mode) &&
           st.st_rdev == null.st_rdev && flags >= 0 && (flags & O_ACCMODE) == accessMode;
}

// In a child: closes the descriptors in `closed` (a bit per number), runs the
// helper, and exits 0 when each closed one is /dev/null the right way round
// and a file opened next gets a number above 2.
int RunClosed(unsigned closed)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (int fd = 0; fd <= 2; ++fd)
            if (closed & (1u << fd)) ::close(fd);
        if (!OpenClosedStandardDescriptors().ok()) ::_exit(10);
        for (int fd = 0; fd <= 2; ++fd)
            if ((closed & (1u << fd)) && !IsDevNull(fd, fd == 0 ? O_RDONLY : O_WRONLY)) ::_exit(20 + fd);
        const int next = ::open("/dev/null", O_RDONLY);
        ::_exit(next > 2 ? 0 : 30);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

TEST(StdDescriptors, EveryClosedOneGetsDevNullAndOpenOnesStayAsTheyAre)
{
    for (unsigned closed = 0; closed < 8; ++closed) EXPECT_EQ(RunClosed(closed), 0) << "closed mask " << closed;

    // An open descriptor is left alone: a pipe stays a pipe.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const int saved = ::dup(1);
    ASSERT_EQ(::dup2(pipeFds[1], 1), 1);
    const Status s = OpenClosedStandardDescriptors();
    struct stat st {};
    const bool stillPipe = ::fstat(1, &st) == 0 && S_ISFIFO(st.st_mode);
    ::dup2(saved, 1);
    ::close(saved);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    EXPECT_TRUE(s.ok()) << s.message();
    EXPECT_TRUE(stillPipe);
}

}  // namespace
}  // namespace vexo
