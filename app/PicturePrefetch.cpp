#include "app/PicturePrefetch.h"

#include "config/OEUnitConfig.h"
#include "graphics/OEUnitResource.h"
#include "platform/ModuleResources.h"

#include <span>
#include <string_view>

namespace {

std::span<const unsigned char> ResourceBytes(const std::string& name, const std::string& type) {
    HMODULE own = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(own, name.c_str(), type.c_str());
    if (resource == nullptr) {
        return {};
    }
    const auto* bytes =
        static_cast<const unsigned char*>(LockResource(LoadResource(own, resource)));
    return bytes != nullptr ? std::span(bytes, SizeofResource(own, resource))
                            : std::span<const unsigned char>();
}

// The same resources, read the same way, as the window's loader would decode for these entries.
std::map<std::string, TPaintedPicture> Decode(const std::vector<std::string>& paths) {
    std::map<std::string, TPaintedPicture> decoded;
    try {
        TOEConfiger configuration;
        std::span<const unsigned char> text = ResourceBytes("CFG_0001", "CFG");
        if (text.empty() || !configuration.LoadText(std::string_view(
                                reinterpret_cast<const char*>(text.data()), text.size()))) {
            return decoded;
        }
        for (const std::string& path : paths) {
            const ConfiguredResource resource =
                LookUpConfiguredResource(configuration, path, "", false);
            std::span<const unsigned char> bytes = ResourceBytes(resource.name, resource.type);
            try {
                if (!bytes.empty()) {
                    decoded[path] =
                        PaintedPicture(DecodeGraphicNamed(bytes, "~qv.tmp." + resource.type));
                }
            } catch (...) {
                // Loaded again by the window, which reports what is wrong with it.
            }
        }
    } catch (...) {
        // Likewise: the window reads the configuration itself and reports it.
    }
    return decoded;
}

} // namespace

TPicturePrefetch::TPicturePrefetch(std::vector<std::string> paths)
    : thread_([this, paths = std::move(paths)] { decoded_ = Decode(paths); }) {}

TPicturePrefetch::~TPicturePrefetch() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::optional<TPaintedPicture> TPicturePrefetch::Take(const std::string& path) {
    if (thread_.joinable()) {
        thread_.join();
    }
    auto found = decoded_.find(path);
    if (found == decoded_.end()) {
        return std::nullopt;
    }
    std::optional<TPaintedPicture> taken(std::move(found->second));
    decoded_.erase(found);
    return taken;
}
