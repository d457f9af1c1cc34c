#include "files/ForeignPlugin.h"

#include <dlfcn.h>

namespace darkfill::files {

const ForeignReader* LoadForeignReader(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths) {
        void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library)
            continue;
        using Entry = const ForeignReader* (*)();
        if (const auto entry = reinterpret_cast<Entry>(::dlsym(library, ForeignReaderEntry)))
            return entry();
        ::dlclose(library);
    }
    return nullptr;
}

}  // namespace darkfill::files
