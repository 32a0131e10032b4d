// Test-only stand-in for the part of Carbon (Text Input Sources, Unicode Utilities' key
// translation, the keyboard type and the modifier bits) that Snaplark's macOS input calls,
// declared as Apple's API reference declares it. The fake in ../../fake_sdk.cpp
// implements it.
#pragma once

#include <ApplicationServices/ApplicationServices.h>

extern "C" {
typedef uint16_t UInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef SInt32 OSStatus;
typedef UInt32 OptionBits;
typedef UInt16 UniChar;
typedef unsigned long UniCharCount;
typedef struct UCKeyboardLayout UCKeyboardLayout;
typedef struct __TISInputSource* TISInputSourceRef;

enum { noErr = 0 };
enum { cmdKeyBit = 8 };
enum { cmdKey = 1 << cmdKeyBit };
enum { kUCKeyActionDown = 0 };
enum { kUCKeyTranslateNoDeadKeysBit = 0 };
enum { kUCKeyTranslateNoDeadKeysMask = 1L << kUCKeyTranslateNoDeadKeysBit };

extern const CFStringRef kTISPropertyUnicodeKeyLayoutData;

TISInputSourceRef TISCopyCurrentKeyboardLayoutInputSource(void);
void* TISGetInputSourceProperty(TISInputSourceRef inputSource, CFStringRef propertyKey);
UInt8 LMGetKbdType(void);
OSStatus UCKeyTranslate(const UCKeyboardLayout* keyLayoutPtr, UInt16 virtualKeyCode,
                        UInt16 keyAction, UInt32 modifierKeyState, UInt32 keyboardType,
                        OptionBits keyTranslateOptions, UInt32* deadKeyState,
                        UniCharCount maxStringLength, UniCharCount* actualStringLength,
                        UniChar unicodeString[]);
}
