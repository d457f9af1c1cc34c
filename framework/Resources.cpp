#include "Resources.h"

#include <map>

namespace {

std::map<std::string, std::span<const std::uint8_t>>& Registry()
{
    static std::map<std::string, std::span<const std::uint8_t>> registry;
    return registry;
}

}  // namespace

ResourceRegistration::ResourceRegistration(const char* name, const std::uint8_t* data, std::size_t size)
{
    Registry()[name] = std::span<const std::uint8_t>(data, size);
}

std::optional<std::span<const std::uint8_t>> LookupResource(const std::string& name)
{
    const auto found = Registry().find(name);
    if (found == Registry().end())
        return std::nullopt;
    return found->second;
}
