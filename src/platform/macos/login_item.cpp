#include "platform/macos/login_item.h"

// The strict declaration of objc_msgSend, without a prototype: each call is cast to its exact type.
#define OBJC_OLD_DISPATCH_PROTOTYPES 0
#include <objc/message.h>
#include <objc/runtime.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace snaplark::platform::macos {
namespace {

using NSInteger = long;
using BOOL = signed char;

// SMAppServiceStatus (macOS 13): notRegistered 0, enabled 1, requiresApproval 2, notFound 3.
// requiresApproval: registered, but the user must allow it in System Settings before it runs,
// also after revoking it there (Apple's SMAppService.Status reference).
constexpr NSInteger statusEnabled = 1, statusRequiresApproval = 2;

// [SMAppService mainAppService], or nil before macOS 13, where the class does not exist.
id mainAppService()
{
    Class service = objc_getClass("SMAppService");
    if (service == nullptr) return nullptr;
    using Send = id (*)(Class, SEL);
    return reinterpret_cast<Send>(objc_msgSend)(service, sel_registerName("mainAppService"));
}

NSInteger status(id service)
{
    using Send = NSInteger (*)(id, SEL);
    return reinterpret_cast<Send>(objc_msgSend)(service, sel_registerName("status"));
}

// registerAndReturnError: and unregisterAndReturnError: take an NSError** that may be NULL.
bool send(id service, const char* selector)
{
    using Send = BOOL (*)(id, SEL, void*);
    return reinterpret_cast<Send>(objc_msgSend)(service, sel_registerName(selector), nullptr) != 0;
}

std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

}  // namespace

LoginItem::LoginItem(std::string launchAgentPath, std::string executable)
    : launchAgentPath_(std::move(launchAgentPath)), executable_(std::move(executable))
{
}

bool LoginItem::enabled() const
{
    if (id service = mainAppService()) return status(service) == statusEnabled;
    return std::ifstream(launchAgentPath_).good();
}

bool LoginItem::setEnabled(bool enabled)
{
    if (id service = mainAppService()) {
        if (!send(service, enabled ? "registerAndReturnError:" : "unregisterAndReturnError:")) {
            std::cerr << "snaplark: macOS did not " << (enabled ? "add" : "remove")
                      << " Snaplark as a login item\n";
            return false;
        }
        // Registered, but the user switched Snaplark off under Login Items before.
        if (enabled && status(service) == statusRequiresApproval) {
            std::cerr << "snaplark: allow Snaplark under System Settings, General, Login Items\n";
        }
        return true;
    }
    if (!enabled) {
        if (std::remove(launchAgentPath_.c_str()) != 0 && std::ifstream(launchAgentPath_).good()) {
            std::cerr << "snaplark: cannot remove " << launchAgentPath_ << '\n';
            return false;
        }
        return true;
    }
    // launchd starts the agent's program once at login (RunAtLoad) and never again by itself.
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(launchAgentPath_).parent_path(),
                                        ignored);
    std::ofstream agent(launchAgentPath_, std::ios::trunc);
    agent << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
             "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
             "<plist version=\"1.0\">\n<dict>\n"
             "\t<key>Label</key>\n\t<string>example.snaplark.Snaplark</string>\n"
             "\t<key>ProgramArguments</key>\n\t<array>\n\t\t<string>"
          << escaped(executable_)
          << "</string>\n\t</array>\n"
             "\t<key>RunAtLoad</key>\n\t<true/>\n"
             "</dict>\n</plist>\n";
    agent.close();
    if (!agent) {
        std::cerr << "snaplark: cannot write " << launchAgentPath_ << '\n';
        std::remove(launchAgentPath_.c_str());
        return false;
    }
    return true;
}

}  // namespace snaplark::platform::macos
