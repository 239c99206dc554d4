#include "DeviceTestSupport.h"

#include "engine/DeviceLibrary.h"
#include "platform/Library.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace device_tests {

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) {
        previous_ = old;
    }
    if (value) {
        setenv(name_.c_str(), value->c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

ScopedEnv::~ScopedEnv() {
    if (previous_) {
        setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

RealAudioManager::RealAudioManager() {
    const DeviceLibrary library = LoadDeviceLibrary();
    handle = library.LibraryHandle;
    check = library.CheckDeviceProblem;
    query = library.QueryDeviceHwids;
    if (handle == nullptr) {
        throw std::runtime_error("the built tmaudiomanager library could not be loaded");
    }
}

RealAudioManager::~RealAudioManager() {
    FreeLibrary(handle);
}

std::string SourceDir() {
    const char* dir = std::getenv("TONEMENDER_SOURCE_DIR");
    if (dir == nullptr) {
        throw std::runtime_error("TONEMENDER_SOURCE_DIR is not set");
    }
    return dir;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string& path, const std::string& content) {
    MakeFolders(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

void MakeFolders(const std::string& path) {
    std::filesystem::create_directories(path);
}

void MakeLink(const std::string& target, const std::string& link) {
    MakeFolders(std::filesystem::path(link).parent_path());
    std::filesystem::create_symlink(target, link);
}

std::string Narrow(std::u16string_view text) {
    std::string narrow;
    for (char16_t c : text) {
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return narrow;
}

FakeSysfs::FakeSysfs() : dir_("tm-sysfs") {}

std::string FakeSysfs::AddDevice(const std::string& bus, const std::string& path) {
    const std::string device = Root() + "/devices/" + path;
    MakeFolders(device);
    const std::string name = std::filesystem::path(path).filename();
    MakeLink("../../../devices/" + path, Root() + "/bus/" + bus + "/devices/" + name);
    return device;
}

void FakeSysfs::Attribute(const std::string& device, const std::string& name,
                          const std::string& value) {
    WriteFile(device + "/" + name, value + "\n");
}

void FakeSysfs::BindDriver(const std::string& bus, const std::string& device,
                           const std::string& driver) {
    MakeFolders(Root() + "/bus/" + bus + "/drivers/" + driver);
    MakeLink(Root() + "/bus/" + bus + "/drivers/" + driver, device + "/driver");
}

void FakeSysfs::AddCard(const std::string& device, int card, const std::vector<std::string>& pcms,
                        const std::string& below) {
    const std::string folder =
        device + (below.empty() ? "" : "/" + below) + "/sound/card" + std::to_string(card);
    MakeFolders(folder);
    for (const std::string& pcm : pcms) {
        MakeFolders(folder + "/" + pcm);
    }
}

std::string UsbDescriptors(const std::vector<UsbInterfaceSketch>& interfaces) {
    std::string bytes;
    auto put = [&bytes](std::initializer_list<int> values) {
        for (int v : values) {
            bytes += static_cast<char>(v & 0xFF);
        }
    };
    put({18, 1, 0x00, 0x02, 0, 0, 0, 64, 0x8C, 0x0D, 0x14, 0x00, 0x00, 0x01, 1, 2, 0, 1});
    put({9, 2, 0, 0, static_cast<int>(interfaces.size()), 1, 0, 0x80, 50});
    int number = 0;
    for (const UsbInterfaceSketch& sketch : interfaces) {
        const bool endpoint = sketch.endpointAddress >= 0;
        put({9, 4, number++, 0, endpoint ? 1 : 0, sketch.cls, sketch.subClass, 0, 0});
        if (endpoint) {
            put({9, 5, sketch.endpointAddress, sketch.endpointAttributes, 0xC8, 0x00, 1, 0, 0});
        }
    }
    return bytes;
}

} // namespace device_tests
