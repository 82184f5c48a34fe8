#include "support/kit_tool_journal.h"

#include <charconv>
#include <cstddef>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string_view>

namespace {

class JournalReader {
public:
    JournalReader(std::string path, std::string text) : path_(std::move(path)), text_(std::move(text)) {}

    bool atEnd() const { return pos_ >= text_.size(); }

    // The rest of the current line, without its line feed.
    std::string_view line()
    {
        const std::size_t end = text_.find('\n', pos_);
        if (end == std::string::npos) fail("line without end");
        const std::string_view result(text_.data() + pos_, end - pos_);
        pos_ = end + 1;
        return result;
    }

    // "<name> <n>:<bytes>\n"; returns false at "end\n".
    bool field(std::string& name, std::string& value)
    {
        const std::size_t start = pos_;
        const std::size_t blank = text_.find(' ', pos_);
        const std::size_t newline = text_.find('\n', pos_);
        if (newline != std::string::npos && (blank == std::string::npos || newline < blank)) {
            if (line() != "end") fail("unknown line", start);
            return false;
        }
        if (blank == std::string::npos) fail("cut record", start);
        name.assign(text_, pos_, blank - pos_);
        pos_ = blank + 1;

        std::size_t length = 0;
        std::size_t digits = 0;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            length = length * 10 + static_cast<std::size_t>(text_[pos_] - '0');
            ++pos_;
            ++digits;
        }
        if (digits == 0 || pos_ >= text_.size() || text_[pos_] != ':') fail("bad length", start);
        ++pos_;
        if (text_.size() - pos_ < length + 1 || text_[pos_ + length] != '\n') fail("cut value", start);
        value.assign(text_, pos_, length);
        pos_ += length + 1;
        return true;
    }

    [[noreturn]] void fail(const std::string& what, std::size_t at = std::string::npos) const
    {
        throw std::runtime_error("Kit tool journal " + path_ + ": " + what + " at byte " +
                                 std::to_string(at == std::string::npos ? pos_ : at));
    }

private:
    std::string path_;
    std::string text_;
    std::size_t pos_ = 0;
};

long parsePid(const JournalReader& reader, const std::string& value)
{
    long pid = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), pid);
    if (error != std::errc() || end != value.data() + value.size()) reader.fail("bad pid " + value);
    return pid;
}

}  // namespace

std::vector<KitToolRun> readKitToolJournal(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    JournalReader reader(path, std::string(std::istreambuf_iterator<char>(in), {}));

    std::vector<KitToolRun> runs;
    while (!reader.atEnd()) {
        if (reader.line() != "run") reader.fail("record does not start with run");
        KitToolRun run;
        std::string name;
        std::string value;
        while (reader.field(name, value)) {
            if (name == "program")
                run.program = value;
            else if (name == "cwd")
                run.workingDirectory = value;
            else if (name == "pid")
                run.pid = parsePid(reader, value);
            else if (name == "arg")
                run.args.push_back(value);
            else if (name == "fd")
                run.openFiles.push_back(value);
            else if (name == "cmdline")
                run.commandLine = value;
            else
                reader.fail("unknown field " + name);
        }
        runs.push_back(std::move(run));
    }
    return runs;
}
