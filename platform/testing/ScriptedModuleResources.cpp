#include "platform/testing/ScriptedModuleResources.h"

namespace platform::testing {

void ScriptedModuleResources::Add(const std::string& name, const std::string& type,
                                  std::vector<unsigned char> bytes) {
    Stored& stored = stored_.emplace_back(Stored{name, type, std::move(bytes), {}});
    stored.entry = {stored.name.c_str(), stored.type.c_str(), stored.bytes.data(),
                    stored.bytes.size()};
}

const EmbeddedResource* ScriptedModuleResources::Find(HMODULE module, const char* name,
                                                      const char* type) {
    lookups.emplace_back(name);
    if (module != nullptr && module != OwnModule()) {
        return nullptr;
    }
    for (const Stored& stored : stored_) {
        if (SameResourceName(stored.entry.name, name) &&
            SameResourceName(stored.entry.type, type)) {
            return &stored.entry;
        }
    }
    return nullptr;
}

} // namespace platform::testing
