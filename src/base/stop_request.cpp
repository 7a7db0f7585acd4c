// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/stop_request.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace vexo {
namespace {

// The only state: what the handler records, and the pipe it wakes.
volatile std::sig_atomic_t g_stopReason = 0;
int g_notify[2] = {-1, -1};

void Notify()
{
    if (g_notify[1] < 0) return;
    const int saved = errno;
    const char byte = 1;
    // Non-blocking: a full pipe already says what this byte would.
    [[maybe_unused]] const ssize_t n = write(g_notify[1], &byte, 1);
    errno = saved;
}

extern "C" void OnStopSignal(int signal)
{
    if (g_stopReason == 0) g_stopReason = signal;
    Notify();
}

}  // namespace

Status InstallStopHandlers(std::initializer_list<int> stopSignals)
{
    if (g_notify[0] < 0 && pipe2(g_notify, O_CLOEXEC | O_NONBLOCK) != 0) {
        const int error = errno;
        g_notify[0] = g_notify[1] = -1;
        return Status::Fail(std::string("cannot make the stop pipe: ") + std::strerror(error), error);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    if (sigaction(SIGPIPE, &ignore, nullptr) != 0) {
        const int error = errno;
        return Status::Fail(std::string("cannot ignore SIGPIPE: ") + std::strerror(error), error);
    }
    struct sigaction stop {};
    stop.sa_handler = OnStopSignal;
    sigemptyset(&stop.sa_mask);
    for (const int signal : stopSignals) sigaddset(&stop.sa_mask, signal);
    stop.sa_flags = 0;  // no SA_RESTART: a read waiting for the operator returns
    for (const int signal : stopSignals) {
        if (sigaction(signal, &stop, nullptr) != 0) {
            const int error = errno;
            return Status::Fail("cannot handle " + StopReasonText(signal) + ": " + std::strerror(error), error);
        }
    }
    return Status::Ok();
}

int StopReason() { return g_stopReason; }

void RequestStop(int reason)
{
    if (reason == 0 || g_stopReason != 0) return;
    g_stopReason = reason;
    Notify();
}

void ClearStopRequest()
{
    g_stopReason = 0;
    if (g_notify[0] < 0) return;
    char drain[64];
    while (read(g_notify[0], drain, sizeof drain) > 0) {
    }
}

int StopNotifyDescriptor() { return g_notify[0]; }

std::string StopReasonText(int reason)
{
    switch (reason) {
    case kStopOutputClosed: return "standard output closed";
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: break;
    }
    if (reason > 0) {
        const char* name = sigabbrev_np(reason);
        if (name) return std::string("SIG") + name;
    }
    return "signal " + std::to_string(reason);
}

int StopExitStatus(int reason) { return reason > 0 ? 128 + reason : 1; }

}  // namespace vexo
