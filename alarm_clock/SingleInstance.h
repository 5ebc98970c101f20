#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace kestrum {

// One running Kestrum per user: a lock file in the user's runtime folder
// ($XDG_RUNTIME_DIR, or, when the session has none, "kestrum-<uid>" under
// the temporary folder if it is this user's alone, else "kestrum" under the
// user's cache folder). The lock is held for the life of this object. A
// lock left behind by a copy that died is recovered: QLockFile finds its
// process gone and takes the lock over. A lock file the user does not own,
// or a link, is never taken for a running copy.
class SingleInstance {
public:
    // `lockPath` empty: defaultLockPath().
    explicit SingleInstance(const QString &lockPath = QString());
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    enum class Result {
        Acquired,      // this is the one running copy
        HeldElsewhere, // another running copy holds the lock
        Unavailable,   // the lock file cannot be made (said on standard error)
    };
    // Takes the lock. An alarm clock that cannot make its lock file still
    // runs: the caller treats Unavailable as leave to go on.
    Result acquire();
    bool held() const { return held_; }
    const QString &lockPath() const { return path_; }

    static QString defaultLockPath();

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
    bool held_ = false;
};

// The notice a second copy shows before it ends.
inline constexpr char kAlreadyRunningText[] = "Kestrum is already running... ";

}  // namespace kestrum
