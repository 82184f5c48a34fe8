#include "support/vt_screen.h"

#include <algorithm>
#include <cstdlib>

namespace talvorin::testing {

std::vector<std::string>& VtScreen::row()
{
    if (cells_.size() <= row_) {
        cells_.resize(row_ + 1);
        wrapped_.resize(row_ + 1, false);
    }
    auto& r = cells_[row_];
    if (r.size() < columns_) r.resize(columns_, " ");
    return r;
}

void VtScreen::print(char byte)
{
    if ((static_cast<unsigned char>(byte) & 0xc0) == 0x80 && hasLastCell_) {
        cells_[lastRow_][lastCell_] += byte;  // the rest of a UTF-8 character
        return;
    }
    if (pendingWrap_) {
        pendingWrap_ = false;
        ++row_;
        col_ = 0;
        row();
        wrapped_[row_] = true;
    }
    auto& r = row();
    r[col_] = std::string(1, byte);
    hasLastCell_ = true;
    lastRow_ = row_;
    lastCell_ = col_;
    if (col_ + 1 >= columns_)
        pendingWrap_ = true;
    else
        ++col_;
}

void VtScreen::control(char byte)
{
    switch (byte) {
    case '\r': col_ = 0; break;
    case '\n': ++row_; row(); break;
    case '\b':
        if (col_ > 0 && !pendingWrap_) --col_;
        break;
    case '\t': col_ = std::min(columns_ - 1, (col_ / 8 + 1) * 8); break;
    default: return;
    }
    pendingWrap_ = false;
    hasLastCell_ = false;
}

void VtScreen::sequence(char final)
{
    const int n = params_.empty() ? 0 : std::atoi(params_.c_str());
    const std::size_t count = static_cast<std::size_t>(std::max(1, n));
    auto& r = row();
    switch (final) {
    case 'K': {
        const std::size_t from = n == 0 ? col_ : 0;
        const std::size_t to = n == 1 ? col_ + 1 : r.size();
        const auto end = r.begin() + static_cast<std::ptrdiff_t>(std::min(to, r.size()));
        if (from < r.size()) std::fill(r.begin() + static_cast<std::ptrdiff_t>(from), end, std::string(1, ' '));
        break;
    }
    case 'D': col_ = col_ >= count ? col_ - count : 0; break;
    case 'C': col_ = std::min(columns_ - 1, col_ + count); break;
    case 'A': row_ = row_ >= count ? row_ - count : 0; break;
    case 'B': row_ += count; row(); break;
    case 'G': col_ = std::min(columns_ - 1, count - 1); break;
    default: break;
    }
    pendingWrap_ = false;
    hasLastCell_ = false;
}

void VtScreen::feed(const std::string& bytes)
{
    for (char b : bytes) {
        switch (state_) {
        case State::Text:
            if (b == '\x1b')
                state_ = State::Escape;
            else if (static_cast<unsigned char>(b) < 0x20 || b == '\x7f')
                control(b);
            else
                print(b);
            break;
        case State::Escape:
            if (b == '[') {
                state_ = State::Csi;
                params_.clear();
            } else {
                state_ = State::Text;
            }
            break;
        case State::Csi:
            if (b >= 0x40 && b <= 0x7e) {
                state_ = State::Text;
                sequence(b);
            } else {
                params_ += b;
            }
            break;
        }
    }
}

std::vector<std::string> VtScreen::rows() const
{
    std::vector<std::string> out;
    for (const auto& r : cells_) {
        std::string text;
        for (const auto& c : r) text += c;
        text.erase(text.find_last_not_of(' ') + 1);
        out.push_back(text);
    }
    return out;
}

std::string VtScreen::lastRow() const
{
    const auto all = rows();
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        if (!it->empty()) return *it;
    return {};
}

std::size_t VtScreen::wrappedRows() const { return static_cast<std::size_t>(std::count(wrapped_.begin(), wrapped_.end(), true)); }

bool VtScreen::shows(const std::string& text) const
{
    for (const auto& r : rows())
        if (r.find(text) != std::string::npos) return true;
    return false;
}

}  // namespace talvorin::testing
