// The INI engine that the Linux build reads settings files with, held against the system's
// own profile functions on generated files. Every disagreement is either a fault to fix in
// the engine or one of the known differences below, each with its reason:
// - A UTF-8 byte-order mark: Wine skips it, Windows reads its three bytes as text of the first
//   line, and the engine follows Windows. Such files are held against the system reading the
//   same file with the mark replaced by three plain letters, which is what Windows sees.
// - The 16384-byte list of key names: the system also returns the first name that does not
//   fit, cut short; the engine leaves it out, since it names no key.
// - A big-endian UTF-16 mark (FE FF): Wine reads such a file as UTF-16, Windows 10 as 8-bit
//   text, and the engine follows Windows; with no way to make Wine read it so, such files are
//   not generated.
// - A quoted value of 2047 characters: Wine gives 2046 of them (it cuts to the buffer before
//   it takes the quotes off), the engine all 2047 (it takes them off first, so the value fits
//   the buffer whole). No value the program reads comes near that length.
// - Names asked for with blanks around them are not asked: Wine trims them for a value but not
//   for a list of key names, and the program never asks so.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "formats/ini_text.h"
#include "platform/win32/windows_api.h"
#include "support/temp_dir.h"

namespace talvorin::formats::ini {
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
    static const char* const kValues[] = {"v",
                                          "a.sql",
                                          "x=y=z",
                                          "\"quoted\"",
                                          "'single'",
                                          "\"open",
                                          "\"\"",
                                          "",
                                          "  pad  ",
                                          "12",
                                          "-5",
                                          "+7",
                                          " 42abc",
                                          "0x10",
                                          "abc",
                                          "99999999999",
                                          "a ; not a comment",
                                          "\"mixed'",
                                          "\"a\" b \"c\""};
    if (key == "long") {
        static const std::size_t kLengths[] = {2046, 2047, 2048, 2049, 3000};
        const std::size_t n = kLengths[std::uniform_int_distribution<std::size_t>(0, 4)(rng)];
        std::string v(n, 'L');
        if (rng() % 3 == 0) v = "\"" + v.substr(0, n - 2) + "\"";
        return v;
    }
    return pick(rng, kValues);
}

std::string utf16(const std::string& ascii, bool littleEndian)
{
    std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (const char c : ascii) {
        out += littleEndian ? c : '\0';
        out += littleEndian ? '\0' : c;
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
        // Asked for as a program would: by the name without blanks around it.
        file.sections.push_back(section == "S " ? "S" : section);
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
                text += pick(rng, kBlanks) + key + pick(rng, kBlanks) + "=" + pick(rng, kBlanks) + valueFor(rng, key) +
                        pick(rng, kBlanks) + eol;
            }
            }
        }
    }
    if (rng() % 4 == 0) text.resize(text.size() - eol.size());  // no line break at the end
    switch (rng() % 12) {
    case 0: file.bytes = "\xEF\xBB\xBF" + text; break;
    case 1: file.bytes = utf16(text, true); break;
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
std::string engineText(const std::string& bytes) { return decodeFile(bytes).text; }

// A file's bytes as one readable line: line breaks, blanks other than space and other
// control bytes shown escaped, long runs shortened.
std::string shown(const std::string& bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        std::size_t run = 1;
        while (i + run < bytes.size() && bytes[i + run] == bytes[i]) ++run;
        if (run > 8) {
            out += "<" + std::to_string(run) + "x'" + std::string(1, static_cast<char>(c)) + "'>";
            i += run - 1;
            continue;
        }
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else
            out += static_cast<char>(c);
    }
    return out;
}

TEST(IniCorpus, EngineReadsGeneratedFilesAsTheSystemDoes)
{
    const testing::TempDir folder;
    std::mt19937 rng(20261208);
    std::vector<CorpusFile> corpus;
    for (int i = 0; i < 240; ++i) corpus.push_back(generate(rng, i));
    corpus.push_back(manyKeys());

    int queries = 0;
    int known = 0;  // answers that differ as one of the known differences says
    std::map<std::string, int> disagreements;
    for (const CorpusFile& file : corpus) {
        const std::string path = folder.make(file.name);
        const bool utf8Mark = file.bytes.rfind("\xEF\xBB\xBF", 0) == 0;
        std::ofstream(path, std::ios::binary) << (utf8Mark ? "xyz" + file.bytes.substr(3) : file.bytes);
        const std::string text = engineText(file.bytes);
        for (const std::string& section : file.sections) {
            ++queries;
            const auto names = readKeyNames(text, section, kKeyNamesBufferSize);
            const auto systemNames = systemKeyNames(path, section);
            if (names != systemNames) {
                ++disagreements["key names"];
                ADD_FAILURE() << "key names of [" << section << "] in " << file.name << ": engine "
                              << ::testing::PrintToString(names) << ", system " << ::testing::PrintToString(systemNames)
                              << "\n"
                              << shown(file.bytes);
            }
            for (const std::string& key : file.keys) {
                ++queries;
                const std::string expected = systemValue(path, section, key);
                const std::string actual = readValue(text, section, key, "def");
                const bool quotedFullBuffer = actual.size() == kValueBufferSize - 1 &&
                                              expected.size() + 1 == actual.size() &&
                                              actual.compare(0, expected.size(), expected) == 0;
                if (quotedFullBuffer) {
                    ++known;
                } else if (actual != expected) {
                    ++disagreements["values"];
                    ADD_FAILURE() << "[" << section << "] " << key << " in " << file.name << ": engine \"" << actual
                                  << "\", system \"" << expected << "\"\n"
                                  << shown(file.bytes);
                }
                ++queries;
                const int systemInt = static_cast<int>(
                    ::GetPrivateProfileIntA(section.c_str(), key.c_str(), -77, path.c_str()));
                if (const int engineInt = readInt(text, section, key, -77); engineInt != systemInt) {
                    ++disagreements["integers"];
                    ADD_FAILURE() << "integer [" << section << "] " << key << " in " << file.name << ": engine "
                                  << engineInt << ", system " << systemInt << " from \"" << expected << "\"";
                }
            }
        }
    }
    int disagreed = 0;
    for (const auto& [kind, count] : disagreements) disagreed += count;
    std::printf("INI corpus: %zu files, %d queries, %d agreements, %d known differences, %d disagreements\n",
                corpus.size(), queries, queries - known - disagreed, known, disagreed);
}

}  // namespace
}  // namespace talvorin::formats::ini
