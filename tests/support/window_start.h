#pragma once
// Starts the real program the way a user's desktop does and waits for its
// first window: for the start-up test and the start-up benchmark. Each start
// runs the program with ZADUD_REPORT_FIRST_PAINT and reads its standard
// output until the first-paint line, then kills it, as a user closing the
// session would.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace window_start {

inline bool onPath(const char* tool) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string file = dirs.substr(start, end - start) + "/" + tool;
        if (::access(file.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// Reads what is available on fd until `until` is in `text`, EOF, or the deadline.
inline bool readUntil(int fd, std::string& text, const std::string& until,
                      std::chrono::steady_clock::time_point deadline) {
    while (text.find(until) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char buf[512];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) return false;
        text.append(buf, static_cast<std::size_t>(n));
    }
    return true;
}

// Forks and executes argv with the environment plus `extraEnv` (NAME=value;
// an entry "NAME=" drops NAME), in `dir`, its standard output on *out and its
// standard error on *err (both pipes). Returns the child's pid or -1.
inline pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                   const std::string& dir, int* out, int* err, int keepFd = -1) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const auto& x : extraEnv)
            replaced |= entry.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0;
        if (!replaced) env.push_back(entry);
    }
    for (const auto& x : extraEnv)
        if (x.back() != '=') env.push_back(x);
    std::vector<char*> args, envp;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    for (const auto& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    args.push_back(nullptr);
    envp.push_back(nullptr);
    int o[2], e[2];
    if (::pipe2(o, O_CLOEXEC) != 0) return -1;
    if (::pipe2(e, O_CLOEXEC) != 0) {
        ::close(o[0]);
        ::close(o[1]);
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(o[1], 1);
        ::dup2(e[1], 2);
        if (keepFd >= 0) ::fcntl(keepFd, F_SETFD, 0);
        if (dir.empty() || ::chdir(dir.c_str()) == 0) ::execve(args[0], args.data(), envp.data());
        _exit(127);
    }
    ::close(o[1]);
    ::close(e[1]);
    if (pid < 0) {
        ::close(o[0]);
        ::close(e[0]);
        return -1;
    }
    *out = o[0];
    *err = e[0];
    return pid;
}

// A private X server for the starts (Xvfb, which picks a free display
// itself, or the one given); started() is false when the machine has none.
class XServer {
public:
    // On display :number, without waiting for it to come up.
    explicit XServer(int number) {
        if (!onPath("Xvfb")) return;
        pid_ = spawn({"/usr/bin/Xvfb", ":" + std::to_string(number), "-screen", "0", "1280x1024x24",
                      "-nolisten", "tcp"},
                     {}, {}, &out_, &err_);
        if (pid_ > 0) display_ = ":" + std::to_string(number);
    }
    XServer() {
        if (!onPath("Xvfb")) return;
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        int out = -1, err = -1;
        const std::string displayFd = std::to_string(fds[1]);
        std::string xvfb = "/usr/bin/Xvfb";
        pid_ = spawn(
            {xvfb, "-displayfd", displayFd, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, {},
            {}, &out, &err, fds[1]);
        ::close(fds[1]);
        if (pid_ > 0) {
            // Kept open: a server whose output pipe is closed dies on its next message.
            out_ = out;
            err_ = err;
            std::string number;
            readUntil(fds[0], number, "\n",
                      std::chrono::steady_clock::now() + std::chrono::seconds(10));
            if (!number.empty() && number.back() == '\n')
                display_ = ":" + number.substr(0, number.size() - 1);
        }
        ::close(fds[0]);
    }
    ~XServer() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
            ::close(out_);
            ::close(err_);
        }
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    bool started() const { return !display_.empty(); }
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
    std::string display_;
};

struct Start {
    bool shown = false;
    double ms = 0;       // process start to the first-paint line
    long residentKb = 0; // resident set when the line came
    long settledKb = 0;  // and settleMs later, once the other windows are made
    double cpuMs =
        0; // processor time of its threads by then: steadier than wall time on a busy machine
    std::string errors; // what the program wrote on standard error
};

inline long residentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, 6, "VmRSS:") == 0) return std::atol(line.c_str() + 6);
    return 0;
}

inline double cpuMs(pid_t pid) {
    double ns = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        std::ifstream stat(task.path() / "schedstat");
        double run = 0;
        if (stat >> run) ns += run;
    }
    return ns / 1e6;
}

// One start of `program` in `dir`; extraEnv picks the display. `started`
// runs once the program is on its way, before its window is waited for.
inline Start startOnce(const std::string& program, const std::string& dir,
                       std::vector<std::string> extraEnv, int timeoutMs = 10000,
                       int settleMs = 0, const std::function<void()>& started = {}) {
    extraEnv.push_back("ZADUD_REPORT_FIRST_PAINT=1");
    Start s;
    int out = -1, err = -1;
    const auto begin = std::chrono::steady_clock::now();
    const pid_t pid = spawn({program}, extraEnv, dir, &out, &err);
    if (pid < 0) return s;
    if (started) started();
    std::string text;
    s.shown = readUntil(out, text, "first-paint\n", begin + std::chrono::milliseconds(timeoutMs));
    s.ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    if (s.shown) {
        s.residentKb = residentKb(pid);
        // The program's own count covers threads that have ended too.
        const auto at = text.find("cpu-ms ");
        s.cpuMs = at != std::string::npos ? std::atof(text.c_str() + at + 7) : cpuMs(pid);
        if (settleMs > 0) {
            ::usleep(static_cast<useconds_t>(settleMs) * 1000);
            s.settledKb = residentKb(pid);
        }
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    readUntil(err, s.errors, "\x01", std::chrono::steady_clock::now() + std::chrono::seconds(1));
    ::close(out);
    ::close(err);
    return s;
}

} // namespace window_start
