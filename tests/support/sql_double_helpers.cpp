#include "support/sql_double.h"

#include "platform/utf8.h"

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace talvorin::testing {

// ---- JSON -------------------------------------------------------------------------------

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : text_(text) {}

    JsonValue document()
    {
        JsonValue value = read();
        skipBlanks();
        if (pos_ != text_.size())
            fail("text after the value");
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& what) const
    {
        throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(pos_));
    }

    void skipBlanks()
    {
        while (pos_ < text_.size() && std::strchr(" \t\r\n", text_[pos_]) && text_[pos_] != '\0')
            ++pos_;
    }

    bool take(const char* word)
    {
        const std::size_t length = std::strlen(word);
        if (text_.compare(pos_, length, word) != 0)
            return false;
        pos_ += length;
        return true;
    }

    JsonValue read()
    {
        skipBlanks();
        if (pos_ >= text_.size())
            fail("missing value");
        JsonValue value;
        const char c = text_[pos_];
        if (c == '{') {
            value.kind_ = JsonValue::Kind::Object;
            ++pos_;
            skipBlanks();
            if (pos_ < text_.size() && text_[pos_] == '}') {
                ++pos_;
                return value;
            }
            for (;;) {
                skipBlanks();
                std::string key = readString();
                skipBlanks();
                if (pos_ >= text_.size() || text_[pos_++] != ':')
                    fail("missing ':'");
                value.members_.emplace_back(std::move(key), read());
                if (!endOfList('}'))
                    continue;
                return value;
            }
        }
        if (c == '[') {
            value.kind_ = JsonValue::Kind::Array;
            ++pos_;
            skipBlanks();
            if (pos_ < text_.size() && text_[pos_] == ']') {
                ++pos_;
                return value;
            }
            for (;;) {
                value.items_.push_back(read());
                if (endOfList(']'))
                    return value;
            }
        }
        if (c == '"') {
            value.kind_ = JsonValue::Kind::String;
            value.string_ = readString();
            return value;
        }
        if (take("null"))
            return value;
        for (const bool truth : {true, false}) {
            if (take(truth ? "true" : "false")) {
                value.kind_ = JsonValue::Kind::Boolean;
                value.boolean_ = truth;
                return value;
            }
        }
        const std::size_t start = pos_;
        while (pos_ < text_.size() && std::strchr("+-0123456789.eE", text_[pos_]) && text_[pos_] != '\0')
            ++pos_;
        if (start == pos_)
            fail("unexpected character");
        value.kind_ = JsonValue::Kind::Number;
        value.number_ = std::stod(text_.substr(start, pos_ - start));
        return value;
    }

    // After an item: true at the closing bracket, false at a comma.
    bool endOfList(char closing)
    {
        skipBlanks();
        if (pos_ >= text_.size())
            fail("unterminated list");
        const char c = text_[pos_++];
        if (c == closing)
            return true;
        if (c != ',')
            fail("missing ','");
        return false;
    }

    unsigned hex4()
    {
        if (pos_ + 4 > text_.size())
            fail("short \\u escape");
        const unsigned value = static_cast<unsigned>(std::stoul(text_.substr(pos_, 4), nullptr, 16));
        pos_ += 4;
        return value;
    }

    std::string readString()
    {
        if (pos_ >= text_.size() || text_[pos_] != '"')
            fail("missing string");
        ++pos_;
        std::string out;
        for (;;) {
            if (pos_ >= text_.size())
                fail("unterminated string");
            const char c = text_[pos_++];
            if (c == '"')
                return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size())
                fail("unterminated escape");
            const char e = text_[pos_++];
            switch (e) {
            case '"': case '\\': case '/': out += e; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                std::uint32_t c1 = hex4();
                if (c1 >= 0xD800 && c1 <= 0xDBFF && text_.compare(pos_, 2, "\\u") == 0) {
                    pos_ += 2;
                    const std::uint32_t c2 = hex4();
                    c1 = 0x10000 + ((c1 - 0xD800) << 10) + (c2 - 0xDC00);
                }
                talvorin::platform::appendUtf8(out, c1);
                break;
            }
            default: fail("unknown escape");
            }
        }
    }

    const std::string& text_;
    std::size_t pos_ = 0;
};

JsonValue JsonValue::parse(const std::string& text)
{
    return JsonReader(text).document();
}

namespace {
[[noreturn]] void wrongKind(const char* wanted)
{
    throw std::runtime_error(std::string("JSON: the value is not ") + wanted);
}
}  // namespace

