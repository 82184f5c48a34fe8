#include "dbwork/database_steps.h"

namespace talvorin::dbwork {

std::string osqlParameters(const StepInputs& in, const std::string& scriptsPath, const std::string& entry)
{
    return " -S " + in.address + "," + in.port + " -U " + in.login + " -P " + in.password + " -i \"" +
           scriptsPath + entry + "\"";
}

std::string bcpParameters(const StepInputs& in, const std::string& entry)
{
    return " " + entry + " -m 0 -t\"\\@\\t\" -r\"\\@\\r\\n\" -q -w -S " + in.address + "," + in.port +
           " -U " + in.login + " -P " + in.password + " -e " + "bcp.log";
}

}  // namespace talvorin::dbwork
