#include "analysis/VectorForms.h"

#if defined(DARKFILL_AVX2_FORM)

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
