#include "ui/posix/terminal_text.h"

#include <algorithm>

#include "ui/controls.h"

namespace talvorin::ui {
namespace {

constexpr const char* kSeparator = " | ";
constexpr std::size_t kBarCells = 20;
// Below this many columns for the text, the bar gives way.
constexpr std::size_t kMinTextColumns = 10;
constexpr const char* kWhyUnattended = "unattended: standard input or output is not a terminal";

bool continuationByte(char c) { return (static_cast<unsigned char>(c) & 0xc0) == 0x80; }

std::string barText(const ProgressBar& bar)
{
    const int span = bar.max() - bar.min();
    int filled = span > 0 ? (bar.position() - bar.min()) * static_cast<int>(kBarCells) / span : 0;
    filled = std::max(0, std::min(filled, static_cast<int>(kBarCells)));
    return " [" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(kBarCells - static_cast<std::size_t>(filled), ' ') + "]";
}

}  // namespace

std::size_t columnsOf(const std::string& text)
{
    std::size_t n = 0;
    for (char c : text) n += !continuationByte(c);
    return n;
}

std::string clipToColumns(const std::string& text, std::size_t columns)
{
    std::size_t used = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (continuationByte(text[i])) continue;
        if (used == columns) return text.substr(0, i);
        ++used;
    }
    return text;
}

std::string statusLine(const StatusParts& parts, std::size_t columns)
{
    // The last column stays free: a character there leaves many terminals about to wrap.
    const std::size_t room = columns > 0 ? columns - 1 : 0;
    const std::string gauge = parts.bar != nullptr ? barText(*parts.bar) : std::string();
    const std::string full = parts.caption.empty() ? parts.text : parts.caption + kSeparator + parts.text;
    if (columnsOf(full) + gauge.size() <= room) return full + gauge;
    if (room >= gauge.size() + kMinTextColumns) return clipToColumns(parts.text, room - gauge.size()) + gauge;
    return clipToColumns(parts.text, room);
}

std::string unattendedBox(const Box& box, Answer answer) { return unattendedBox(box, answer, kWhyUnattended, "\n"); }

std::string unattendedDialog(const std::string& caption) { return unattendedDialog(caption, kWhyUnattended, "\n"); }

}  // namespace talvorin::ui
