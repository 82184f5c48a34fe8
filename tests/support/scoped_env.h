#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace talvorin::testing {

// Sets (value) or removes (nullptr) an environment variable. Windows cannot hold an empty
// value: there an empty one removes the variable, which the program reads the same way.
inline void setEnvironmentVariable(const std::string& name, const char* value)
{
#ifdef _WIN32
    ::_putenv_s(name.c_str(), value ? value : "");
#else
    if (value)
        ::setenv(name.c_str(), value, 1);
    else
        ::unsetenv(name.c_str());
#endif
}

inline std::optional<std::string> environmentVariable(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
}

// An environment variable set or removed for one scope; the earlier value (or its absence)
// comes back when it goes, also after set() changed it in between.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const char* value) : name_(std::move(name)), old_(environmentVariable(name_))
    {
        set(value);
    }
    ScopedEnv(std::string name, const std::string& value) : ScopedEnv(std::move(name), value.c_str()) {}
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv() { setEnvironmentVariable(name_, old_ ? old_->c_str() : nullptr); }

    void set(const char* value) { setEnvironmentVariable(name_, value); }
    void set(const std::string& value) { set(value.c_str()); }

private:
    std::string name_;
    std::optional<std::string> old_;
};

}  // namespace talvorin::testing
