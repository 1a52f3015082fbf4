// A writer of a settings file caught in the middle of a write: a child
// process runs the write over and over and is stopped (SIGSTOP) while a
// temporary file of its own lies beside the file. The test then kills it
// (a writer killed mid-write) or lets it live (a concurrent writer).
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>

namespace tidebell_test {

// The names in `folder` of the temporary files of atomic writes.
inline std::set<std::string> temporaryFiles(const std::string& folder)
{
    std::set<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.find(".tbtmp-") != std::string::npos)
            names.insert(name);
    }
    return names;
}

class StoppedWriter {
public:
    // `write` runs in the child until it is stopped; `folder` is where its
    // temporary files appear.
    StoppedWriter(const std::string& folder, const std::function<void()>& write)
    {
        const std::set<std::string> before = temporaryFiles(folder);
        auto ownFileThere = [&] {
            for (const std::string& name : temporaryFiles(folder))
                if (!before.count(name)) {
                    m_temporary = name;
                    return true;
                }
            return false;
        };
        m_pid = ::fork();
        if (m_pid == 0) {
            for (;;)
                write();
        }
        for (int attempt = 0; m_pid > 0 && attempt < 100000; ++attempt) {
            if (ownFileThere()) {
                ::kill(m_pid, SIGSTOP);
                int status = 0;
                ::waitpid(m_pid, &status, WUNTRACED);
                if (ownFileThere())
                    return;
                ::kill(m_pid, SIGCONT);
            }
            ::usleep(50);
        }
        kill();
        m_temporary.clear();
    }
    ~StoppedWriter() { kill(); }
    StoppedWriter(const StoppedWriter&) = delete;
    StoppedWriter& operator=(const StoppedWriter&) = delete;

    // Whether the child was caught with its temporary file there.
    bool caught() const { return !m_temporary.empty(); }
    const std::string& temporary() const { return m_temporary; }
    // kill -9, then reaped.
    void kill()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    std::string m_temporary;
};

}  // namespace tidebell_test
