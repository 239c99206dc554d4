#include "platform/testing/ScriptedLibrary.h"

#include <algorithm>
#include <cctype>

namespace platform {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

void ScriptedLibrary::AddLibrary(const std::string& fileName,
                                 std::map<std::string, FARPROC> entries) {
    std::lock_guard lock(mutex_);
    if (Module* existing = FindByName(fileName)) {
        existing->entries = std::move(entries);
        return;
    }
    auto module = std::make_unique<Module>();
    module->name = fileName;
    module->entries = std::move(entries);
    modules_.push_back(std::move(module));
}

HMODULE ScriptedLibrary::Load(const char* fileName) {
    std::lock_guard lock(mutex_);
    const std::string name = fileName != nullptr ? fileName : "";
    calls_.push_back("Load " + name);
    Module* module = FindByName(name);
    if (module == nullptr) {
        return nullptr;
    }
    ++module->openCount;
    return module;
}

FARPROC ScriptedLibrary::Lookup(HMODULE module, const char* procName) {
    std::lock_guard lock(mutex_);
    const std::string name = procName != nullptr ? procName : "?";
    calls_.push_back("Lookup " + name);
    const Module* found = Find(module);
    if (found == nullptr || found->openCount == 0) {
        return nullptr;
    }
    // Entry names are exact, as GetProcAddress's are.
    const auto entry = found->entries.find(name);
    return entry == found->entries.end() ? nullptr : entry->second;
}

BOOL ScriptedLibrary::Free(HMODULE module) {
    std::lock_guard lock(mutex_);
    Module* found = Find(module);
    calls_.push_back("Free " + (found != nullptr ? found->name : std::string("?")));
    if (found == nullptr || found->openCount == 0) {
        return 0;
    }
    --found->openCount;
    return 1;
}

std::vector<std::string> ScriptedLibrary::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

int ScriptedLibrary::OpenHandles(const std::string& fileName) const {
    std::lock_guard lock(mutex_);
    const Module* module = FindByName(fileName);
    return module != nullptr ? module->openCount : 0;
}

ScriptedLibrary::Module* ScriptedLibrary::Find(HMODULE module) const {
    for (const auto& candidate : modules_) {
        if (candidate.get() == module) {
            return candidate.get();
        }
    }
    return nullptr;
}

ScriptedLibrary::Module* ScriptedLibrary::FindByName(const std::string& fileName) const {
    for (const auto& candidate : modules_) {
        if (Lower(candidate->name) == Lower(fileName)) {
            return candidate.get();
        }
    }
    return nullptr;
}

} // namespace platform
