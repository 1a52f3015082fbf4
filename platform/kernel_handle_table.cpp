#include "platform/kernel_handle_table.h"

#include <map>
#include <mutex>

namespace platform {
namespace {

struct Table {
    std::mutex mutex;
    std::map<uintptr_t, std::shared_ptr<HandleObject>> objects;
    uintptr_t next = 1;
};

Table& table()
{
    static Table t;
    return t;
}

}  // namespace

HANDLE KernelHandleTable::add(std::shared_ptr<HandleObject> object)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    uintptr_t value = (t.next++) << 2;  // multiples of 4, as Windows hands out
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<HandleObject> KernelHandleTable::find(HANDLE handle)
{
    Table& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

bool KernelHandleTable::erase(HANDLE handle)
{
    std::shared_ptr<HandleObject> doomed;  // destroyed after the lock is released
    Table& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.objects.end())
        return false;
    doomed = std::move(it->second);
    t.objects.erase(it);
    return true;
}

}  // namespace platform
