// The profile store over the Windows profile functions.
#pragma once

#include "mixer/model/util/profile.h"

// The store over GetPrivateProfileStringA and WritePrivateProfileStringA;
// the program installs it with SetProfile at start-up.
Profile& WindowsProfile();
