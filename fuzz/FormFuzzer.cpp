// Any bytes as a form description stream: the reader answers with a form or an
// Exception, and never reads past the end.

#include "framework/core/Exception.h"
#include "framework/forms/FormStream.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        ReadFormStream(data, size, "FUZZ");
    } catch (const Exception&) {
    }
    return 0;
}
