// The few GIO functions the desktop mirroring uses (settings and a signal on
// the session bus), loaded when first needed. Linking GIO would load it,
// GLib and their dependencies into every process that loads the platform,
// the archiver libraries' command-line users among them, for a mirroring
// most of them never do.
#pragma once

#include <gio/gio.h>

namespace platform::desktop {

struct GioFunctions {
    decltype(&::g_app_info_get_default_for_type) app_info_get_default_for_type;
    decltype(&::g_app_info_get_id) app_info_get_id;
    decltype(&::g_cancellable_cancel) cancellable_cancel;
    decltype(&::g_cancellable_new) cancellable_new;
    decltype(&::g_dbus_address_get_for_bus_sync) dbus_address_get_for_bus_sync;
    decltype(&::g_dbus_connection_close_sync) dbus_connection_close_sync;
    decltype(&::g_dbus_connection_emit_signal) dbus_connection_emit_signal;
    decltype(&::g_dbus_connection_flush_sync) dbus_connection_flush_sync;
    decltype(&::g_dbus_connection_new_for_address_sync) dbus_connection_new_for_address_sync;
    decltype(&::g_free) free;
    decltype(&::g_object_unref) object_unref;
    decltype(&::g_settings_get_string) settings_get_string;
    decltype(&::g_settings_get_user_value) settings_get_user_value;
    decltype(&::g_settings_new_full) settings_new_full;
    decltype(&::g_settings_reset) settings_reset;
    decltype(&::g_settings_schema_has_key) settings_schema_has_key;
    decltype(&::g_settings_schema_source_get_default) settings_schema_source_get_default;
    decltype(&::g_settings_schema_source_lookup) settings_schema_source_lookup;
    decltype(&::g_settings_schema_unref) settings_schema_unref;
    decltype(&::g_settings_set_string) settings_set_string;
    decltype(&::g_settings_sync) settings_sync;
    decltype(&::g_variant_new_array) variant_new_array;
    decltype(&::g_variant_new_dict_entry) variant_new_dict_entry;
    decltype(&::g_variant_new_fixed_array) variant_new_fixed_array;
    decltype(&::g_variant_new_string) variant_new_string;
    decltype(&::g_variant_new_tuple) variant_new_tuple;
    decltype(&::g_variant_unref) variant_unref;
};

// Null when GIO cannot be loaded; the library then stays loaded for the
// life of the process.
const GioFunctions* gio();

}  // namespace platform::desktop
