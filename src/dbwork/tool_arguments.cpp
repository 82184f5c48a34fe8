#include "dbwork/database_steps.h"

#include "formats/command_line.h"

namespace talvorin::dbwork {
namespace {

// A login or password with a blank or a quote would otherwise reach the tool as several
// arguments, or swallow the ones after it; every other value goes in exactly as it always did.
std::string serverArguments(const StepInputs& in)
{
    using formats::quotedArgument;
    return "-S " + quotedArgument(in.address + "," + in.port) + " -U " + quotedArgument(in.login) + " -P " +
           quotedArgument(in.password);
}

}  // namespace

std::string osqlParameters(const StepInputs& in, const std::string& scriptsPath, const std::string& entry)
{
    return " " + serverArguments(in) + " -i \"" + scriptsPath + entry + "\"";
}

std::string bcpParameters(const StepInputs& in, const std::string& entry)
{
    return " " + entry + " -m 0 -t\"\\@\\t\" -r\"\\@\\r\\n\" -q -w " + serverArguments(in) + " -e " + "bcp.log";
}

}  // namespace talvorin::dbwork
