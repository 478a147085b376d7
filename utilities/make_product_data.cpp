// Writes a product data file "XJQT.uc" for a serial number.
// Usage: make_product_data OUTPUT SERIAL

#include <cstdio>
#include <fstream>
#include <string>

#include "app/ProductDataScramble.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_product_data OUTPUT SERIAL\n");
        return 2;
    }
    const std::string output = argv[1];
    const std::string serial = argv[2];
    if (!ProductDataScramble::IsValidSerial(serial)) {
        std::fprintf(stderr, "make_product_data: the serial must be printable ASCII without '*' or blanks\n");
        return 2;
    }
    const auto bytes = ProductDataScramble::Build(ProductDataScramble::ContentForSerial(serial));
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "make_product_data: cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
