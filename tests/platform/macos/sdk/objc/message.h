// Test-only stand-in for objc_msgSend as the SDK declares it: without a prototype of its own, to be
// cast to the exact type of each message sent.
#pragma once

#include <objc/runtime.h>

extern "C" void objc_msgSend(void);
