// Test-only stand-in for the part of the Objective-C runtime's C interface that Snaplark's macOS
// backend calls.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef struct objc_class* Class;
typedef struct objc_object* id;
typedef struct objc_selector* SEL;

Class objc_getClass(const char* name);
SEL sel_registerName(const char* str);

#ifdef __cplusplus
}
#endif
