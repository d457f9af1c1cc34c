#include "analysis/VectorClones.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(_WIN32)

#include <cstdlib>
#include <cstring>

namespace darkfill {

bool ChooseAvx2Form()
{
    const char* form = std::getenv("DARKFILL_SIMD");
    if (form && std::strcmp(form, "plain") == 0)
        return false;
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

}  // namespace darkfill

#endif
