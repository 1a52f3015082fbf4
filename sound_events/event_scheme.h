// The desktop's sound events as the per-user registry lists them:
// HKEY_CURRENT_USER\AppEvents\Schemes\Apps\<app>\<event>, with labels under
// AppEvents\EventLabels. No widgets here.
#pragma once

#include <functional>
#include <string>

#include "core/registry.h"

namespace tidebell {

// The label of an event: the default value of AppEvents\EventLabels\<event>
// when that key opens (empty when it has none), else the event key name.
std::string EventLabelOf(TRegistry& registry, const std::string& eventKey);

// What a walk over the scheme reports, in registry enumeration order.
struct SoundEventWalk {
    std::function<void(const std::string& appKey, const std::string& displayName)> application;
    // Answers false to stop the walk.
    std::function<bool(const std::string& appKey, const std::string& eventKey, const std::string& label)> event;
    std::function<void()> applicationDone;
};

// Walks every application and its events; the registry object's current key
// is closed afterwards. False when AppEvents\Schemes\Apps did not open.
// Registry errors (a value of the wrong type) end the walk by exception.
bool walkSoundEvents(TRegistry& registry, const SoundEventWalk& walk);

// Writes `soundFile` as the current sound of the first event, in enumeration
// order, whose label equals `label` exactly, creating its ".Current" key when
// missing. False when no label matched or the key could not be opened.
bool assignSoundEvent(TRegistry& registry, const std::string& label, const std::string& soundFile);

}  // namespace tidebell
