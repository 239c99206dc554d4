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
TPicturePrefetch::Decoded Decode(const std::vector<std::string>& pictures,
                                 const std::vector<std::string>& graphics, bool pack) {
    TPicturePrefetch::Decoded decoded;
    try {
        TOEConfiger configuration;
        std::span<const unsigned char> text = ResourceBytes("CFG_0001", "CFG");
        if (text.empty() || !configuration.LoadText(std::string_view(
                                reinterpret_cast<const char*>(text.data()), text.size()))) {
            return decoded;
        }
        const auto decode = [&](const std::string& path, auto&& keep) {
            const ConfiguredResource resource =
                LookUpConfiguredResource(configuration, path, "", false);
            std::span<const unsigned char> bytes = ResourceBytes(resource.name, resource.type);
            try {
                if (!bytes.empty()) {
                    keep(DecodeGraphicNamed(bytes, "~qv.tmp." + resource.type));
                }
            } catch (...) {
                // Loaded again by the window, which reports what is wrong with it.
            }
        };
        for (const std::string& path : pictures) {
            decode(path, [&](TGraphic&& graphic) {
                decoded.pictures[path] = PaintedPicture(std::move(graphic), pack);
            });
        }
        for (const std::string& path : graphics) {
            decode(path, [&](TGraphic&& graphic) { decoded.graphics[path] = std::move(graphic); });
        }
    } catch (...) {
        // Likewise: the window reads the configuration itself and reports it.
    }
    return decoded;
}

} // namespace

TPicturePrefetch::TPicturePrefetch(std::vector<std::string> pictures,
                                   std::vector<std::string> graphics, bool pack)
    : thread_([this, pictures = std::move(pictures), graphics = std::move(graphics), pack] {
          decoded_ = Decode(pictures, graphics, pack);
      }) {}

TPicturePrefetch::~TPicturePrefetch() {
    Join();
}

void TPicturePrefetch::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

namespace {

template <class Value>
std::optional<Value> TakeFrom(std::map<std::string, Value>& decoded, const std::string& path) {
    auto found = decoded.find(path);
    if (found == decoded.end()) {
        return std::nullopt;
    }
    std::optional<Value> taken(std::move(found->second));
    decoded.erase(found);
    return taken;
}

} // namespace

std::optional<TPaintedPicture> TPicturePrefetch::Take(const std::string& path) {
    Join();
    return TakeFrom(decoded_.pictures, path);
}

std::optional<TGraphic> TPicturePrefetch::TakeGraphic(const std::string& path) {
    Join();
    return TakeFrom(decoded_.graphics, path);
}
