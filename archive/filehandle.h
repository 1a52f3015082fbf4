// Closes a platform file handle when it goes out of scope.
#pragma once

#include "platform/win32.h"

namespace archives {

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : m_handle(h) {}
    ~FileHandle()
    {
        if (valid())
            CloseHandle(m_handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

}  // namespace archives
