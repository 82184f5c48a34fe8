#pragma once

namespace talvorin::platform {

// The Windows Sockets code for a getaddrinfo failure (an EAI_* value), so that a POSIX
// build reports the number a Windows user would see. Windows itself defines the EAI_*
// codes as these WSA codes:
//   EAI_NONAME, EAI_NODATA -> 11001 WSAHOST_NOT_FOUND
//   EAI_AGAIN              -> 11002 WSATRY_AGAIN
//   EAI_FAIL, EAI_SYSTEM   -> 11003 WSANO_RECOVERY
//   EAI_ADDRFAMILY         -> 11004 WSANO_DATA (the host has no IPv4 address)
//   EAI_MEMORY             ->     8 WSA_NOT_ENOUGH_MEMORY
//   EAI_BADFLAGS           -> 10022 WSAEINVAL
//   EAI_SOCKTYPE           -> 10044 WSAESOCKTNOSUPPORT
//   EAI_FAMILY             -> 10047 WSAEAFNOSUPPORT
//   EAI_SERVICE            -> 10109 WSATYPE_NOT_FOUND
//   anything else          -> 11003 WSANO_RECOVERY
int winsockErrorFromResolver(int eaiError);

}  // namespace talvorin::platform
