#include "setupdata/scramble.h"

namespace talvorin::setupdata {

std::string ScrambleText(const std::string& text)
{
    std::string out = text;
    for (char& c : out) c = static_cast<char>(static_cast<unsigned char>(c) ^ kScrambleKey);
    return out;
}

}  // namespace talvorin::setupdata
