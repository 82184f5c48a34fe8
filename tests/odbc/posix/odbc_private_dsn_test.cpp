// The private data source: the text of its file, and its life on disk and in ODBCINI.
#include "odbc/odbc_private_dsn.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "odbc/odbc_test_env.h"

namespace talvorin::odbc {
namespace {

using testing::environmentVariable;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::PrivateDataSourceWatch;
using testing::ScopedEnv;
using ::testing::StartsWith;

const std::vector<OdbcValue> freeTdsValues = {{"DRIVER", "FreeTDS", "driver name"},
                                              {"SERVER", "10.1.2.3", "server address"},
                                              {"PORT", "1433", "port"},
                                              {"TDS_Version", "7.4", "protocol version"},
                                              {"Encryption", "off", "encryption"}};

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

unsigned permissions(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

// The setupdata::SqlError odbcIniText throws for `value` given as the server address.
std::string refusalOf(const std::string& value)
{
    try {
        odbcIniText("Name", {{"DRIVER", "FreeTDS", "driver name"}, {"SERVER", value, "server address"}});
    } catch (const setupdata::SqlError& error) {
        return error.what();
    }
    return {};
}

TEST(OdbcIniText, OneSectionWithALinePerValueKeptByteForByte)
{
    EXPECT_EQ(odbcIniText("Talvorin1_1", freeTdsValues),
              "[Talvorin1_1]\nDRIVER=FreeTDS\nSERVER=10.1.2.3\nPORT=1433\nTDS_Version=7.4\n"
              "Encryption=off\n");
    // Nothing but a line's start or end means anything to unixODBC's reader.
    const std::string awkward = "a;b#c=d{e}f[g]h\"i\tj\xc3\xa9\xe2\x82\xac}";
    EXPECT_EQ(odbcIniText("N", {{"SERVER", awkward, "server address"}}), "[N]\nSERVER=" + awkward + "\n");
    EXPECT_EQ(odbcIniText("N", {{"SERVER", "", "server address"}}), "[N]\nSERVER=\n");
}

TEST(OdbcIniText, RefusesWhatTheReaderWouldChangeNamingTheValueNotShowingIt)
{
    const std::string longest(kOdbcIniValueLimit, 'h');
    EXPECT_EQ(refusalOf(longest), "");
    const std::vector<std::string> refused = {
        std::string("srv\0x", 5), "srv\nDriver=Evil", "srv\rx", " srv", "srv ", "srv\t", longest + "h"};
    for (const auto& value : refused) {
        SCOPED_TRACE(value);
        const std::string message = refusalOf(value);
        EXPECT_THAT(message, StartsWith("The server address cannot be passed to this ODBC driver: "));
        EXPECT_THAT(message, Not(HasSubstr("srv")));
    }
    EXPECT_THAT(refusalOf(std::string("a\0b", 3)), HasSubstr("NUL"));
    EXPECT_THAT(refusalOf("a\nb"), HasSubstr("line break"));
    EXPECT_THAT(refusalOf(" a"), HasSubstr("blank"));
    EXPECT_THAT(refusalOf(longest + "h"), HasSubstr("longer than 900 bytes"));
}

TEST(PrivateOdbcDataSource, LivesInAPrivateFileNamedByOdbcIniOnlyWhileItExists)
{
    PrivateDataSourceWatch watch;
    std::string file;
    std::string name;
    {
        PrivateOdbcDataSource source(freeTdsValues);
        name = source.name();
        file = environmentVariable("ODBCINI").value_or("");
        const std::filesystem::path folder = std::filesystem::path(file).parent_path();
        EXPECT_EQ(folder.parent_path().string(), watch.folder());
        EXPECT_EQ(permissions(folder.string()), 0700u);
        EXPECT_EQ(permissions(file), 0600u);
        EXPECT_EQ(readText(file), odbcIniText(name, freeTdsValues));
        EXPECT_EQ(watch.leftOver().size(), 2u);
    }
    EXPECT_LE(name.size(), 32u);  // SQLConnect's limit for a data source name
    EXPECT_EQ(environmentVariable("ODBCINI"), PrivateDataSourceWatch::odbcIniMarker);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(watch.leftOver().empty());
}

TEST(PrivateOdbcDataSource, EveryOneHasANameOfItsOwnAndAnUnsetOdbcIniStaysUnset)
{
    PrivateDataSourceWatch watch;
    ScopedEnv unset("ODBCINI", nullptr);
    std::string first;
    {
        PrivateOdbcDataSource source(freeTdsValues);
        first = source.name();
        ASSERT_TRUE(environmentVariable("ODBCINI").has_value());
    }
    EXPECT_FALSE(environmentVariable("ODBCINI").has_value());
    PrivateOdbcDataSource second(freeTdsValues);
    // unixODBC keeps what it read under the name for a while, whatever the file.
    EXPECT_NE(second.name(), first);
}

TEST(PrivateOdbcDataSource, ARefusedValueOrAMissingTempFolderLeavesNothingBehind)
{
    PrivateDataSourceWatch watch;
    std::vector<OdbcValue> values = freeTdsValues;
    values[1].value = "host\nDriver=Evil";
    EXPECT_THROW(PrivateOdbcDataSource source(values), setupdata::SqlError);
    EXPECT_TRUE(watch.leftOver().empty());
    EXPECT_EQ(environmentVariable("ODBCINI"), PrivateDataSourceWatch::odbcIniMarker);

    ScopedEnv missing("TMPDIR", (watch.folder() + "/missing").c_str());
    try {
        PrivateOdbcDataSource source(freeTdsValues);
        ADD_FAILURE() << "made a data source in a folder that does not exist";
    } catch (const setupdata::SqlError& error) {
        EXPECT_THAT(error.what(), HasSubstr("private ODBC data source"));
        EXPECT_THAT(error.what(), HasSubstr("missing"));
    }
    EXPECT_TRUE(watch.leftOver().empty());
    EXPECT_EQ(environmentVariable("ODBCINI"), PrivateDataSourceWatch::odbcIniMarker);
}

TEST(PrivateOdbcDataSource, RemovesWhatARunKilledDuringItsConnectLeftBehind)
{
    PrivateDataSourceWatch watch;
    const pid_t dead = ::fork();
    if (dead == 0) ::_exit(0);
    ::waitpid(dead, nullptr, 0);
    const auto leftover = [&](const std::string& pid, const std::string& tail) {
        const std::string folder = watch.folder() + "/talvorin-odbc-" + pid + "-" + tail;
        std::filesystem::create_directory(folder);
        std::ofstream(folder + "/odbc.ini") << "[Talvorin1_1]\nDRIVER=FreeTDS\n";
        return folder;
    };
    const std::string ofDeadRun = leftover(std::to_string(dead), "aB3dE9");
    const std::string ofLiveRun = leftover("1", "xY7zQ2");  // init never dies
    const std::string notOurs = leftover("x" + std::to_string(dead), "q");
    const std::string holdsMore = leftover(std::to_string(dead), "more");
    std::ofstream(holdsMore + "/keep.txt") << "not ours";

    {
        PrivateOdbcDataSource source(freeTdsValues);
    }

    EXPECT_FALSE(std::filesystem::exists(ofDeadRun));
    EXPECT_TRUE(std::filesystem::exists(ofLiveRun + "/odbc.ini"));
    EXPECT_TRUE(std::filesystem::exists(notOurs + "/odbc.ini"));
    EXPECT_TRUE(std::filesystem::exists(holdsMore + "/keep.txt"));
}

}  // namespace
}  // namespace talvorin::odbc
