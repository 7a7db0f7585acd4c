// SPDX-License-Identifier: GPL-3.0-or-later
#include "rom/sha256.h"

#include <fcntl.h>
#include <nettle/sha2.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/file_io.h"
#include "base/text.h"

namespace vexo {
namespace {

std::string Digest(sha256_ctx& ctx)
{
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&ctx, sizeof digest, digest);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : digest) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

}  // namespace

std::string Sha256Hex(std::span<const std::uint8_t> bytes)
{
    sha256_ctx ctx;
    sha256_init(&ctx);
    sha256_update(&ctx, bytes.size(), bytes.data());
    return Digest(ctx);
}

Result<std::string> FileSha256(const std::string& path)
{
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        const int error = errno;
        return Status::Fail(Cat({path, ": ", std::strerror(error)}), error);
    }
    sha256_ctx ctx;
    sha256_init(&ctx);
    std::uint8_t block[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            return Status::Fail(Cat({path, ": ", std::strerror(error)}), error);
        }
        if (n == 0) break;
        sha256_update(&ctx, std::size_t(n), block);
    }
    return Digest(ctx);
}

}  // namespace vexo
