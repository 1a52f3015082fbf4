#include "sound_events/event_scheme.h"

#include <vector>

namespace tidebell {

namespace {

const std::string kApps = "\\AppEvents\\Schemes\\Apps";
const std::string kLabels = "\\AppEvents\\EventLabels\\";

}  // namespace

std::string EventLabelOf(TRegistry& registry, const std::string& eventKey)
{
    if (registry.openKey(kLabels + eventKey, false)) {
        return registry.readString("");
    }
    return eventKey;
}

bool walkSoundEvents(TRegistry& registry, const SoundEventWalk& walk)
{
    if (!registry.openKey(kApps, false)) {
        return false;
    }
    const std::vector<std::string> apps = registry.getKeyNames();
    for (const std::string& app : apps) {
        std::string displayName;
        std::vector<std::string> events;
        // An application key that vanished since the listing has neither a
        // name nor events; the open key must not stand in for it.
        if (registry.openKey(kApps + "\\" + app, false)) {
            displayName = registry.readString("");
            events = registry.getKeyNames();
        }
        if (walk.application) {
            walk.application(app, displayName);
        }
        for (const std::string& event : events) {
            const std::string label = EventLabelOf(registry, event);
            if (walk.event && !walk.event(app, event, label)) {
                registry.closeKey();
                return true;
            }
        }
        if (walk.applicationDone) {
            walk.applicationDone();
        }
    }
    registry.closeKey();
    return true;
}

bool assignSoundEvent(TRegistry& registry, const std::string& label, const std::string& soundFile)
{
    bool written = false;
    SoundEventWalk walk;
    walk.event = [&](const std::string& app, const std::string& event, const std::string& eventLabel) {
        if (eventLabel != label) {
            return true;
        }
        if (registry.openKey(kApps + "\\" + app + "\\" + event + "\\.Current", true)) {
            registry.writeString("", soundFile);
            written = true;
        }
        return false;
    };
    walkSoundEvents(registry, walk);
    registry.closeKey();
    return written;
}

}  // namespace tidebell
