#include "platform/drive_map.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/internal.h"
#include "platform/platform.h"

namespace platform {
namespace {

struct MountEntry {
    std::string device, mountPoint, fsType;
};

// Mount tables escape blanks and a few other bytes as "\ooo".
std::string unescapeOctal(const std::string& field)
{
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char* p = field.c_str() + i + 1;
            if (p[0] >= '0' && p[0] <= '7' && p[1] >= '0' && p[1] <= '7' && p[2] >= '0' && p[2] <= '7') {
                out += static_cast<char>((p[0] - '0') * 64 + (p[1] - '0') * 8 + (p[2] - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<MountEntry> readMountTable(const std::string& path)
{
    std::vector<MountEntry> entries;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        MountEntry e;
        if (fields >> e.device >> e.mountPoint >> e.fsType) {
            e.device = unescapeOctal(e.device);
            e.mountPoint = unescapeOctal(e.mountPoint);
            while (e.mountPoint.size() > 1 && e.mountPoint.back() == '/')
                e.mountPoint.pop_back();
            entries.push_back(std::move(e));
        }
    }
    return entries;
}

bool isBelow(const std::string& path, const std::string& folder)
{
    if (folder == "/")
        return path.size() > 1 && path[0] == '/';
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

bool getsLetter(const MountEntry& e)
{
    return isBelow(e.mountPoint, "/media") || isBelow(e.mountPoint, "/run/media") || isBelow(e.mountPoint, "/mnt");
}

bool sysfsRemovable(const std::string& device)
{
    if (device.rfind("/dev/", 0) != 0)
        return false;
    std::string name = device.substr(5);
    for (std::string candidate :
         {"/sys/class/block/" + name + "/removable", "/sys/class/block/" + name + "/../removable"}) {
        std::ifstream in(candidate);
        int flag = 0;
        if (in >> flag)
            return flag == 1;
    }
    return false;
}

UINT typeOf(const MountEntry& e, bool lettered)
{
    const std::string& fs = e.fsType;
    if (fs == "nfs" || fs == "nfs4" || fs == "cifs" || fs == "smb" || fs == "smb3" || fs == "smbfs" || fs == "sshfs" ||
        fs == "fuse.sshfs" || fs == "9p" || fs == "afs")
        return DRIVE_REMOTE;
    if (fs == "iso9660" || fs == "udf")
        return DRIVE_CDROM;
    if (lettered && (fs == "tmpfs" || fs == "ramfs"))
        return DRIVE_RAMDISK;
    if (!lettered)
        return DRIVE_FIXED;
    // Desktop automounters put user media below /media and /run/media; below
    // /mnt only what the kernel calls removable is.
    if (!isBelow(e.mountPoint, "/mnt") || sysfsRemovable(e.device))
        return DRIVE_REMOVABLE;
    return DRIVE_FIXED;
}

struct State {
    std::mutex mutex;
    std::string tablePath;
    std::map<std::string, char> letters;  // mount point -> letter
    // The system's table is re-read only when the kernel reports a change
    // (poll on /proc/self/mounts); reading it costs far more than a path
    // conversion should.
    int watchFd = -1;
    bool cached = false;
    std::vector<Drive> drives;
};

constexpr const char* systemTable = "/proc/self/mounts";

// True when the system's mount table may have changed since the last look.
bool systemTableChanged(State& s)
{
    if (s.watchFd < 0) {
        s.watchFd = ::open(systemTable, O_RDONLY | O_CLOEXEC);
        return true;
    }
    pollfd p{s.watchFd, POLLPRI, 0};
    if (::poll(&p, 1, 0) < 0)
        return true;
    return (p.revents & (POLLPRI | POLLERR)) != 0;
}

State& state()
{
    static State s;
    return s;
}

std::vector<Drive> currentDrives()
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    std::string tablePath = overrides().mountTable.value_or(systemTable);
    if (tablePath != s.tablePath) {
        s.tablePath = tablePath;
        s.letters.clear();
        s.cached = false;
    }
    // A table given by a test is read every time, as it may be rewritten.
    bool changed = tablePath != systemTable || systemTableChanged(s);
    if (s.cached && !changed)
        return s.drives;
    auto entries = readMountTable(tablePath);

    // The last entry for a mount point is the one in effect.
    std::map<std::string, MountEntry> active;
    std::vector<std::string> order;
    for (const auto& e : entries) {
        if (!active.count(e.mountPoint))
            order.push_back(e.mountPoint);
        active[e.mountPoint] = e;
    }
    for (auto it = s.letters.begin(); it != s.letters.end();) {
        if (!active.count(it->first) || !getsLetter(active[it->first]))
            it = s.letters.erase(it);
        else
            ++it;
    }
    std::vector<Drive> drives;
    Drive c;
    c.letter = 'C';
    c.root = "/";
    c.type = DRIVE_FIXED;
    if (active.count("/")) {
        c.device = active["/"].device;
        c.fsType = active["/"].fsType;
    }
    drives.push_back(c);
    for (const auto& mountPoint : order) {
        const MountEntry& e = active[mountPoint];
        if (!getsLetter(e))
            continue;
        if (!s.letters.count(mountPoint)) {
            char letter = 0;
            for (char l = 'D'; l <= 'Z' && !letter; ++l) {
                bool used = false;
                for (const auto& [_, taken] : s.letters)
                    used = used || taken == l;
                if (!used)
                    letter = l;
            }
            if (!letter)
                continue;  // more volumes than letters
            s.letters[mountPoint] = letter;
        }
        Drive d;
        d.letter = s.letters[mountPoint];
        d.root = mountPoint;
        d.device = e.device;
        d.fsType = e.fsType;
        d.type = typeOf(e, true);
        drives.push_back(d);
    }
    std::sort(drives.begin(), drives.end(), [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
    s.drives = drives;
    s.cached = true;
    return drives;
}

}  // namespace

std::vector<Drive> DriveMap::drives()
{
    return currentDrives();
}

Drive DriveMap::drive(char letter)
{
    letter = detail::upperAscii(letter);
    for (const auto& d : currentDrives())
        if (d.letter == letter)
            return d;
    return {};
}

Drive DriveMap::driveOfPosixPath(const std::string& path)
{
    Drive best;
    for (const auto& d : currentDrives()) {
        if ((path == d.root || isBelow(path, d.root)) && d.root.size() >= best.root.size())
            best = d;
    }
    return best;
}

}  // namespace platform
