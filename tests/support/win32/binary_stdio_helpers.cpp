// Test programs write their output in binary mode: in text mode the C runtime turns every
// "\n" into "\r\n", and ctest, reading the test list on the Linux side, would take the "\r"
// for part of each test's name.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace {

const bool binaryStdio = [] {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    return true;
}();

}  // namespace
