// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/std_descriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace vexo {

Status OpenClosedStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        // The lowest free number: this one, as the lower ones are open by now.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened < 0) {
            const int error = errno;
            return Status::Fail(std::string("/dev/null: ") + std::strerror(error), error);
        }
        if (opened != fd) {
            const int error = ::dup2(opened, fd) < 0 ? errno : 0;
            ::close(opened);
            if (error != 0) return Status::Fail(std::string("/dev/null: ") + std::strerror(error), error);
        }
    }
    return Status::Ok();
}

}  // namespace vexo
