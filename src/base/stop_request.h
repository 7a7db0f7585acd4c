// SPDX-License-Identifier: GPL-3.0-or-later
// A request to stop the run: a signal (SIGINT, SIGTERM, SIGHUP) or the
// program itself (its standard output went away). The signal handler only
// records the request and wakes whoever waits on the notify pipe; the
// device passes look at it between two bytes and stop there, and the front
// end then shuts the session down as at a normal exit (lines reset, trace,
// capture and log completed).
#pragma once

#include <initializer_list>
#include <string>

#include "base/error.h"

namespace vexo {

// A reason that is no signal: standard output cannot be written (a closed pipe).
inline constexpr int kStopOutputClosed = -1;

// SIGPIPE is ignored from now on (a closed pipe fails the write instead) and
// each of `stopSignals` records a stop request. The handlers do not restart
// interrupted system calls, so a read waiting for the operator returns.
Status InstallStopHandlers(std::initializer_list<int> stopSignals);

// 0 while no stop was requested; else the first reason: the signal's
// number, or kStopOutputClosed.
int StopReason();
inline bool StopRequested() { return StopReason() != 0; }
// Records a stop request of the program's own; the first reason stays.
void RequestStop(int reason);
// Forgets the request (tests, and a host that goes on after a stop).
void ClearStopRequest();

// A descriptor that becomes readable when a stop is requested (a byte per
// request): for an event loop that cannot poll a flag. -1 until
// InstallStopHandlers made it.
int StopNotifyDescriptor();

// "SIGINT", "SIGTERM", "SIGHUP", "standard output closed".
std::string StopReasonText(int reason);
// 128 + the signal's number; 1 for a closed standard output.
int StopExitStatus(int reason);

}  // namespace vexo
