// SPDX-License-Identifier: GPL-3.0-or-later
// One line per event of a station on standard output.
#include "modConsoleLog.h"

#include "LocalText.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<bool> g_enabled{false};

// Lines go out on a thread of their own. A standard output that stops taking them (a
// pipe nobody reads) stalls that thread only, never the station's, which also runs its
// calls; lines beyond what the queue holds are counted, not kept.
constexpr std::size_t kMaxQueuedLines = 1000;
constexpr auto kExitWait = std::chrono::seconds(2);

struct Writer {
    std::mutex mutex;
    std::condition_variable queued;
    std::condition_variable written;
    std::deque<std::string> lines;
    std::size_t dropped = 0;
    bool busy = false; // a line is being written
};

// Never destroyed: the thread may still be blocked in a write when the program ends.
Writer& TheWriter() {
    static Writer* const writer = new Writer;
    return *writer;
}

void WriteAll(const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR)
            return; // EPIPE and the like: the line is lost, no more
    }
}

void WriteLines() {
    Writer& w = TheWriter();
    std::unique_lock lock(w.mutex);
    for (;;) {
        w.queued.wait(lock, [&w] { return !w.lines.empty(); });
        std::string text;
        if (w.dropped > 0)
            text = "(" + std::to_string(w.dropped) + " lines not written: output too slow)\n";
        w.dropped = 0;
        text += w.lines.front();
        w.lines.pop_front();
        w.busy = true;
        lock.unlock();
        WriteAll(text);
        lock.lock();
        w.busy = false;
        w.written.notify_all();
    }
}

// At exit, what is queued still goes out, unless the output has stalled.
void WaitForLines() {
    Writer& w = TheWriter();
    std::unique_lock lock(w.mutex);
    w.written.wait_for(lock, kExitWait, [&w] { return w.lines.empty() && !w.busy; });
}

} // namespace

void ProtectStandardStreams() {
    std::signal(SIGPIPE, SIG_IGN);
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1)
            continue;
        const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
}

void SetConsoleLogEnabled(bool enabled) {
    g_enabled = enabled;
}

void ConsoleLog(const QString& line) {
    if (!g_enabled)
        return;
    static std::once_flag started;
    std::call_once(started, [] {
        std::thread(WriteLines).detach();
        std::atexit(WaitForLines);
    });
    Writer& w = TheWriter();
    {
        std::lock_guard lock(w.mutex);
        if (w.lines.size() >= kMaxQueuedLines) {
            ++w.dropped;
            return;
        }
        // The bytes the text stands for, also those that do not decode.
        w.lines.push_back(Tavrino::EncodeLocalText(line).toStdString() + '\n');
    }
    w.queued.notify_one();
}
