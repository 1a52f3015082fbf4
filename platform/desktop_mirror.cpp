// Which registry changes reach the desktop, and where their failures go.
#include "platform/desktop_mirror.h"

#include <mutex>

#include "platform/desktop.h"
#include "platform/internal.h"
#include "platform/platform.h"
#include "platform/registry_store.h"

namespace platform {
namespace {

thread_local std::string lastNotice;

struct Handler {
    std::mutex mutex;
    DesktopNoticeHandler handler;
};

Handler& noticeHandler()
{
    static Handler h;
    return h;
}

bool mirroring()
{
    if (overrides().desktopMirror)
        return *overrides().desktopMirror;
    return !overrides().registryFile;
}

bool is(const std::string& part, const char* name)
{
    return detail::equalsNoCase(part, name);
}

const std::string* defaultText(const RegistryKey* key)
{
    if (!key)
        return nullptr;
    const RegistryValue* v = key->value("");
    return v && (v->type == REG_SZ || v->type == REG_EXPAND_SZ) ? &v->data : nullptr;
}

// The file type of WAVE files: HKCR\.wav's default value.
std::string waveFileType(const RegistryTree& tree)
{
    const std::string* type = defaultText(tree.root(RegistryTree::ClassesRoot).subKey(".wav"));
    return type ? *type : std::string();
}

// Whether path lies on the way to HKCR\<type>\shell\events\command.
bool onVerbPath(const RegistryTree& tree, const std::vector<std::string>& path)
{
    static const char* const below[] = {"shell", "events", "command"};
    std::string type = waveFileType(tree);
    if (path.empty())
        return true;
    if (type.empty() || !detail::equalsNoCase(path[0], type) || path.size() > 4)
        return false;
    for (size_t i = 1; i < path.size(); ++i)
        if (!is(path[i], below[i - 1]))
            return false;
    return true;
}

}  // namespace

std::string lastDesktopNotice()
{
    return lastNotice;
}

DesktopNoticeHandler setDesktopNoticeHandler(DesktopNoticeHandler handler)
{
    Handler& h = noticeHandler();
    std::lock_guard lock(h.mutex);
    std::swap(h.handler, handler);
    return handler;
}

namespace desktop {

void report(const std::optional<std::string>& failure)
{
    lastNotice = failure.value_or(std::string());
    if (!failure)
        return;
    DesktopNoticeHandler handler;
    {
        Handler& h = noticeHandler();
        std::lock_guard lock(h.mutex);
        handler = h.handler;
    }
    if (handler)
        handler(*failure);
    else
        // A message box of the program when it shows windows (its title as
        // the caption), standard error otherwise.
        MessageBoxA(nullptr, failure->c_str(), "", MB_OK | MB_ICONWARNING);
}

void valueChanged(int root, const std::vector<std::string>& path)
{
    if (!mirroring())
        return;
    if (root == RegistryTree::ClassesRoot && (path.size() == 3 || path.size() == 4)) {
        std::optional<Verb> verb;
        bool relevant = false;
        RegistryStore::instance().read([&](const RegistryTree& tree) -> LONG {
            if (!onVerbPath(tree, path))
                return ERROR_SUCCESS;
            relevant = true;
            std::vector<std::string> events(path.begin(), path.begin() + 3);
            const RegistryKey* key = tree.find(root, events);
            const std::string* command = key ? defaultText(key->subKey("command")) : nullptr;
            if (command && !command->empty()) {
                const std::string* caption = defaultText(key);
                // The shell shows the key's name when it has no caption.
                verb = Verb{caption && !caption->empty() ? *caption : key->name, *command};
            }
            return ERROR_SUCCESS;
        });
        if (relevant)
            report(verb ? installVerb(*verb) : (verbInstalled() ? removeVerb() : std::nullopt));
        return;
    }
    if (root == RegistryTree::CurrentUser && path.size() == 6 && is(path[0], "AppEvents") && is(path[1], "Schemes") &&
        is(path[2], "Apps") && is(path[5], ".Current")) {
        if (soundNameOf(path[3], path[4]).empty())
            return;  // an event without a desktop counterpart stays in the registry
        std::string file;
        RegistryStore::instance().read([&](const RegistryTree& tree) -> LONG {
            if (const std::string* v = defaultText(tree.find(root, path)))
                file = *v;
            return ERROR_SUCCESS;
        });
        report(assignEventSound(path[3], path[4], file));
    }
}

LONG keyDeleted(int root, const std::vector<std::string>& path, bool keyStays, LONG rc)
{
    if (!mirroring() || root != RegistryTree::ClassesRoot)
        return rc;
    bool verbGoes = false;
    RegistryStore::instance().read([&](const RegistryTree& tree) -> LONG {
        if (rc == ERROR_FILE_NOT_FOUND)
            verbGoes = standsOnDesktop(tree, root, path);
        else if (rc == ERROR_SUCCESS)
            verbGoes = onVerbPath(tree, path) && !(keyStays && path.size() >= 4);
        return ERROR_SUCCESS;
    });
    if (!verbGoes || !verbInstalled())
        return rc;
    report(removeVerb());
    return ERROR_SUCCESS;
}

bool standsOnDesktop(const RegistryTree& tree, int root, const std::vector<std::string>& path)
{
    return mirroring() && root == RegistryTree::ClassesRoot && (path.size() == 2 || path.size() == 3) &&
           onVerbPath(tree, path) && verbInstalled();
}

}  // namespace desktop
}  // namespace platform
