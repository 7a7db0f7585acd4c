#include "cli/lines.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "rom/line_test.h"

namespace vexo::cli {
namespace {

constexpr int kPollMillis = 100;

enum class Key { Next, Quit };

// Waits for a line at `fd`, redrawing the status lines whenever they change.
Key WaitForEnter(LineTest& test, int fd, std::FILE* out)
{
    StatusLines shown = test.Read();
    std::fprintf(out, "  %s ", FormatStatusLines(shown).c_str());
    std::fflush(out);
    std::string line;
    while (true) {
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, kPollMillis);
        if (ready < 0 && errno != EINTR) return Key::Quit;
        if (ready <= 0) {
            const StatusLines now = test.Read();
            if (!(now == shown)) {
                shown = now;
                std::fprintf(out, "\r  %s ", FormatStatusLines(shown).c_str());
                std::fflush(out);
            }
            continue;
        }
        char c = 0;
        const ssize_t got = read(fd, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return Key::Quit;  // end of input ends the test
        if (c != '\n') {
            line.push_back(c);
            continue;
        }
        return (!line.empty() && (line[0] == 'q' || line[0] == 'Q')) ? Key::Quit : Key::Next;
    }
}

}  // namespace

int RunLineTest(IPort& port, bool withBit4, int inFd, std::FILE* out, std::FILE* err)
{
    if (!isatty(inFd)) {
        std::fprintf(err, "vexo: %s\n", kLineTestNeedsTerminal);
        return 1;
    }
    LineTest test(port, withBit4);
    std::fputs("Line test. Take the EPROM out of the socket first: this drives the module's lines "
               "one at a time.\nEnter: next line; q and Enter: stop (the lines go back to their "
               "reset state).\n",
               out);
    test.Reset();
    std::fputs("reset state: data 0x00, control 0x09\n", out);
    bool quit = WaitForEnter(test, inFd, out) == Key::Quit;
    for (std::size_t i = 0; !quit && i < test.Steps().size(); ++i) {
        test.Apply(i);
        std::fprintf(out, "%zu/%zu %s\n", i + 1, test.Steps().size(), test.Steps()[i].name.c_str());
        quit = WaitForEnter(test, inFd, out) == Key::Quit;
    }
    test.Reset();
    std::fputs("\nlines back in their reset state\n", out);
    std::fflush(out);
    return 0;
}

}  // namespace vexo::cli
