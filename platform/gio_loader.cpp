#include "platform/gio_loader.h"

#include <dlfcn.h>

#include <mutex>

namespace platform::desktop {
namespace {

template <typename F> bool resolve(void* library, const char* name, F& function)
{
    function = reinterpret_cast<F>(::dlsym(library, name));
    return function != nullptr;
}

}  // namespace

const GioFunctions* gio()
{
    static GioFunctions functions;
    static bool loaded = false;
    static std::once_flag once;
    std::call_once(once, [] {
        void* library = ::dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return;
        GioFunctions& f = functions;
        // dlsym on the library's handle also finds what GLib and GObject,
        // its dependencies, define.
        loaded = resolve(library, "g_app_info_get_default_for_type", f.app_info_get_default_for_type) &&
                 resolve(library, "g_app_info_get_id", f.app_info_get_id) &&
                 resolve(library, "g_cancellable_cancel", f.cancellable_cancel) &&
                 resolve(library, "g_cancellable_new", f.cancellable_new) &&
                 resolve(library, "g_dbus_address_get_for_bus_sync", f.dbus_address_get_for_bus_sync) &&
                 resolve(library, "g_dbus_connection_close_sync", f.dbus_connection_close_sync) &&
                 resolve(library, "g_dbus_connection_emit_signal", f.dbus_connection_emit_signal) &&
                 resolve(library, "g_dbus_connection_flush_sync", f.dbus_connection_flush_sync) &&
                 resolve(library, "g_dbus_connection_new_for_address_sync", f.dbus_connection_new_for_address_sync) &&
                 resolve(library, "g_free", f.free) && resolve(library, "g_object_unref", f.object_unref) &&
                 resolve(library, "g_settings_get_string", f.settings_get_string) &&
                 resolve(library, "g_settings_get_user_value", f.settings_get_user_value) &&
                 resolve(library, "g_settings_new_full", f.settings_new_full) &&
                 resolve(library, "g_settings_reset", f.settings_reset) &&
                 resolve(library, "g_settings_schema_has_key", f.settings_schema_has_key) &&
                 resolve(library, "g_settings_schema_source_get_default", f.settings_schema_source_get_default) &&
                 resolve(library, "g_settings_schema_source_lookup", f.settings_schema_source_lookup) &&
                 resolve(library, "g_settings_schema_unref", f.settings_schema_unref) &&
                 resolve(library, "g_settings_set_string", f.settings_set_string) &&
                 resolve(library, "g_settings_sync", f.settings_sync) &&
                 resolve(library, "g_variant_new_array", f.variant_new_array) &&
                 resolve(library, "g_variant_new_dict_entry", f.variant_new_dict_entry) &&
                 resolve(library, "g_variant_new_fixed_array", f.variant_new_fixed_array) &&
                 resolve(library, "g_variant_new_string", f.variant_new_string) &&
                 resolve(library, "g_variant_new_tuple", f.variant_new_tuple) &&
                 resolve(library, "g_variant_unref", f.variant_unref);
    });
    return loaded ? &functions : nullptr;
}

}  // namespace platform::desktop
