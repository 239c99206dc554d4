// The program's own module: its resources are the table generated at build time.

#include "platform/EmbeddedResources.h"
#include "platform/ModuleResources.h"

namespace platform {

namespace {

// Any distinct address serves as the handle; nothing ever dereferences it.
char ownModuleTag;

class EmbeddedModuleResources : public ModuleResourceBackend {
public:
    explicit EmbeddedModuleResources(ResourceTableFunction table) : table_(table) {}

    HMODULE OwnModule() override { return &ownModuleTag; }

    const EmbeddedResource* Find(HMODULE module, const char* name, const char* type) override {
        if (module != nullptr && module != OwnModule()) {
            return nullptr;
        }
        for (const EmbeddedResource& entry : table_()) {
            if (SameResourceName(entry.name, name) && SameResourceName(entry.type, type)) {
                return &entry;
            }
        }
        return nullptr;
    }

private:
    ResourceTableFunction table_;
};

} // namespace

std::unique_ptr<ModuleResourceBackend> MakeEmbeddedModuleResources() {
    return MakeEmbeddedModuleResources(&EmbeddedResourceTable);
}

std::unique_ptr<ModuleResourceBackend> MakeEmbeddedModuleResources(ResourceTableFunction table) {
    return std::make_unique<EmbeddedModuleResources>(table);
}

} // namespace platform
