#pragma once

#include <memory>
#include <string_view>

#include "platform/menu.h"

namespace snaplark::platform {

class Image {
public:
    virtual ~Image() = default;
};

class StatusButton : public Object {
public:
    virtual void setImage(std::shared_ptr<Image> image) = 0;
    virtual void setAlternateImage(std::shared_ptr<Image> image) = 0;
    virtual void setAction(Selector action) = 0;
    // The target must outlive the button; the agent's controller lives until the process ends.
    virtual void setTarget(Responder* target) = 0;
};

class StatusItem {
public:
    virtual ~StatusItem() = default;
    virtual void setHighlightMode(bool highlight) = 0;
    // The item's button, or nullptr when the platform gives it none.
    virtual StatusButton* button() = 0;
    virtual void setMenu(std::shared_ptr<Menu> menu) = 0;
};

inline constexpr double variableStatusItemLength = -1.0;

class StatusBar {
public:
    virtual ~StatusBar() = default;
    virtual std::shared_ptr<StatusItem> statusItemWithLength(double length) = 0;
    // A named image of the application's resources, or nullptr.
    virtual std::shared_ptr<Image> imageNamed(std::string_view name) = 0;
};

}  // namespace snaplark::platform
