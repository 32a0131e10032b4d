#include "platform/win32/single_instance.h"

namespace snaplark::platform::win32 {

// "Local\" keeps the name to this session: another user's agent on the same machine is no rival.
SingleInstance::SingleInstance()
    : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\example.snaplark.Snaplark"))
{
    claimed_ = mutex_ != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
}

SingleInstance::~SingleInstance()
{
    if (mutex_ != nullptr) CloseHandle(mutex_);
}

}  // namespace snaplark::platform::win32
