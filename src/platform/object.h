#pragma once

#include <string_view>

namespace snaplark::platform {

// Root of every object that can be the sender of an action.
class Object {
public:
    virtual ~Object() = default;
};

// The methods the platform calls by name: menu and button actions, the timer's tick and the
// checkbox actions of the preferences view.
enum class Selector {
    timerTick,
    launchFromTrayWithSender,
    disableFromTrayWithSender,
    indefinitelyFromTrayWithSender,
    hour1FromTrayWithSender,
    hour3FromTrayWithSender,
    hour6FromTrayWithSender,
    hour10FromTrayWithSender,
    preferenceFromTrayWithSender,
    aboutFromTrayWithSender,
    howToUseFromTrayWithSender,
    terminate,
    onClickedCopy,
    onClickedPaste,
    pauseFromTrayWithSender,
    onClickedCopyAfterSelection,
    onClickedResumeApplication,
};

std::string_view selectorName(Selector selector);

// An object that answers actions sent to it by name.
class Responder : public Object {
public:
    virtual bool respondsTo(Selector selector) const = 0;
    virtual void perform(Selector selector, Object* sender) = 0;
};

}  // namespace snaplark::platform
