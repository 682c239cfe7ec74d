// The pad the settings saver writes for a generation.
#pragma once

#include <string>

namespace kelvra::test {

inline std::string SaverPad(long gen) {
    return std::string(200000, static_cast<char>('a' + gen % 26));
}

}  // namespace kelvra::test
