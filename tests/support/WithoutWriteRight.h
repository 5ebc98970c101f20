#pragma once

#include <QFile>
#include <QString>

#include <functional>

#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

// The user a test becomes when it runs as root and must lose root's right
// to write everything: "nobody".
inline constexpr uid_t kOtherUser = 65534;

// Runs `body` in a child process that may not write `readOnlyFolder`: as
// "nobody" when the test runs as root (root may write anything; the test
// makes sure nobody can reach what it must), otherwise as this user with
// the folder made read-only for the run (none when it is empty). `body` returns 0 when its checks
// held, or the number of the first check that failed; so does this
// function (100 and up: the child could not be run as asked).
inline int runWithoutWriteRight(const QString &readOnlyFolder, const std::function<int()> &body)
{
    const bool root = ::geteuid() == 0;
    const QFileDevice::Permissions before = QFile::permissions(readOnlyFolder);
    const bool restrict = !root && !readOnlyFolder.isEmpty();
    if (restrict)
        QFile::setPermissions(readOnlyFolder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const pid_t child = ::fork();
    if (child == 0) {
        if (root && (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0))
            ::_exit(100);
        ::_exit(body());
    }
    int status = -1;
    const bool waited = child > 0 && ::waitpid(child, &status, 0) == child;
    if (restrict)
        QFile::setPermissions(readOnlyFolder, before);
    return waited && WIFEXITED(status) ? WEXITSTATUS(status) : 101;
}

// Lets the other user of runWithoutWriteRight() write `folder` when the
// test runs as root (it owns the folder then).
inline bool giveToOtherUser(const QString &folder)
{
    return ::geteuid() != 0 || ::chown(QFile::encodeName(folder).constData(), kOtherUser, kOtherUser) == 0;
}

}  // namespace testing_support
