// Runs the command-line tools from the tests: a child process with its stdout and stderr on pipes
// (or stdout into a file), and its exit status.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string>
#include <vector>

namespace simtest
{

inline const std::string kSimTool = std::string(VRN_BINARY_DIR) + "/vrnrcvr-sim";
inline const std::string kReplayTool = std::string(VRN_BINARY_DIR) + "/vrnrcvr-replay";

struct Child
{
    pid_t pid = -1;
    int out = -1;  // the child's stdout (-1 when it goes to a file)
    int err = -1;  // the child's stderr
};

// Starts `program` with `args`; stdout goes to `stdoutFile` when given, else to a pipe.
inline Child Spawn(const std::vector<std::string>& args, const std::string& program = kSimTool,
                   const std::string& stdoutFile = {})
{
    std::array<int, 2> out{-1, -1}, err{-1, -1};
    if ((stdoutFile.empty() && ::pipe(out.data()) != 0) || ::pipe(err.data()) != 0)
        return {};
    Child c;
    c.pid = ::fork();
    if (c.pid == 0)
    {
        if (stdoutFile.empty())
            ::dup2(out[1], 1);
        else
        {
            const int fd = ::open(stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(fd, 1);
        }
        ::dup2(err[1], 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    if (stdoutFile.empty())
    {
        ::close(out[1]);
        c.out = out[0];
    }
    ::close(err[1]);
    c.err = err[0];
    return c;
}

inline std::string ReadAll(int fd)
{
    std::string s;
    std::array<char, 4096> buf{};
    for (ssize_t n; fd >= 0 && (n = ::read(fd, buf.data(), buf.size())) > 0;)
        s.append(buf.data(), static_cast<std::size_t>(n));
    return s;
}

// Runs a tool to its end; returns its exit status (-1 when it did not exit) and its stderr text.
inline int RunTool(const std::vector<std::string>& args, std::string& err,
                   const std::string& program = kSimTool, const std::string& stdoutFile = {})
{
    Child c = Spawn(args, program, stdoutFile);
    if (c.pid <= 0)
        return -1;
    err.clear();
    // Both pipes at once: a child that fills one while we wait on the other would never end.
    std::array<pollfd, 2> fds{pollfd{c.out, POLLIN, 0}, pollfd{c.err, POLLIN, 0}};
    std::array<char, 4096> buf{};
    while (fds[0].fd >= 0 || fds[1].fd >= 0)
    {
        if (::poll(fds.data(), fds.size(), -1) < 0)
        {
            if (errno == EINTR)
                continue;
            break;
        }
        for (pollfd& p : fds)
        {
            if (p.fd < 0 || p.revents == 0)
                continue;
            const ssize_t n = ::read(p.fd, buf.data(), buf.size());
            if (n > 0 && p.fd == c.err)
                err.append(buf.data(), static_cast<std::size_t>(n));
            else if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                p.fd = -1;  // closed (negative descriptors are skipped by poll)
        }
    }
    if (c.out >= 0)
        ::close(c.out);
    ::close(c.err);
    int status = 0;
    ::waitpid(c.pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace simtest
