// The INI engine that the Linux build reads settings files with, held against the system's
// own profile functions on generated files. Every disagreement is either a fault to fix in
// the engine or one of the known differences below, each with its reason.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/ini_text.h"
#include "platform/win32/windows_api.h"
#include "support/temp_dir.h"

namespace talvorin::platform::ini {
namespace {

struct CorpusFile {
    std::string name;
    std::string bytes;
    std::vector<std::string> sections;  // names worth asking for
    std::vector<std::string> keys;
};

// Pieces that hand-edited and generated settings files are made of.
const char* const kLineEnds[] = {"\r\n", "\n", "\r"};
const char* const kBlanks[] = {"", " ", "\t", "  "};
const char* const kSectionNames[] = {"S", "s", "T", "Code Table", "S "};
const char* const kKeys[] = {"k", "K", "dup", "1", "IP address", "q", "n", "long"};

template <std::size_t N>
std::string pick(std::mt19937& rng, const char* const (&items)[N])
{
    return items[std::uniform_int_distribution<std::size_t>(0, N - 1)(rng)];
}

std::string valueFor(std::mt19937& rng, const std::string& key)
{
    static const char* const kValues[] = {"v",       "a.sql",    "x=y=z",  "\"quoted\"", "'single'", "\"open",
                                          "\"\"",    "",         "  pad  ", "12",       "-5",       "+7",
                                          " 42abc",  "0x10",     "abc",    "99999999999", "a ; not a comment",
                                          "\"mixed'", "\"a\" b \"c\""};
    if (key == "long") {
        static const std::size_t kLengths[] = {2046, 2047, 2048, 3000};
        const std::size_t n = kLengths[std::uniform_int_distribution<std::size_t>(0, 3)(rng)];
        std::string v(n, 'L');
        if (rng() % 3 == 0) v = "\"" + v.substr(0, n - 2) + "\"";
        return v;
    }
    return pick(rng, kValues);
}

std::string utf16le(const std::string& ascii)
{
    std::string out = "\xFF\xFE";
    for (const char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

CorpusFile generate(std::mt19937& rng, int index)
{
    CorpusFile file;
    file.name = "corpus" + std::to_string(index) + ".ini";
    const std::string eol = pick(rng, kLineEnds);
    std::string text;
    if (rng() % 5 == 0) text += "; generated file" + eol;
    const int sections = 1 + static_cast<int>(rng() % 3);
    for (int s = 0; s < sections; ++s) {
        const std::string section = pick(rng, kSectionNames);
        file.sections.push_back(section);
        text += pick(rng, kBlanks) + "[" + (rng() % 6 == 0 ? " " + section + " " : section) + "]" +
                (rng() % 8 == 0 ? " trailing" : "") + eol;
        const int lines = static_cast<int>(rng() % 9);
        for (int l = 0; l < lines; ++l) {
            switch (rng() % 10) {
            case 0: text += "; k=commented" + eol; break;
            case 1: text += "no equals sign" + eol; break;
            case 2: text += eol; break;
            case 3: text += "=empty key" + eol; break;
            default: {
                const std::string key = pick(rng, kKeys);
                file.keys.push_back(key);
                text += pick(rng, kBlanks) + key + pick(rng, kBlanks) + "=" + pick(rng, kBlanks) +
                        valueFor(rng, key) + pick(rng, kBlanks) + eol;
            }
            }
        }
    }
    if (rng() % 4 == 0) text.resize(text.size() - eol.size());  // no line break at the end
    switch (rng() % 12) {
    case 0: file.bytes = "\xEF\xBB\xBF" + text; break;
    case 1: file.bytes = utf16le(text); break;
    default: file.bytes = text;
    }
    file.sections.push_back("Missing");
    file.keys.push_back("absent");
    return file;
}

// A section whose key list does not fit the 16384-byte buffer.
CorpusFile manyKeys()
{
    CorpusFile file{"many.ini", "[S]\r\n", {"S"}, {"key0001", "key1999"}};
    for (int i = 0; i < 2000; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "key%04d", i);
        file.bytes += std::string(key) + "=" + std::to_string(i) + "\r\n";
    }
    return file;
}

std::string systemValue(const std::string& path, const std::string& section, const std::string& key)
{
    std::vector<char> buffer(kValueBufferSize);
    const DWORD n = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "def", buffer.data(),
                                               static_cast<DWORD>(buffer.size()), path.c_str());
    return std::string(buffer.data(), n);
}

std::vector<std::string> systemKeyNames(const std::string& path, const std::string& section)
{
    std::vector<char> buffer(kKeyNamesBufferSize);
    const DWORD n = ::GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer.data(),
                                               static_cast<DWORD>(buffer.size()), path.c_str());
    std::vector<std::string> names;
    for (DWORD pos = 0; pos < n;) {
        std::string name(buffer.data() + pos);
        if (name.empty()) break;  // the list ends at an empty name for every reader
        pos += static_cast<DWORD>(name.size()) + 1;
        names.push_back(std::move(name));
    }
    // The system returns the first name that does not fit, cut short; the engine leaves it
    // out, since it names no key.
    if (n == buffer.size() - 2 && !names.empty()) names.pop_back();
    return names;
}

// What the engine reads from a file's bytes.
std::string engineText(const std::string& bytes) { return bytes; }

TEST(IniCorpus, EngineReadsGeneratedFilesAsTheSystemDoes)
{
    const testing::TempDir folder;
    std::mt19937 rng(20261208);
    std::vector<CorpusFile> corpus;
    for (int i = 0; i < 240; ++i) corpus.push_back(generate(rng, i));
    corpus.push_back(manyKeys());

    int queries = 0;
    std::map<std::string, int> disagreements;
    for (const CorpusFile& file : corpus) {
        const std::string path = folder.make(file.name);
        std::ofstream(path, std::ios::binary) << file.bytes;
        const std::string text = engineText(file.bytes);
        for (const std::string& section : file.sections) {
            ++queries;
            const auto names = readKeyNames(text, section);
            if (names != systemKeyNames(path, section)) {
                ++disagreements["key names"];
                ADD_FAILURE() << "key names of [" << section << "] in " << file.name << ":\n" << file.bytes;
            }
            for (const std::string& key : file.keys) {
                ++queries;
                const std::string expected = systemValue(path, section, key);
                const std::string actual = readValue(text, section, key, "def");
                if (actual != expected) {
                    ++disagreements["values"];
                    ADD_FAILURE() << "[" << section << "] " << key << " in " << file.name << ": engine \"" << actual
                                  << "\", system \"" << expected << "\"\n"
                                  << file.bytes;
                }
                ++queries;
                const int systemInt = static_cast<int>(
                    ::GetPrivateProfileIntA(section.c_str(), key.c_str(), -77, path.c_str()));
                if (readInt(text, section, key, -77) != systemInt) {
                    ++disagreements["integers"];
                    ADD_FAILURE() << "integer [" << section << "] " << key << " in " << file.name;
                }
            }
        }
    }
    std::printf("INI corpus: %zu files, %d queries, %d disagreements\n", corpus.size(), queries,
                [&] { int n = 0; for (const auto& [kind, count] : disagreements) n += count; return n; }());
}

}  // namespace
}  // namespace talvorin::platform::ini
