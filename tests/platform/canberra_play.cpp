// Plays one event sound of a theme with libcanberra and prints the result
// code: the desktop's lookup, in a process of its own so that libcanberra's
// lookup cache (kept open by a process) never answers for a theme that has
// changed since.
#include <canberra.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace {

struct Done {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
};

void finished(ca_context*, uint32_t, int, void* data)
{
    auto* d = static_cast<Done*>(data);
    std::lock_guard lock(d->mutex);
    d->done = true;
    d->cv.notify_all();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    ca_context* context = nullptr;
    ca_context_create(&context);
    ca_context_set_driver(context, "alsa");
    ca_proplist* props = nullptr;
    ca_proplist_create(&props);
    ca_proplist_sets(props, CA_PROP_EVENT_ID, argv[1]);
    ca_proplist_sets(props, CA_PROP_CANBERRA_XDG_THEME_NAME, argv[2]);
    Done done;
    int rc = ca_context_play_full(context, 1, props, finished, &done);
    if (rc == CA_SUCCESS) {
        // Destroying the context while the sound plays races its thread.
        std::unique_lock lock(done.mutex);
        done.cv.wait_for(lock, std::chrono::seconds(10), [&] { return done.done; });
    }
    ca_proplist_destroy(props);
    ca_context_destroy(context);
    std::printf("%d\n", rc);
    return 0;
}
