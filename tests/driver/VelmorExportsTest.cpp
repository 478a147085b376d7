#include <dlfcn.h>
#include <elf.h>
#include <algorithm>
#include <cstring>
#include <regex>
#include <set>
#include <string>

#include "VelmorTestSupport.h"

namespace velmortest {
namespace {

const std::set<std::string> kEntryPoints{
    "QuovixEnum",
    "QuovixOpen",
    "QuovixClose",
    "QuovixUsbSelfTest",
    "QuovixSetBP1",
    "QuovixSetFlashInfo",
    "QuovixSetWriteTime",
    "QuovixInitFlash",
    "QuovixProgram",
    "QuovixRead",
    "QuovixGetFlashInfo",
    "QuovixLastFailure",
    "QuovixGetChipIdentity",
    "QuovixSetVerifyLater",
    "QuovixGetEraseBlocks",
    "QuovixEraseRange",
    "QuovixGetVersion",
};

// Names of the defined, non-local symbols in the dynamic symbol table, i.e.
// what `nm -D --defined-only` lists.
std::set<std::string> exportedSymbols(const std::vector<uint8_t>& image) {
    std::set<std::string> names;
    if (image.size() < sizeof(Elf64_Ehdr) || std::memcmp(image.data(), ELFMAG, SELFMAG) != 0 ||
        image[EI_CLASS] != ELFCLASS64) {
        ADD_FAILURE() << "not a 64-bit ELF file";
        return names;
    }
    Elf64_Ehdr header;
    std::memcpy(&header, image.data(), sizeof header);
    const auto section = [&](size_t index) {
        Elf64_Shdr s;
        std::memcpy(&s, image.data() + header.e_shoff + index * header.e_shentsize, sizeof s);
        return s;
    };
    for (size_t i = 0; i < header.e_shnum; ++i) {
        const Elf64_Shdr dynsym = section(i);
        if (dynsym.sh_type != SHT_DYNSYM) {
            continue;
        }
        const Elf64_Shdr strings = section(dynsym.sh_link);
        for (size_t at = dynsym.sh_offset; at + sizeof(Elf64_Sym) <= dynsym.sh_offset + dynsym.sh_size;
             at += sizeof(Elf64_Sym)) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, image.data() + at, sizeof symbol);
            if (symbol.st_shndx == SHN_UNDEF || ELF64_ST_BIND(symbol.st_info) == STB_LOCAL) {
                continue;
            }
            names.insert(reinterpret_cast<const char*>(image.data() + strings.sh_offset + symbol.st_name));
        }
    }
    return names;
}

TEST(VelmorExports, DynamicSymbolTableHoldsExactlyTheEntryPoints) {
    const std::set<std::string> names = exportedSymbols(ReadBytes(VELMOR_LIBRARY_PATH));
    EXPECT_EQ(names, kEntryPoints);
}

TEST(VelmorExports, EveryEntryPointResolvesByNameAndNothingElseDoes) {
    void* library = ::dlopen(VELMOR_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    for (const std::string& name : kEntryPoints) {
        EXPECT_NE(::dlsym(library, name.c_str()), nullptr) << name;
    }
    // Internal names stay hidden, whatever their linkage inside the library.
    for (const char* hidden : {"quovixEnum", "QuovixReadBlock", "_ZN6velmor6Driver4openEi",
                               "_ZN6velmor23createProgrammerBackendEv"}) {
        EXPECT_EQ(::dlsym(library, hidden), nullptr) << hidden;
    }
    ::dlclose(library);
}

TEST(VelmorExports, VersionsFitTheBufferOrNothingIsWritten) {
    void* library = ::dlopen(VELMOR_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    using GetVersion = int32_t (*)(char*, int32_t);
    const auto get = reinterpret_cast<GetVersion>(::dlsym(library, "QuovixGetVersion"));
    ASSERT_NE(get, nullptr);
    char text[64];
    ASSERT_EQ(get(text, sizeof text), 1);
    const std::string versions = text;
    EXPECT_TRUE(std::regex_match(versions,
                                 std::regex(R"([0-9]+\.[0-9]+(\.[0-9]+)*\t[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+)")))
        << versions;
    const int32_t needed = static_cast<int32_t>(versions.size()) + 1;
    struct Row {
        int32_t size;
        int32_t result;
    };
    for (const Row row : {Row{needed, 1}, Row{needed - 1, 0}, Row{0, 0}}) {
        SCOPED_TRACE(row.size);
        std::string buffer(64, '#');
        EXPECT_EQ(get(buffer.data(), row.size), row.result);
        EXPECT_EQ(buffer.substr(0, versions.size() + 1),
                  row.result == 1 ? versions + '\0' : std::string(versions.size() + 1, '#'));
    }
    EXPECT_EQ(get(nullptr, 64), 0);
    ::dlclose(library);
}

}  // namespace
}  // namespace velmortest
