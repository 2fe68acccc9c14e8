#pragma once

#include <sys/fsuid.h>
#include <unistd.h>

// Root overrides file modes; a test that needs a refusal from the file system takes the
// file-system identity of nobody on this thread for as long as this lives (its real and
// effective identity stay root). For any other user it does nothing: their own modes hold.
class FileAccessAsNobody {
public:
    FileAccessAsNobody() {
        if (isRoot()) {
            ::setfsgid(kNobody);
            ::setfsuid(kNobody);
        }
    }
    ~FileAccessAsNobody() {
        if (isRoot()) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
    }
    FileAccessAsNobody(const FileAccessAsNobody &) = delete;
    FileAccessAsNobody &operator=(const FileAccessAsNobody &) = delete;

    static constexpr uid_t kNobody = 65534;
    [[nodiscard]] static bool isRoot() { return ::geteuid() == 0; }
};
