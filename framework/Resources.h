#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Named blocks of bytes built into the program (form descriptions, the icon).
// The build turns each file into a source that registers it while the program starts.
class ResourceRegistration
{
public:
    ResourceRegistration(const char* name, const std::uint8_t* data, std::size_t size);
};

// The bytes of the named resource, if the program carries it.
std::optional<std::span<const std::uint8_t>> LookupResource(const std::string& name);
