// The cached address of one library entry, bound by name on first use, and
// the table of a unit's entries, forgotten together when its libraries go.
#pragma once

#include <string>
#include <vector>

#include "archive/archiver.h"

namespace archives {

class EntrySlotBase {
public:
    virtual void Clear() = 0;

protected:
    ~EntrySlotBase() = default;
};

// The entries of one wrapper unit; slots enter it as they are constructed.
class EntryTable {
public:
    void Add(EntrySlotBase* slot) { m_slots.push_back(slot); }
    void Clear()
    {
        for (EntrySlotBase* slot : m_slots)
            slot->Clear();
    }

private:
    std::vector<EntrySlotBase*> m_slots;
};

template <class Fn> class EntrySlot final : public EntrySlotBase {
public:
    EntrySlot(EntryTable& table, std::string name) : m_name(std::move(name)) { table.Add(this); }
    EntrySlot(const EntrySlot&) = delete;
    EntrySlot& operator=(const EntrySlot&) = delete;

    // The cached address, or the result of BindEntry, which is cached;
    // a failed lookup throws and caches nothing, so the next call looks again.
    Fn Get(HMODULE module)
    {
        if (!m_address)
            m_address = reinterpret_cast<Fn>(BindEntry(module, m_name.c_str()));
        return m_address;
    }
    Fn Cached() const { return m_address; }
    void Set(Fn address) { m_address = address; }
    void Clear() override { m_address = nullptr; }
    const std::string& Name() const { return m_name; }

private:
    std::string m_name;
    Fn m_address = nullptr;
};

}  // namespace archives
