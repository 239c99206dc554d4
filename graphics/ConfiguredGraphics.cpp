// Pictures and files named by configuration entries: an entry's "item" (or the field a key
// names) is the resource name, its "type" the resource type, both in the program's own module.

#include "config/OEUnitConfig.h"
#include "graphics/OEUnitResource.h"
#include "platform/ModuleResources.h"

ConfiguredResource LookUpConfiguredResource(TOEConfiger& configer, const std::string& path,
                                            const std::string& key, bool indexed) {
    auto read = [&](const std::string& at) {
        return indexed ? configer.ReadTextIndexed(at, '#') : configer.ReadText(at, '#');
    };
    std::string field = key.empty() ? std::string("#item") : key[0] == '#' ? key : "#" + key;
    return {read(path + field), read(path + "#type")};
}

namespace {

ConfiguredResource LookUp(const std::string& path, const std::string& key, bool indexed) {
    return LookUpConfiguredResource(ConfigerInstance(), path, key, indexed);
}

} // namespace

const TGraphic& TOEResource::LoadConfiguredGraphic(const std::string& path, const std::string& key,
                                                   bool indexed) {
    ConfiguredResource resource = LookUp(path, key, indexed);
    return LoadResourceGraphic(GetModuleHandleA(nullptr), resource.name, resource.type);
}

std::string TOEResource::ExtractConfiguredFile(const std::string& path, const std::string& key,
                                               bool indexed) {
    ConfiguredResource resource = LookUp(path, key, indexed);
    return ExtractResourceToFile(GetModuleHandleA(nullptr), resource.name, resource.type);
}