bool JsonValue::boolean() const
{
    if (kind_ != Kind::Boolean)
        wrongKind("a boolean");
    return boolean_;
}

double JsonValue::number() const
{
    if (kind_ != Kind::Number)
        wrongKind("a number");
    return number_;
}

const std::string& JsonValue::string() const
{
    if (kind_ != Kind::String)
        wrongKind("a string");
    return string_;
}

const std::vector<JsonValue>& JsonValue::items() const
{
    if (kind_ != Kind::Array)
        wrongKind("an array");
    return items_;
}

bool JsonValue::has(const std::string& key) const
{
    for (const auto& member : members_)
        if (member.first == key)
            return true;
    return false;
}

const JsonValue& JsonValue::operator[](const std::string& key) const
{
    if (kind_ != Kind::Object)
        wrongKind("an object");
    for (const auto& member : members_)
        if (member.first == key)
            return member.second;
    throw std::runtime_error("JSON: no member \"" + key + "\"");
}

const JsonValue& JsonValue::operator[](std::size_t index) const
{
    return items().at(index);
}

// ---- the process ------------------------------------------------------------------------

// The double's folder: port file and journal, removed at the end.
class SqlDouble::Files {
public:
    Files()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/talvorin-sqldouble-XXXXXX";
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a folder for the SQL Server double: " +
                                     std::string(std::strerror(errno)));
        path = pattern;
    }
    ~Files()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

class SqlDouble::Process {
public:
    explicit Process(const std::vector<std::string>& args)
    {
        std::vector<char*> argv;
        for (const auto& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        const int rc = posix_spawnp(&pid_, argv[0], nullptr, nullptr, argv.data(), environ);
        if (rc != 0)
            throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(rc));
    }

    ~Process()
    {
        kill(pid_, SIGTERM);
        for (int i = 0; i < 250; ++i) {
            if (exited())
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }

    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // True once the process has ended (and been reaped); `status` then holds its status.
    bool exited()
    {
        if (reaped_)
            return true;
        if (waitpid(pid_, &status_, WNOHANG) == pid_)
            reaped_ = true;
        return reaped_;
    }
    int status() const { return status_; }

private:
    pid_t pid_ = -1;
    int status_ = 0;
    bool reaped_ = false;
};

namespace {

std::string defaultScript()
{
#ifdef TDS_DOUBLE
    return TDS_DOUBLE;
#else
    return "tests/support/tds_double.py";
#endif
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string formatNumber(double value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

}  // namespace

SqlDouble::SqlDouble(const SqlDoubleOptions& options) : files_(std::make_unique<Files>())
{
    const std::string portFile = files_->path + "/port";
    journalPath_ = files_->path + "/journal.jsonl";
    std::vector<std::string> args = {"python3", defaultScript(), "--port", "0", "--port-file", portFile,
                                     "--journal", journalPath_, "--lifetime",
                                     formatNumber(options.lifetimeSeconds)};
    for (const auto& [user, password] : options.accounts)
        args.insert(args.end(), {"--account", user + ":" + password});
    for (const auto& name : options.databases)
        args.insert(args.end(), {"--database", name});
    for (const auto& name : options.jobs)
        args.insert(args.end(), {"--job", name});
    if (options.editionText)
        args.insert(args.end(), {"--edition", *options.editionText});
    for (const auto& fault : options.faults)
        args.insert(args.end(), {"--fault", fault});
    process_ = std::make_unique<Process>(args);

    // The double writes the port file in one rename once it listens.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string text = readFile(portFile);
        if (!text.empty() && text.back() == '\n') {
            port_ = std::stoi(text);
            return;
        }
        if (process_->exited())
            throw std::runtime_error("the SQL Server double ended before it listened (status " +
                                     std::to_string(process_->status()) + ")");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    throw std::runtime_error("the SQL Server double did not listen within 15 s");
}

SqlDouble::~SqlDouble() = default;

std::vector<JsonValue> SqlDouble::journal() const
{
    const std::string text = readFile(journalPath_);
    std::vector<JsonValue> entries;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        if (end > start)
            entries.push_back(JsonValue::parse(text.substr(start, end - start)));
    return entries;
}

std::vector<JsonValue> SqlDouble::events(const std::string& name) const
{
    std::vector<JsonValue> found;
    for (auto& entry : journal())
        if (entry["event"].string() == name)
            found.push_back(std::move(entry));
    return found;
}

std::vector<JsonValue> SqlDouble::waitForEvents(const std::string& name, std::size_t count,
                                                std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto found = events(name);
        if (found.size() >= count || std::chrono::steady_clock::now() >= deadline)
            return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace talvorin::testing
