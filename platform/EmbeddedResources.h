#pragma once
// The table of resources built into the program: every file resources/<NAME>.<TYPE> becomes
// one entry. tools/ generates the definition of EmbeddedResourceTable (library
// tm_resource_data); only the module-resource backend reads it.

#include <cstddef>
#include <span>

struct EmbeddedResource {
    const char* name;
    const char* type;
    const unsigned char* data;
    std::size_t size;
};

std::span<const EmbeddedResource> EmbeddedResourceTable();
