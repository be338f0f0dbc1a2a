#include "platform/ResourceReader.h"

#include <windows.h>

#include <cstring>

namespace platform {

namespace {

// Loaded as data only: no code of the library runs, as when a host scans
// its plug-ins.
class DataFile {
public:
    explicit DataFile(const std::string& path)
        : module_(::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;
    ~DataFile() {
        if (module_ != nullptr) {
            ::FreeLibrary(module_);
        }
    }
    HMODULE get() const { return module_; }

private:
    HMODULE module_;
};

struct LanguageList {
    std::vector<std::uint16_t> languages;
};

BOOL CALLBACK collectLanguage(HMODULE /*module*/, LPCSTR /*type*/, LPCSTR /*name*/, WORD language,
                              LONG_PTR list) {
    reinterpret_cast<LanguageList*>(list)->languages.push_back(language);
    return TRUE;
}

} // namespace

bool readLibraryResource(const std::string& libraryPath, const std::string& type, std::uint16_t id,
                         std::uint16_t language, std::vector<std::uint8_t>& bytes) {
    const DataFile library(libraryPath);
    if (library.get() == nullptr) {
        return false;
    }
    HRSRC resource = ::FindResourceExA(library.get(), type.c_str(), MAKEINTRESOURCEA(id), language);
    if (resource == nullptr) {
        return false;
    }
    HGLOBAL loaded = ::LoadResource(library.get(), resource);
    const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (data == nullptr) {
        return false;
    }
    const DWORD size = ::SizeofResource(library.get(), resource);
    bytes.resize(size);
    if (size != 0) {
        std::memcpy(bytes.data(), data, size);
    }
    return true;
}

std::vector<std::uint16_t> libraryResourceLanguages(const std::string& libraryPath,
                                                    const std::string& type, std::uint16_t id) {
    LanguageList list;
    const DataFile library(libraryPath);
    if (library.get() != nullptr) {
        ::EnumResourceLanguagesA(library.get(), type.c_str(), MAKEINTRESOURCEA(id),
                                 &collectLanguage, reinterpret_cast<LONG_PTR>(&list));
    }
    return list.languages;
}

} // namespace platform
