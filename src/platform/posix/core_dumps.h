#pragma once

namespace talvorin::platform {

// Keeps the administrator's password, which this process holds in clear, out of core files:
// the process becomes undumpable (no core file, no attaching by other processes of the same
// user) and its soft core-file limit 0. The kit tools inherit that limit: each holds the
// password on its own command line, so a core file of theirs would hold it too; the hard limit
// stays, so a tool may raise its own. False when the system refused either.
bool keepOutOfCoreDumps();

}  // namespace talvorin::platform
