#include "platform/ResourceReader.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>

#include <elf.h>

namespace platform {

namespace {

// The section that stands in for a Windows resource directory. It starts with
// this magic, a 32-bit entry count and that many entries; offsets count from
// the start of the section. All numbers are little-endian, as on x86-64.
constexpr const char* kSectionName = ".solvanta_resources";
constexpr char kMagic[8] = {'S', 'O', 'L', 'V', 'R', 'S', 'R', 'C'};

struct DirectoryEntry {
    char type[8]; // upper case, padded with NULs
    std::uint32_t id;
    std::uint32_t language;
    std::uint32_t offset;
    std::uint32_t size;
};
static_assert(sizeof(DirectoryEntry) == 24, "directory entries are 24 bytes");

struct Resource {
    std::uint16_t language;
    std::uint32_t offset;
    std::uint32_t size;
};

std::optional<std::vector<std::uint8_t>> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) {
        return std::nullopt;
    }
    const std::streamoff size = file.tellg();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max<std::streamoff>(size, 0)));
    file.seekg(0);
    if (!file.read(reinterpret_cast<char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()))) {
        return std::nullopt;
    }
    return bytes;
}

template <typename T>
bool readAt(const std::vector<std::uint8_t>& bytes, std::uint64_t offset, T& value) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) {
        return false;
    }
    std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return true;
}

// The resource section's bytes within the file, bounds-checked against it.
std::optional<std::pair<std::uint64_t, std::uint64_t>>
findSection(const std::vector<std::uint8_t>& file) {
    Elf64_Ehdr header{};
    if (!readAt(file, 0, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != ELFDATA2LSB ||
        header.e_shentsize != sizeof(Elf64_Shdr)) {
        return std::nullopt;
    }
    Elf64_Shdr names{};
    if (!readAt(file, header.e_shoff + std::uint64_t{header.e_shstrndx} * sizeof(Elf64_Shdr),
                names)) {
        return std::nullopt;
    }
    const std::size_t nameLength = std::strlen(kSectionName);
    for (std::uint16_t i = 0; i < header.e_shnum; ++i) {
        Elf64_Shdr section{};
        if (!readAt(file, header.e_shoff + std::uint64_t{i} * sizeof(Elf64_Shdr), section)) {
            return std::nullopt;
        }
        const std::uint64_t nameAt = names.sh_offset + section.sh_name;
        if (nameAt > file.size() || file.size() - nameAt < nameLength + 1 ||
            std::memcmp(file.data() + nameAt, kSectionName, nameLength + 1) != 0) {
            continue;
        }
        if (section.sh_type == SHT_NOBITS || section.sh_offset > file.size() ||
            file.size() - section.sh_offset < section.sh_size) {
            return std::nullopt;
        }
        return std::make_pair(section.sh_offset, section.sh_size);
    }
    return std::nullopt;
}

std::string typeKey(const std::string& type) {
    std::string key;
    for (const char c : type) {
        key += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return key;
}

// Every resource of that type and id, in directory order, with its bytes
// proven to lie inside the section.
std::vector<Resource> findResources(const std::vector<std::uint8_t>& file, const std::string& type,
                                    std::uint16_t id, std::uint64_t& sectionStart) {
    std::vector<Resource> found;
    const auto section = findSection(file);
    if (!section) {
        return found;
    }
    sectionStart = section->first;
    const std::uint64_t sectionSize = section->second;
    char magic[8];
    std::uint32_t count = 0;
    if (sectionSize < sizeof magic + sizeof count || !readAt(file, sectionStart, magic) ||
        std::memcmp(magic, kMagic, sizeof magic) != 0 ||
        !readAt(file, sectionStart + sizeof magic, count) ||
        count > (sectionSize - sizeof magic - sizeof count) / sizeof(DirectoryEntry)) {
        return found;
    }
    const std::string key = typeKey(type);
    for (std::uint32_t i = 0; i < count; ++i) {
        DirectoryEntry entry{};
        readAt(file, sectionStart + sizeof magic + sizeof count + i * sizeof(DirectoryEntry),
               entry);
        const std::string entryType(entry.type, strnlen(entry.type, sizeof entry.type));
        if (entryType != key || entry.id != id || entry.offset > sectionSize ||
            sectionSize - entry.offset < entry.size) {
            continue;
        }
        found.push_back(
            Resource{static_cast<std::uint16_t>(entry.language), entry.offset, entry.size});
    }
    return found;
}

} // namespace

bool readLibraryResource(const std::string& libraryPath, const std::string& type, std::uint16_t id,
                         std::uint16_t language, std::vector<std::uint8_t>& bytes) {
    const auto file = readFile(libraryPath);
    if (!file) {
        return false;
    }
    std::uint64_t sectionStart = 0;
    for (const Resource& resource : findResources(*file, type, id, sectionStart)) {
        if (resource.language == language) {
            const auto first =
                file->begin() + static_cast<std::ptrdiff_t>(sectionStart + resource.offset);
            bytes.assign(first, first + resource.size);
            return true;
        }
    }
    return false;
}

std::vector<std::uint16_t> libraryResourceLanguages(const std::string& libraryPath,
                                                    const std::string& type, std::uint16_t id) {
    std::vector<std::uint16_t> languages;
    const auto file = readFile(libraryPath);
    if (file) {
        std::uint64_t sectionStart = 0;
        for (const Resource& resource : findResources(*file, type, id, sectionStart)) {
            languages.push_back(resource.language);
        }
    }
    return languages;
}

} // namespace platform
