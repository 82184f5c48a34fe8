#include "odbc/odbc_private_dsn.h"

namespace talvorin::odbc {

namespace {

bool isIniBlank(char c)
{
    // What unixODBC's ini reader trims (isspace in the C locale).
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void checkIniValue(const OdbcValue& item)
{
    refuseNul(item.value, item.what);
    if (item.value.find_first_of("\r\n") != std::string::npos) throw unpassable(item.what, "it holds a line break.");
    if (!item.value.empty() && (isIniBlank(item.value.front()) || isIniBlank(item.value.back())))
        throw unpassable(item.what, "it starts or ends with a blank.");
    if (item.value.size() > kOdbcIniValueLimit)
        throw unpassable(item.what, "it is longer than " + std::to_string(kOdbcIniValueLimit) + " bytes.");
}

}  // namespace

std::string odbcIniText(const std::string& name, const std::vector<OdbcValue>& values)
{
    std::string text = "[" + name + "]\n";
    for (const auto& item : values) {
        checkIniValue(item);
        text += item.key + "=" + item.value + "\n";
    }
    return text;
}

}  // namespace talvorin::odbc
