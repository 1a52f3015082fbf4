// The cached address of one library entry, bound by name on first use.
#pragma once

#include <string>

#include "archive/archiver.h"

namespace archives {

template <class Fn>
class EntrySlot {
public:
    explicit EntrySlot(std::string name) : m_name(std::move(name)) {}

    // The cached address, or the result of BindEntry, which is cached;
    // a failed lookup throws and caches nothing, so the next call looks again.
    Fn Get(HMODULE module) {
        if (!m_address) m_address = reinterpret_cast<Fn>(BindEntry(module, m_name.c_str()));
        return m_address;
    }
    Fn Cached() const { return m_address; }
    void Set(Fn address) { m_address = address; }
    void Clear() { m_address = nullptr; }
    const std::string& Name() const { return m_name; }

private:
    std::string m_name;
    Fn m_address = nullptr;
};

}  // namespace archives
