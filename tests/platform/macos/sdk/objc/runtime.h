// Test-only stand-in for the part of the Objective-C runtime's C interface that Snaplark's macOS
// input calls.
#pragma once

extern "C" {
typedef struct objc_class* Class;
typedef struct objc_object* id;
typedef struct objc_selector* SEL;

Class objc_getClass(const char* name);
SEL sel_registerName(const char* str);
}
