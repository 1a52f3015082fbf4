#include "options/shell_verb.h"

#include <vector>

#include "core/exceptions.h"
#include "platform/win32.h"

namespace tidebell {

namespace {

// A verb key that cannot be made is a failure the user must hear of: the
// box would otherwise claim a verb that is not there.
void openCreating(TRegistry& registry, const std::string& key)
{
    if (!registry.openKey(key, true)) {
        throw ERegistryException(formatMessage("キー '%s' を作成できません", key.substr(1)));
    }
}

}  // namespace

std::string verbCommandLine(const std::string& executablePath)
{
    return "\"" + executablePath + "\" \"%1\"";
}

std::string runningExecutablePath()
{
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length < buffer.size()) {
            return std::string(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::string> wavFileType(TRegistry& classesRoot)
{
    if (!classesRoot.openKey("\\.wav", false)) {
        return std::nullopt;
    }
    std::string type = classesRoot.readString("");
    classesRoot.closeKey();
    // Without a type name the verb's path would start at the root of all
    // file types.
    if (type.empty()) {
        return std::nullopt;
    }
    return type;
}

bool hasEventsVerb(TRegistry& classesRoot, const std::string& fileType)
{
    if (!classesRoot.openKey("\\" + fileType + "\\shell\\events", false)) {
        return false;
    }
    classesRoot.closeKey();
    return true;
}

void writeEventsVerb(TRegistry& classesRoot, const std::string& fileType, const std::string& executablePath)
{
    const std::string verb = "\\" + fileType + "\\shell\\events";
    openCreating(classesRoot, verb);
    classesRoot.writeString("", kVerbCaption);
    classesRoot.closeKey();
    openCreating(classesRoot, verb + "\\command");
    classesRoot.writeString("", verbCommandLine(executablePath));
    classesRoot.closeKey();
}

void removeEventsVerb(TRegistry& classesRoot, const std::string& fileType)
{
    if (!classesRoot.openKey("\\" + fileType + "\\shell", false)) {
        return;
    }
    classesRoot.deleteKey("events");
    classesRoot.closeKey();
}

}  // namespace tidebell
