// https://developer.apple.com/documentation/kernel/uuid_t: 16 bytes.
#pragma once

typedef unsigned char uuid_t[16];
