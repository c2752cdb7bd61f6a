// Running a check without the power to ignore file permissions, for tests of read-only and closed folders.
#pragma once

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace fixtures {

// Runs `body` without the power to ignore permissions: in a child process that gives up root when we are
// root, in this process otherwise. The child reports through its exit status: 0 when `body` returned true.
inline bool RunWithoutPrivileges(const std::function<bool()>& body)
{
    if (::geteuid() != 0)
        return body();
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(dropped && body() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace fixtures
