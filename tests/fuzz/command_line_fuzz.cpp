// The argument-string splitter: any string splits without a fault, and arguments quoted as
// the Microsoft C runtime expects, by this test or by the program's own quoting, come back
// exactly; the program quotes only values that need it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "formats/command_line.h"

namespace {

// The quoting that survives the C runtime's parser: backslashes are literal except before
// a quote, where they are doubled, and the quote is escaped.
std::string quoted(const std::string& arg)
{
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"')
            out.append(backslashes * 2 + 1, '\\');
        else
            out.append(backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    std::vector<std::string> args;
    std::string line;
    const int count = in.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < count; ++i) {
        args.push_back(in.ConsumeRandomLengthString(32));
        const std::string& arg = args.back();
        const std::string ours = talvorin::formats::quotedArgument(arg);
        const bool plain = !arg.empty() && arg.find_first_of(" \t\"") == std::string::npos;
        if (plain != (ours == arg)) __builtin_trap();
        line += (in.ConsumeBool() ? " " : "\t") + (in.ConsumeBool() ? quoted(arg) : ours);
    }
    if (talvorin::formats::splitCommandLine(line) != args) __builtin_trap();
    (void)talvorin::formats::splitCommandLine(in.ConsumeRemainingBytesAsString());
    return 0;
}
