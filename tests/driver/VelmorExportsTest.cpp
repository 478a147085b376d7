#include <dlfcn.h>
#include <elf.h>
#include <algorithm>
#include <cstring>
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

}  // namespace
}  // namespace velmortest
