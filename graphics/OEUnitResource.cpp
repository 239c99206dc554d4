#include "graphics/OEUnitResource.h"

#include "config/Errors.h"
#include "platform/ModuleResources.h"
#include "platform/TempFiles.h"

#include <optional>
#include <vector>

namespace {

std::unique_ptr<TOEResource>& Instance() {
    // Holds only plain bytes and pixels, so it may go at program end, after the application
    // object.
    static std::unique_ptr<TOEResource> instance;
    return instance;
}

} // namespace

TOEResource* TOEResource::Create() {
    std::unique_ptr<TOEResource>& instance = Instance();
    if (!instance) {
        instance.reset(new TOEResource());
    }
    return instance.get();
}

void TOEResource::Release() {
    Instance().reset();
}

TOEResource::~TOEResource() = default;

TOEResource* ResourceInstance() {
    return TOEResource::Create();
}

void TOEResource::CopyResourceToStream(HMODULE module, const std::string& name,
                                       const std::string& type, TMemoryStream& destination) {
    HRSRC resource = FindResourceA(module, name.c_str(), type.c_str());
    if (resource == nullptr) {
        return;
    }
    const void* bytes = LockResource(LoadResource(module, resource));
    DWORD size = SizeofResource(module, resource);
    if (bytes != nullptr) {
        destination.Write(bytes, size);
    }
}

TMemoryStream& TOEResource::LoadResourceToMemory(HMODULE module, const std::string& name,
                                                 const std::string& type) {
    sharedStream_.Clear();
    CopyResourceToStream(module, name, type, sharedStream_);
    sharedStream_.SetPosition(0);
    return sharedStream_;
}

namespace {

std::string WithExtension(const std::string& name, const std::string& extension) {
    return extension.empty() ? name : name + "." + extension;
}

// The name with the type added was not made by the platform: it is created here, only if
// nothing (no file, no planted link) is there yet. Without a type the name is the file the
// platform just made for us.
bool WriteExtractedFile(const std::string& fileName, const std::string& type,
                        const TMemoryStream& stream) {
    return type.empty() ? platform::ReplaceFile(fileName, stream.Memory(), stream.Size())
                        : platform::CreateNewFile(fileName, stream.Memory(), stream.Size()) ==
                              platform::CreateResult::Created;
}

} // namespace

std::string TOEResource::ExtractResourceToFile(HMODULE module, const std::string& name,
                                               const std::string& type) {
    std::string fileName = MakeTempFileName(type);
    TMemoryStream& stream = LoadResourceToMemory(module, name, type);
    if (!WriteExtractedFile(fileName, type, stream)) {
        throw FileCreateError(fileName);
    }
    return fileName;
}

const TGraphic& TOEResource::LoadResourceGraphic(HMODULE module, const std::string& name,
                                                 const std::string& type) {
    sharedPicture_.Clear();
    std::optional<TTempFile> file;
    try {
        file.emplace(type);
    } catch (const FileCreateError&) {
        // A full or read-only temporary folder: the picture does without the file.
    }
    TMemoryStream& stream = LoadResourceToMemory(module, name, type);
    if (file && WriteExtractedFile(file->Name(), type, stream)) {
        const std::string fileName = file->Name();
        std::vector<unsigned char> bytes = ReadPictureFile(fileName);
        file.reset();
        sharedPicture_.Assign(DecodeGraphicNamed(bytes, fileName));
    } else {
        // The decoder is the one a file of this type would have chosen.
        sharedPicture_.Assign(
            DecodeGraphicNamed({stream.Memory(), stream.Size()}, WithExtension("~qv.tmp", type)));
    }
    return sharedPicture_.Graphic();
}

std::string MakeTempFileName(const std::string& extension) {
    char folder[MAX_PATH] = {};
    DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH) {
        throw FileCreateError("~qv*.tmp");
    }
    char name[MAX_PATH] = {};
    if (GetTempFileNameA(folder, "~qvk", 0, name) == 0) {
        throw FileCreateError(std::string(folder) + "~qv*.tmp");
    }
    return WithExtension(name, extension);
}

TTempFile::TTempFile(const std::string& extension)
    : name_(MakeTempFileName(extension)),
      made_(name_.substr(0, name_.size() - (extension.empty() ? 0 : extension.size() + 1))) {}

TTempFile::~TTempFile() {
    platform::RemoveFile(name_);
    if (made_ != name_) {
        platform::RemoveFile(made_);
    }
}
