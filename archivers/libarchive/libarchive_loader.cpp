// libarchive loaded on first use. The ZIP library decodes most entries
// itself; linking libarchive would load it, libxml2 and ICU into every
// process that only lists a ZIP file, which costs more than the listing.
// Linked before libarchive (with --as-needed), these definitions take the
// place of its functions; each forwards to the real one, loaded by dlopen
// when first called. When libarchive cannot be loaded, archive_read_new
// returns nullptr and the reader reports that; no other function is reached
// without a handle it returned.
#include <cstdarg>
#include <cstdio>
#include <archive.h>
#include <archive_entry.h>
#include <dlfcn.h>

#include <mutex>

namespace {

// Every libarchive function the readers call: result, name, parameters, arguments.
#define ARC_LIBARCHIVE_FUNCTIONS(X)                                                                                    \
    X(struct archive*, archive_read_new, (void), ())                                                                   \
    X(int, archive_read_free, (struct archive * a), (a))                                                               \
    X(int, archive_read_support_format_zip_seekable, (struct archive * a), (a))                                        \
    X(int, archive_read_support_format_cab, (struct archive * a), (a))                                                 \
    X(int, archive_read_support_format_tar, (struct archive * a), (a))                                                 \
    X(int, archive_read_support_format_cpio, (struct archive * a), (a))                                                \
    X(int, archive_read_support_format_ar, (struct archive * a), (a))                                                  \
    X(int, archive_read_support_format_rar5, (struct archive * a), (a))                                                \
    X(int, archive_read_support_format_7zip, (struct archive * a), (a))                                                \
    X(int, archive_read_support_format_raw, (struct archive * a), (a))                                                 \
    X(int, archive_read_support_filter_gzip, (struct archive * a), (a))                                                \
    X(int, archive_read_support_filter_bzip2, (struct archive * a), (a))                                               \
    X(int, archive_read_support_filter_compress, (struct archive * a), (a))                                            \
    X(int, archive_read_support_filter_xz, (struct archive * a), (a))                                                  \
    X(int, archive_read_support_filter_lzma, (struct archive * a), (a))                                                \
    X(int, archive_read_support_filter_zstd, (struct archive * a), (a))                                                \
    X(int, archive_read_support_filter_rpm, (struct archive * a), (a))                                                 \
    X(int, archive_read_open_filename, (struct archive * a, const char* name, size_t block), (a, name, block))         \
    X(int, archive_read_next_header, (struct archive * a, struct archive_entry * *e), (a, e))                          \
    X(int, archive_read_data_block, (struct archive * a, const void** buf, size_t* size, la_int64_t* offset),          \
      (a, buf, size, offset))                                                                                          \
    X(int, archive_errno, (struct archive * a), (a))                                                                   \
    X(const char*, archive_error_string, (struct archive * a), (a))                                                    \
    X(int, archive_format, (struct archive * a), (a))                                                                  \
    X(int, archive_filter_count, (struct archive * a), (a))                                                            \
    X(int, archive_filter_code, (struct archive * a, int n), (a, n))                                                   \
    X(const char*, archive_entry_pathname, (struct archive_entry * e), (e))                                            \
    X(const char*, archive_entry_hardlink, (struct archive_entry * e), (e))                                            \
    X(__LA_MODE_T, archive_entry_filetype, (struct archive_entry * e), (e))                                            \
    X(__LA_MODE_T, archive_entry_perm, (struct archive_entry * e), (e))                                                \
    X(la_int64_t, archive_entry_size, (struct archive_entry * e), (e))                                                 \
    X(int, archive_entry_size_is_set, (struct archive_entry * e), (e))                                                 \
    X(time_t, archive_entry_mtime, (struct archive_entry * e), (e))                                                    \
    X(int, archive_entry_mtime_is_set, (struct archive_entry * e), (e))                                                \
    X(int, archive_entry_is_encrypted, (struct archive_entry * e), (e))                                                \
    X(int, archive_entry_sparse_count, (struct archive_entry * e), (e))                                                \
    X(int, archive_read_open,                                                                                          \
      (struct archive * a, void* data, archive_open_callback* open, archive_read_callback* read,                       \
       archive_close_callback* close),                                                                                 \
      (a, data, open, read, close))                                                                                    \
    X(int, archive_read_open1, (struct archive * a), (a))                                                              \
    X(int, archive_read_set_callback_data, (struct archive * a, void* data), (a, data))                                \
    X(int, archive_read_set_read_callback, (struct archive * a, archive_read_callback * read), (a, read))              \
    X(int, archive_read_set_skip_callback, (struct archive * a, archive_skip_callback * skip), (a, skip))              \
    X(int, archive_read_set_seek_callback, (struct archive * a, archive_seek_callback * seek), (a, seek))              \
    X(la_int64_t, archive_filter_bytes, (struct archive * a, int n), (a, n))                                           \
    X(int, archive_read_support_format_zip_streamable, (struct archive * a), (a))

struct Functions {
#define ARC_POINTER(result, name, params, args) result(*name) params = nullptr;
    ARC_LIBARCHIVE_FUNCTIONS(ARC_POINTER)
#undef ARC_POINTER
    // Variadic, so forwarded by hand below.
    void (*archive_set_error)(struct archive*, int, const char*, ...) = nullptr;
    bool loaded = false;
};

const Functions& libarchive()
{
    static Functions f;
    static std::once_flag once;
    std::call_once(once, [] {
        void* h = dlopen("libarchive.so.13", RTLD_NOW | RTLD_LOCAL);
        if (!h)
            h = dlopen("libarchive.so", RTLD_NOW | RTLD_LOCAL);
        if (!h)
            return;
        bool all = true;
#define ARC_RESOLVE(result, name, params, args)                                                                        \
    f.name = reinterpret_cast<result(*) params>(dlsym(h, #name));                                                      \
    all = all && f.name != nullptr;
        ARC_LIBARCHIVE_FUNCTIONS(ARC_RESOLVE)
#undef ARC_RESOLVE
        f.archive_set_error =
            reinterpret_cast<void (*)(struct archive*, int, const char*, ...)>(dlsym(h, "archive_set_error"));
        all = all && f.archive_set_error != nullptr;
        f.loaded = all;  // the handle stays open for the life of the process
    });
    return f;
}

template <class T> T none()
{
    return T{};
}

}  // namespace

#define ARC_FORWARD(result, name, params, args)                                                                        \
    result name params                                                                                                 \
    {                                                                                                                  \
        const Functions& f = libarchive();                                                                             \
        return f.loaded ? f.name args : none<result>();                                                                \
    }
ARC_LIBARCHIVE_FUNCTIONS(ARC_FORWARD)
#undef ARC_FORWARD

void archive_set_error(struct archive* a, int code, const char* format, ...)
{
    const Functions& f = libarchive();
    if (!f.loaded)
        return;
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    f.archive_set_error(a, code, "%s", text);
}
