// Not Apple's: glibc's gnu/stubs.h asks for this file under any target but x86-64
// (here arm64-apple-macos11), which the machine's headers lack. It declares nothing.
#pragma once
