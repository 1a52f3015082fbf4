// The entry the platform looks up after loading this library on the first
// sound: the player on this machine's sound server, or its sound card.
#include "platform/sound/sound_player.h"

extern "C" __attribute__((visibility("default"))) void
tidebellMakeSoundService(std::shared_ptr<platform::SoundService>* service)
{
    *service = platform::makeSystemSoundService();
}
