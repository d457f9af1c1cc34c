#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Named blocks of bytes built into the program (form descriptions, the icon). The
// build puts each into Qt's resource system under ResourcePrefix; a resource is
// found by its bare name ("TFORM1", "MAINICON").
inline constexpr const char* ResourcePrefix = ":/resources/";

// The bytes of the named resource, if the program carries it; a replacement
// that is alive takes the place of the built-in resource.
std::optional<std::vector<std::uint8_t>> LookupResource(const std::string& name);

// Puts other bytes in the place of a named resource while it lives, for data
// that a program makes as it runs (a test's damaged form description, say).
class ResourceReplacement
{
public:
    ResourceReplacement(std::string name, std::vector<std::uint8_t> bytes);
    ~ResourceReplacement();
    ResourceReplacement(const ResourceReplacement&) = delete;
    ResourceReplacement& operator=(const ResourceReplacement&) = delete;

private:
    std::string name_;
};
