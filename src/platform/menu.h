#pragma once

#include <memory>
#include <string_view>

#include "platform/object.h"

namespace snaplark::platform {

// Check-mark and checkbox state: 1 is on; every other value reads as off.
using ControlState = long;
inline constexpr ControlState stateOff = 0;
inline constexpr ControlState stateOn = 1;
inline bool isOn(ControlState state)
{
    return state == stateOn;
}

class MenuItem : public Object {
public:
    virtual ControlState state() const = 0;
    virtual void setState(ControlState state) = 0;
    virtual void setTitle(std::string_view title) = 0;
    virtual void setEnabled(bool enabled) = 0;
};

// Told when its menu is about to open, so that entries can say what they would do now.
class MenuDelegate {
public:
    virtual ~MenuDelegate() = default;
    virtual void menuWillOpen() = 0;
};

class Menu : public Object {
public:
    // Appends the entry as the last row.
    virtual void addItem(std::shared_ptr<MenuItem> item) = 0;
    virtual void setDelegate(MenuDelegate* delegate) = 0;
};

class MenuFactory {
public:
    virtual ~MenuFactory() = default;
    virtual std::shared_ptr<Menu> makeMenu() = 0;
    // An entry with no target, mark off, whose action travels the application's action dispatch.
    virtual std::shared_ptr<MenuItem> makeMenuItem(std::string_view title, Selector action,
                                                   std::string_view keyEquivalent) = 0;
    virtual std::shared_ptr<MenuItem> separatorItem() = 0;
};

}  // namespace snaplark::platform
