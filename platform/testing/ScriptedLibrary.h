#pragma once
// A library loader for tests: only the libraries a test adds can be loaded, and their entries
// are whatever functions the test hands in. Records every call.

#include "platform/Library.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class ScriptedLibrary : public LibraryBackend {
public:
    // Makes `fileName` loadable (matched ignoring letter case, as Windows does) with exactly
    // these entries. Adding a name again replaces its entries.
    void AddLibrary(const std::string& fileName, std::map<std::string, FARPROC> entries);

    // Any function as an entry address.
    template <class Function> static FARPROC Entry(Function* function) {
        return reinterpret_cast<FARPROC>(function);
    }

    HMODULE Load(const char* fileName) override;
    FARPROC Lookup(HMODULE module, const char* procName) override;
    BOOL Free(HMODULE module) override;

    // The calls so far: "Load <name>", "Lookup <entry>", "Free <name>" (unknown names and
    // handles show as "?").
    std::vector<std::string> Calls() const;
    // Successful loads minus successful frees of that library.
    int OpenHandles(const std::string& fileName) const;

private:
    struct Module {
        std::string name;
        std::map<std::string, FARPROC> entries;
        int openCount = 0;
    };
    Module* Find(HMODULE module) const;
    Module* FindByName(const std::string& fileName) const;

    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Module>> modules_;
    std::vector<std::string> calls_;
};

} // namespace platform
