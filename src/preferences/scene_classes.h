#pragma once

#include "platform/storyboard.h"
#include "platform/user_defaults.h"

namespace snaplark {

// The preferences window's controller; it adds nothing to the platform's.
class MyWindowController final : public platform::WindowController {
public:
    void windowDidLoad() override { platform::WindowController::windowDidLoad(); }
};

// A placeholder scene controller with no logic of its own.
class ViewController final : public platform::ViewController {
public:
    void viewDidLoad() override { platform::ViewController::viewDidLoad(); }
    const std::any& representedObject() const override
    {
        return platform::ViewController::representedObject();
    }
    void setRepresentedObject(std::any object) override
    {
        platform::ViewController::setRepresentedObject(std::move(object));
    }
};

// Makes MyWindowController, MyViewController and ViewController known to storyboard scenes.
void registerSceneClasses(platform::ClassRegistry& classes, platform::UserDefaultsStore& store);

}  // namespace snaplark
