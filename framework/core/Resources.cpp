#include "framework/core/Resources.h"

#include <QFile>
#include <QString>

#include <map>

namespace {

std::map<std::string, std::vector<std::uint8_t>>& Replacements()
{
    static std::map<std::string, std::vector<std::uint8_t>> replacements;
    return replacements;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> LookupResource(const std::string& name)
{
    const auto replaced = Replacements().find(name);
    if (replaced != Replacements().end())
        return replaced->second;
    QFile file(QString::fromLatin1(ResourcePrefix) + QString::fromStdString(name));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

ResourceReplacement::ResourceReplacement(std::string name, std::vector<std::uint8_t> bytes) : name_(std::move(name))
{
    Replacements()[name_] = std::move(bytes);
}

ResourceReplacement::~ResourceReplacement()
{
    Replacements().erase(name_);
}
