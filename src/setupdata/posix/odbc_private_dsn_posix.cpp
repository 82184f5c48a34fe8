// The private data source on POSIX: an odbc.ini of its own, named to unixODBC by ODBCINI.
#include "setupdata/odbc_private_dsn.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/posix/file_io.h"
#include "platform/posix/unique_fd.h"

namespace talvorin::setupdata {

namespace {

constexpr const char* iniVariable = "ODBCINI";

SqlError setupError(const std::string& step, int error)
{
    return SqlError("The private ODBC data source for this connection could not be set up (" +
                    step + "): " + std::strerror(error));
}

std::string temporaryFolder()
{
    const char* configured = std::getenv("TMPDIR");
    std::string folder = configured != nullptr && *configured != '\0' ? configured : "/tmp";
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

// Unique in this process, so that no answer unixODBC keeps from an earlier file applies;
// at most 8 + 10 + 1 + 10 characters.
std::string newName()
{
    static unsigned int counter = 0;
    return "Talvorin" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
}

// A folder made by mkdtemp (mode 0700), removed when the owner goes.
platform::posix::RemovedFolder makePrivateFolder()
{
    std::string pattern = temporaryFolder() + "/talvorin-odbc-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw setupError("folder in " + temporaryFolder(), errno);
    return platform::posix::RemovedFolder(pattern);
}

// A file written whole, removed when the owner goes (also when writing it failed).
platform::posix::RemovedFile writeWholeFile(const std::string& path, const std::string& text)
{
    platform::posix::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd)
        throw setupError("file", errno);
    platform::posix::RemovedFile file(path);
    if (!platform::posix_io::writeAll(fd.get(), text.data(), text.size()) || !platform::posix::closeChecked(fd))
        throw setupError("file", errno);
    return file;
}

// An environment variable set for the object's lifetime; the earlier value (or its absence)
// comes back when it goes.
class VariableOverride {
public:
    VariableOverride(const char* name, const std::string& value) : name_(name)
    {
        if (const char* before = std::getenv(name))
            previous_ = before;
        if (::setenv(name, value.c_str(), 1) != 0)
            throw setupError("variable " + std::string(name), errno);
    }
    ~VariableOverride()
    {
        if (previous_)
            ::setenv(name_, previous_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    VariableOverride(const VariableOverride&) = delete;
    VariableOverride& operator=(const VariableOverride&) = delete;

private:
    const char* name_;
    std::optional<std::string> previous_;
};

}  // namespace

// Declared in this order so that they go in reverse: the variable first, then the file,
// then the folder.
class PrivateOdbcDataSource::Parts {
public:
    explicit Parts(const std::string& text)
        : folder_(makePrivateFolder()),
          file_(writeWholeFile(folder_.get() + "/odbc.ini", text)),
          variable_(iniVariable, file_.get())
    {
    }

private:
    platform::posix::RemovedFolder folder_;
    platform::posix::RemovedFile file_;
    VariableOverride variable_;
};

PrivateOdbcDataSource::PrivateOdbcDataSource(const std::vector<OdbcValue>& values)
    : name_(newName())
{
    // The text is checked before anything is created.
    const std::string text = odbcIniText(name_, values);
    parts_ = std::make_unique<Parts>(text);
}

PrivateOdbcDataSource::~PrivateOdbcDataSource() = default;

}  // namespace talvorin::setupdata
