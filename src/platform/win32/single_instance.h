#pragma once

#include <windows.h>

namespace snaplark::platform::win32 {

// The one place for an agent in this logon session: a named mutex held for the life of the
// process.
class SingleInstance {
public:
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // False when another agent of this session holds the place.
    bool claimed() const { return claimed_; }

private:
    HANDLE mutex_ = nullptr;
    bool claimed_ = false;
};

}  // namespace snaplark::platform::win32
