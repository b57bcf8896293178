// https://developer.apple.com/library/archive/documentation/DeveloperTools/Conceptual/cross_development/Using/using.html
// (AvailabilityMacros.h): the deployment target, macOS 11 (110000).
#pragma once

#define MAC_OS_X_VERSION_10_7 1070
#define MAC_OS_X_VERSION_10_12 101200
#define MAC_OS_VERSION_11_0 110000
#ifndef MAC_OS_X_VERSION_MIN_REQUIRED
#define MAC_OS_X_VERSION_MIN_REQUIRED __ENVIRONMENT_MAC_OS_X_VERSION_MIN_REQUIRED__
#endif
