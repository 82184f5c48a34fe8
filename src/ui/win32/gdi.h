#pragma once

#include <utility>
#include <vector>

#include "platform/win32/handles.h"
#include "ui/types.h"

namespace talvorin::ui {

// The colour of a role: the system's colour for the system roles, pure blue for Blue.
COLORREF colorOf(Color c);
// A brush for a background of that colour; the system's own for the system roles.
HBRUSH brushOf(Color c);

// The system's cursor for a cursor of the widget layer (the database-wait cursor is the
// system's wait cursor).
HCURSOR systemCursor(Cursor c);

// The fonts of one window, created once each. A face the system lacks is replaced by the
// system's dialog font (that of its message boxes) at the same size and style.
class FontCache {
public:
    HFONT get(const Font& font);

private:
    std::vector<std::pair<Font, platform::UniqueGdiObject>> fonts_;
};

// The face a font created from this description really has.
std::string actualFace(HFONT font);

}  // namespace talvorin::ui
