// The private data source on POSIX: an odbc.ini of its own, named to unixODBC by ODBCINI.
#include "odbc/odbc_private_dsn.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/foreign_text.h"
#include "platform/posix/file_io.h"
#include "platform/posix/unique_fd.h"

namespace talvorin::odbc {

namespace {

constexpr const char* kIniVariable = "ODBCINI";

setupdata::SqlError setupError(const std::string& step, int error)
{
    return setupdata::SqlError("The private ODBC data source for this connection could not be set up (" + step +
                               "): " + platform::foreignLine(std::strerror(error)));
}

std::string temporaryFolder()
{
    const char* configured = std::getenv("TMPDIR");
    std::string folder = configured != nullptr && *configured != '\0' ? configured : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

// Unique in this process, so that no answer unixODBC keeps from an earlier file applies;
// at most 8 + 10 + 1 + 10 characters.
std::string newName()
{
    static unsigned int counter = 0;
    return "Talvorin" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
}

constexpr const char* kFolderPrefix = "talvorin-odbc-";

// The pid in a folder name "talvorin-odbc-<pid>-XXXXXX"; 0 for any other name.
pid_t ownerPid(const std::string& name)
{
    if (name.rfind(kFolderPrefix, 0) != 0) return 0;
    const std::size_t digits = std::strlen(kFolderPrefix);
    const std::size_t dash = name.find('-', digits);
    if (dash == std::string::npos || dash == digits || dash - digits > 9) return 0;
    pid_t pid = 0;
    for (std::size_t i = digits; i < dash; ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        pid = pid * 10 + (name[i] - '0');
    }
    return pid;
}

// A program killed during a connect (SIGKILL runs no destructor) leaves its folder behind.
// Each connect removes those of earlier runs that are dead: folders of ours, by name and
// owner, whose process no longer exists. Only the odbc.ini we write is removed from it, and
// the folder itself only when that leaves it empty; links are never followed.
void removeLeftoversOfDeadRuns(const std::string& parent)
{
    platform::UniqueFd parentFd(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parentFd) return;
    const int listFd = ::dup(parentFd.get());
    if (listFd < 0) return;
    std::unique_ptr<DIR, int (*)(DIR*)> list(::fdopendir(listFd), ::closedir);
    if (!list) {
        ::close(listFd);
        return;
    }
    while (const dirent* entry = ::readdir(list.get())) {
        const std::string name = entry->d_name;
        const pid_t pid = ownerPid(name);
        if (pid <= 0 || pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
        struct stat st {};
        if (::fstatat(parentFd.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
            st.st_uid != ::geteuid())
            continue;
        platform::UniqueFd folder(
            ::openat(parentFd.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder || ::fstat(folder.get(), &st) != 0 || st.st_uid != ::geteuid()) continue;
        ::unlinkat(folder.get(), "odbc.ini", 0);
        ::unlinkat(parentFd.get(), name.c_str(), AT_REMOVEDIR);
    }
}

// A folder made by mkdtemp (mode 0700), removed when the owner goes. Its name carries the
// pid, so that a later run can tell a leftover of a dead one.
platform::RemovedFolder makePrivateFolder()
{
    removeLeftoversOfDeadRuns(temporaryFolder());
    std::string pattern = temporaryFolder() + "/" + kFolderPrefix + std::to_string(::getpid()) + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw setupError("folder in " + temporaryFolder(), errno);
    return platform::RemovedFolder(pattern);
}

// A file written whole, removed when the owner goes (also when writing it failed).
platform::RemovedFile writeWholeFile(const std::string& path, const std::string& text)
{
    platform::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) throw setupError("file", errno);
    platform::RemovedFile file(path);
    if (!platform::writeAll(fd.get(), text.data(), text.size()) || !platform::closeChecked(fd))
        throw setupError("file", errno);
    return file;
}

// An environment variable set for the object's lifetime; the earlier value (or its absence)
// comes back when it goes.
class VariableOverride {
public:
    VariableOverride(const char* name, const std::string& value) : name_(name)
    {
        if (const char* before = std::getenv(name)) previous_ = before;
        if (::setenv(name, value.c_str(), 1) != 0) throw setupError("variable " + std::string(name), errno);
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
          variable_(kIniVariable, file_.get())
    {
    }

private:
    platform::RemovedFolder folder_;
    platform::RemovedFile file_;
    VariableOverride variable_;
};

PrivateOdbcDataSource::PrivateOdbcDataSource(const std::vector<OdbcValue>& values) : name_(newName())
{
    // The text is checked before anything is created.
    const std::string text = odbcIniText(name_, values);
    parts_ = std::make_unique<Parts>(text);
}

PrivateOdbcDataSource::~PrivateOdbcDataSource() = default;

}  // namespace talvorin::odbc
