// Recording doubles of the platform services, for tests of code that shows
// message boxes, plays sounds, opens help or reads version data. Install one
// with ScopedService, which puts the previous service back afterwards.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/services.h"

namespace tidebell_test {

struct MessageBoxCall {
    std::string text, caption;
    UINT type = 0;
};

class FakeMessageBoxService : public platform::MessageBoxService {
public:
    std::vector<MessageBoxCall> calls;
    std::deque<int> answers;  // given in order; when empty, IDOK / IDYES
    int show(HWND, const std::string& text, const std::string& caption, UINT type) override
    {
        calls.push_back({text, caption, type});
        if (!answers.empty()) {
            int a = answers.front();
            answers.pop_front();
            return a;
        }
        UINT buttons = type & 0xF;
        return (buttons == MB_YESNO || buttons == MB_YESNOCANCEL) ? IDYES : IDOK;
    }
};

struct SoundCall {
    std::string path;
    UINT flags = 0;
};

class FakeSoundService : public platform::SoundService {
public:
    std::vector<SoundCall> calls;
    bool result = true;
    bool play(const std::string& windowsPath, UINT flags) override
    {
        calls.push_back({windowsPath, flags});
        return result;
    }
};

struct HelpCall {
    std::string file;
    UINT command = 0;
    uintptr_t data = 0;
};

class FakeHelpService : public platform::HelpService {
public:
    std::vector<HelpCall> calls;
    bool result = true;
    bool show(HWND, const std::string& helpFile, UINT command, uintptr_t data) override
    {
        calls.push_back({helpFile, command, data});
        return result;
    }
};

class FakeVersionInfoService : public platform::VersionInfoService {
public:
    std::vector<std::string> calls;
    std::map<std::string, std::string> blocks;  // Windows path -> resource (platform::encodeVersionResource)
    std::string versionBlock(const std::string& windowsPath) override
    {
        calls.push_back(windowsPath);
        auto it = blocks.find(windowsPath);
        return it == blocks.end() ? std::string() : it->second;
    }
};

// Installs a service for the lifetime of the guard.
template <typename Service> class ScopedService {
public:
    explicit ScopedService(std::shared_ptr<Service> service) : m_service(service) { m_previous = install(service); }
    ~ScopedService() { install(m_previous); }
    ScopedService(const ScopedService&) = delete;
    ScopedService& operator=(const ScopedService&) = delete;
    Service& operator*() const { return *m_service; }
    Service* operator->() const { return m_service.get(); }

private:
    template <typename T> static auto install(std::shared_ptr<T> s)
    {
        if constexpr (std::is_base_of_v<platform::MessageBoxService, T>)
            return platform::setMessageBoxService(std::move(s));
        else if constexpr (std::is_base_of_v<platform::SoundService, T>)
            return platform::setSoundService(std::move(s));
        else if constexpr (std::is_base_of_v<platform::HelpService, T>)
            return platform::setHelpService(std::move(s));
        else
            return platform::setVersionInfoService(std::move(s));
    }
    std::shared_ptr<Service> m_service;
    decltype(install(std::shared_ptr<Service>())) m_previous;
};

}  // namespace tidebell_test
