// szdd_pack INPUT OUTPUT [NAME]: packs INPUT in the SZDD format, storing the last character
// of NAME (default INPUT) as the missing one; OUTPUT is normally NAME with '_' at the end.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "szdd_writer.h"

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::cerr << "usage: szdd_pack INPUT OUTPUT [NAME]\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "szdd_pack: cannot open " << argv[1] << "\n";
        return 1;
    }
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string name = argc == 4 ? argv[3] : argv[1];
    std::string packed = kelvra::tools::SzddCompress(data, name.empty() ? '\0' : name.back());
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(packed.data(), static_cast<std::streamsize>(packed.size()));
    out.close();
    if (!out) {
        std::cerr << "szdd_pack: cannot write " << argv[2] << "\n";
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
