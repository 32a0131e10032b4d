#include "platform/macos/permissions.h"

#include <ApplicationServices/ApplicationServices.h>

#include <utility>

namespace snaplark::platform::macos {
namespace {

constexpr std::string_view helpShownKey = "permissionHelpShownIn";
constexpr std::string_view typingAllowedKey = "typingAllowedIn";
constexpr const char* privacy = "System Settings, Privacy & Security, ";

std::string typingLine(bool allowedInAnEarlierInstall)
{
    // A grant belongs to the code that was allowed: after an update of a build signed ad hoc the
    // list still shows Snaplark switched on, but the grant no longer applies to it.
    if (allowedInAnEarlierInstall)
        return std::string("Snaplark cannot type Copy and Paste since it was updated: remove it "
                           "from ") +
               privacy + "Accessibility (-) and add it again (+)";
    return std::string("Snaplark cannot type Copy and Paste: allow it under ") + privacy +
           "Accessibility";
}

std::string clicksLine(Clicks clicks)
{
    if (clicks == Clicks::refused)
        return std::string("Snaplark cannot see your clicks: allow it under ") + privacy +
               "Input Monitoring";
    return std::string("Snaplark cannot see your clicks although it looks allowed: remove it "
                       "from ") +
           privacy + "Input Monitoring and Accessibility (-) and add it again (+)";
}

}  // namespace

// Both from macOS 10.15. Posting has a check of its own, apart from Accessibility's
// AXIsProcessTrusted (CGPreflightPostEventAccess, CGRequestPostEventAccess references).
bool typingAllowed()
{
    return CGPreflightPostEventAccess();
}

void askToAllowTyping()
{
    CGRequestPostEventAccess();
}

PermissionNotice::PermissionNotice(InstallNotes& notes, std::string install)
    : notes_(notes), install_(std::move(install))
{
}

std::optional<PermissionNotice::Notice> PermissionNotice::update(Access now)
{
    const std::string allowedIn = notes_.note(typingAllowedKey);
    if (now.typing && allowedIn != install_) notes_.setNote(typingAllowedKey, install_);

    std::string toolTip;
    if (!now.typing) toolTip = typingLine(!allowedIn.empty() && allowedIn != install_);
    if (now.clicks != Clicks::seen)
        toolTip += (toolTip.empty() ? "" : "\n") + clicksLine(now.clicks);
    if (told_ == toolTip) return std::nullopt;
    told_ = toolTip;

    Notice notice{toolTip};
    if (!toolTip.empty() && notes_.note(helpShownKey) != install_) {
        notes_.setNote(helpShownKey, install_);
        notice.showHelp = true;
        notice.askSystem = !now.typing;
    }
    return notice;
}

}  // namespace snaplark::platform::macos
