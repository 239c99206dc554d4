#pragma once
// A module whose resources a test writes itself: a few small fixtures instead of the
// program's built-in table.

#include "platform/EmbeddedResources.h"
#include "platform/ModuleResources.h"

#include <deque>
#include <string>
#include <vector>

namespace platform::testing {

class ScriptedModuleResources : public ModuleResourceBackend {
public:
    void Add(const std::string& name, const std::string& type, std::vector<unsigned char> bytes);
    void Add(const std::string& name, const std::string& type, const std::string& bytes) {
        Add(name, type, std::vector<unsigned char>(bytes.begin(), bytes.end()));
    }

    HMODULE OwnModule() override { return &tag_; }
    const EmbeddedResource* Find(HMODULE module, const char* name, const char* type) override;

    // Every name asked for, in order.
    std::vector<std::string> lookups;

private:
    struct Stored {
        std::string name;
        std::string type;
        std::vector<unsigned char> bytes;
        EmbeddedResource entry;
    };
    char tag_ = 0;
    std::deque<Stored> stored_; // a deque keeps the entries where they are as fixtures are added
};

} // namespace platform::testing
