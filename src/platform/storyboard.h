#pragma once

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/menu.h"
#include "platform/object.h"

namespace snaplark::platform {

// A checkbox of a window made from a storyboard scene.
class Button : public Object {
public:
    virtual ControlState state() const = 0;
    virtual void setState(ControlState state) = 0;
};

// A list of a window made from a storyboard scene, one of whose entries may be chosen.
class ItemList : public Object {
public:
    virtual void setItems(const std::vector<std::string>& items) = 0;
    // The chosen entry, or none.
    virtual std::optional<std::size_t> selectedIndex() const = 0;
};

class Window {
public:
    virtual ~Window() = default;
    virtual void show() = 0;
};

// Base of the program's view controllers; the scene that names a subclass creates it, connects its
// outlets and sends its controls' actions to it.
class ViewController : public Responder {
public:
    virtual void viewDidLoad() {}
    virtual const std::any& representedObject() const { return representedObject_; }
    virtual void setRepresentedObject(std::any object) { representedObject_ = std::move(object); }
    // Connects the outlet of that name; names a class does not have are ignored.
    virtual void connectOutlet(std::string_view /*name*/, const std::shared_ptr<Button>& /*button*/)
    {
    }
    virtual void connectList(std::string_view /*name*/, const std::shared_ptr<ItemList>& /*list*/)
    {
    }

    bool respondsTo(Selector /*selector*/) const override { return false; }
    void perform(Selector /*selector*/, Object* /*sender*/) override {}

private:
    std::any representedObject_;
};

// Base of the program's window controllers.
class WindowController : public Object {
public:
    virtual void windowDidLoad() {}
    void showWindow(Object* /*sender*/)
    {
        if (auto window = window_.lock()) window->show();
    }
    // Set by the scene that creates the controller; the window owns its controllers, not the
    // reverse.
    void setWindow(std::weak_ptr<Window> window) { window_ = std::move(window); }
    void setContentViewController(std::shared_ptr<ViewController> content)
    {
        content_ = std::move(content);
    }
    const std::shared_ptr<ViewController>& contentViewController() const { return content_; }

private:
    std::weak_ptr<Window> window_;
    std::shared_ptr<ViewController> content_;
};

// The program's classes that storyboard scenes name, found by class name as the platform would
// find them in the application's module.
class ClassRegistry {
public:
    using WindowControllerMaker = std::function<std::shared_ptr<WindowController>()>;
    using ViewControllerMaker = std::function<std::shared_ptr<ViewController>()>;

    void registerWindowController(std::string name, WindowControllerMaker make)
    {
        windowControllers_[std::move(name)] = std::move(make);
    }
    void registerViewController(std::string name, ViewControllerMaker make)
    {
        viewControllers_[std::move(name)] = std::move(make);
    }
    std::shared_ptr<WindowController> makeWindowController(std::string_view name) const
    {
        auto found = windowControllers_.find(name);
        return found == windowControllers_.end() ? nullptr : found->second();
    }
    std::shared_ptr<ViewController> makeViewController(std::string_view name) const
    {
        auto found = viewControllers_.find(name);
        return found == viewControllers_.end() ? nullptr : found->second();
    }

private:
    std::map<std::string, WindowControllerMaker, std::less<>> windowControllers_;
    std::map<std::string, ViewControllerMaker, std::less<>> viewControllers_;
};

class Storyboard {
public:
    virtual ~Storyboard() = default;
    // A new window controller for the scene, its window and content loaded; nullptr when the
    // storyboard has no such scene or the scene is not a window controller's.
    virtual std::shared_ptr<WindowController>
    instantiateControllerWithIdentifier(std::string_view identifier) = 0;
};

class StoryboardLoader {
public:
    virtual ~StoryboardLoader() = default;
    // The main bundle's storyboard of that name, or nullptr.
    virtual std::unique_ptr<Storyboard> storyboardWithName(std::string_view name) = 0;
};

}  // namespace snaplark::platform
