// Kernel-object handles (open files, file searches): a HANDLE is a number in
// this table, so a stale or forged handle is refused instead of followed.
// Each object closes what it owns when its last reference goes.
#pragma once

#include <memory>

#include "platform/win32.h"

namespace platform {

class HandleObject {
public:
    virtual ~HandleObject() = default;
};

class KernelHandleTable {
public:
    static HANDLE add(std::shared_ptr<HandleObject> object);
    // The object of a handle if it is of type T, else null.
    template <typename T> static std::shared_ptr<T> get(HANDLE handle)
    {
        return std::dynamic_pointer_cast<T>(find(handle));
    }
    // Removes the handle if its object is of type T; false otherwise.
    template <typename T> static bool remove(HANDLE handle) { return get<T>(handle) && erase(handle); }
    static bool removeAny(HANDLE handle) { return erase(handle); }

private:
    static std::shared_ptr<HandleObject> find(HANDLE handle);
    static bool erase(HANDLE handle);
};

}  // namespace platform
