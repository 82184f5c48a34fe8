#include "odbc/odbc_text.h"

namespace talvorin::odbc {

OdbcText toOdbcTextZ(const std::string& text)
{
    OdbcText out = toOdbcText(text);
    out.push_back(0);
    return out;
}

}  // namespace talvorin::odbc
