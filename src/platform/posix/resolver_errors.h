#pragma once

namespace talvorin::platform {

// The Windows Sockets code for a failed gethostbyname (an h_errno value), so that a POSIX
// build reports the number a Windows user would see; Windows defines these h_errno names
// as the WSA codes:
//   HOST_NOT_FOUND -> 11001 WSAHOST_NOT_FOUND
//   TRY_AGAIN      -> 11002 WSATRY_AGAIN
//   NO_RECOVERY    -> 11003 WSANO_RECOVERY
//   NO_DATA        -> 11004 WSANO_DATA (the host has no IPv4 address)
//   anything else  -> 11003 WSANO_RECOVERY
int winsockErrorFromHostError(int hostError);

}  // namespace talvorin::platform
