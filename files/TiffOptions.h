#pragma once

#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>

// What the TIFF reader and writer give libtiff alike: handlers that keep its
// first error for our message and drop its warnings, so that it never prints;
// and the procedures of a file that is not mapped and needs no closing.

namespace darkfill::files {

using TiffOpenOptions = std::unique_ptr<TIFFOpenOptions, decltype(&TIFFOpenOptionsFree)>;

// Options whose error handler keeps libtiff's first message in `first`.
inline TiffOpenOptions KeepingFirstError(std::string& first)
{
    TiffOpenOptions options(TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
    TIFFOpenOptionsSetErrorHandlerExtR(
        options.get(),
        [](TIFF*, void* user, const char*, const char* format, va_list arguments) {
            auto& kept = *static_cast<std::string*>(user);
            if (kept.empty()) {
                char text[512];
                std::vsnprintf(text, sizeof text, format, arguments);
                kept = text;
            }
            return 1;
        },
        &first);
    TIFFOpenOptionsSetWarningHandlerExtR(
        options.get(), [](TIFF*, void*, const char*, const char*, va_list) { return 1; }, nullptr);
    return options;
}

inline int CloseNothing(thandle_t)
{
    return 0;
}

inline int NoMapping(thandle_t, void**, toff_t*)
{
    return 0;
}

inline void NoUnmapping(thandle_t, void*, toff_t) {}

}  // namespace darkfill::files
