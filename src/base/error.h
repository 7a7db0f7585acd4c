// SPDX-License-Identifier: GPL-3.0-or-later
// The one error shape of our own code: a function that can fail returns a
// Status (nothing else to give back) or a Result<T> (a value or the failure).
// A failure carries the whole sentence an operator reads ("chip.bin: No
// space left on device") and, where the system gave one, the errno.
// The device object's own bool/flag conventions stay as they are.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace vexo {

class Status;

// What Status::Ok() gives: a success, which converts to a Status but of
// which no Result can be made (a Result is a value or a failure).
struct [[nodiscard]] OkStatus {};

class [[nodiscard]] Status {
public:
    Status() = default;  // success
    Status(OkStatus) {}  // NOLINT: implicit on purpose
    static OkStatus Ok() { return {}; }
    static Status Fail(std::string message, int errnum = 0)
    {
        Status s;
        s.m_failed = true;
        s.m_message = std::move(message);
        s.m_errno = errnum;
        return s;
    }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const std::string& message() const { return m_message; }
    int errnum() const { return m_errno; }

private:
    bool m_failed = false;
    std::string m_message;
    int m_errno = 0;
};

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}  // NOLINT: implicit on purpose
    Result(Status failure) : m_status(std::move(failure))  // NOLINT: implicit on purpose
    {
        // A success without a value would read as a value that is not there.
        if (m_status.ok()) {
            std::fputs("vexo: internal error: a Result made from a success without a value\n", stderr);
            std::abort();
        }
    }
    Result(OkStatus) = delete;  // Result(Status::Ok()): give the value instead

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    T& value() { return *m_value; }
    const T& value() const { return *m_value; }
    T* operator->() { return &*m_value; }
    const T* operator->() const { return &*m_value; }
    T& operator*() { return *m_value; }
    const T& operator*() const { return *m_value; }
    const Status& status() const { return m_status; }
    const std::string& message() const { return m_status.message(); }

private:
    std::optional<T> m_value;
    Status m_status;
};

}  // namespace vexo
