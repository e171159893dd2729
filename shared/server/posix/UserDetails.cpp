#include "shared/server/UserDetails.h"

// There is no Windows account database or directory to ask natively: the
// user name and domain from Tools are all there is, and the remaining fields
// stay empty as they do on a workstation outside any domain.
void UserDetails::lookupAccountAndDirectory(Fields&) {}
