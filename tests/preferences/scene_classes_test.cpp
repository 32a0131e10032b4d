#include <gtest/gtest.h>

#include <map>
#include <string>

#include "preferences/my_view_controller.h"
#include "preferences/scene_classes.h"

namespace snaplark {
namespace {

class MapDefaults final : public platform::UserDefaults, public platform::UserDefaultsStore {
public:
    std::optional<platform::PropertyValue> objectForKey(std::string_view key) override
    {
        auto found = values.find(std::string(key));
        if (found == values.end()) return std::nullopt;
        return found->second;
    }
    bool boolForKey(std::string_view key) override
    {
        auto value = objectForKey(key);
        return value && platform::boolFromValue(*value);
    }
    void setBool(bool value, std::string_view key) override { values[std::string(key)] = value; }
    std::unique_ptr<platform::UserDefaults> open() override
    {
        ++handlesOpened;
        return std::make_unique<Handle>(*this);
    }

    std::map<std::string, platform::PropertyValue> values;
    int handlesOpened = 0;

private:
    struct Handle final : platform::UserDefaults {
        explicit Handle(MapDefaults& store) : store(store) {}
        std::optional<platform::PropertyValue> objectForKey(std::string_view key) override
        {
            return store.objectForKey(key);
        }
        bool boolForKey(std::string_view key) override { return store.boolForKey(key); }
        void setBool(bool value, std::string_view key) override { store.setBool(value, key); }
        MapDefaults& store;
    };
};

class Checkbox final : public platform::Button {
public:
    platform::ControlState state() const override { return state_; }
    void setState(platform::ControlState state) override { state_ = state; }

private:
    platform::ControlState state_ = 7;  // neither on nor off until the view sets it
};

TEST(SceneClasses, TheStoryboardFindsEveryClassByName)
{
    MapDefaults store;
    platform::ClassRegistry classes;
    registerSceneClasses(classes, store);
    EXPECT_NE(std::dynamic_pointer_cast<MyWindowController>(
                  classes.makeWindowController("MyWindowController")),
              nullptr);
    EXPECT_NE(
        std::dynamic_pointer_cast<MyViewController>(classes.makeViewController("MyViewController")),
        nullptr);
    EXPECT_NE(
        std::dynamic_pointer_cast<ViewController>(classes.makeViewController("ViewController")),
        nullptr);
    EXPECT_EQ(classes.makeViewController("NoSuchController"), nullptr);
    // Each instantiation is a new controller.
    EXPECT_NE(classes.makeWindowController("MyWindowController"),
              classes.makeWindowController("MyWindowController"));
}

TEST(MyViewController, OpensShowingTheStoreAndWritesOnlyTheClickedKey)
{
    MapDefaults store;
    store.values["boolEnableCopy"] = false;
    auto copy = std::make_shared<Checkbox>();
    auto paste = std::make_shared<Checkbox>();
    MyViewController view(store);
    view.connectOutlet("btnCopy", copy);
    view.connectOutlet("btnPaste", paste);
    view.viewDidLoad();
    EXPECT_EQ(copy->state(), platform::stateOff);
    EXPECT_EQ(paste->state(), platform::stateOn);
    EXPECT_EQ(store.values.size(), 1u) << "opening the view writes nothing";

    // The checkbox has flipped before its action arrives; the mixed state counts as off.
    copy->setState(platform::stateOn);
    view.perform(platform::Selector::onClickedCopy, copy.get());
    EXPECT_TRUE(std::get<bool>(store.values.at("boolEnableCopy")));
    EXPECT_EQ(store.values.count("boolEnablePaste"), 0u);
    paste->setState(-1);
    view.perform(platform::Selector::onClickedPaste, nullptr);
    EXPECT_FALSE(std::get<bool>(store.values.at("boolEnablePaste")));
    EXPECT_FALSE(view.boolEnablePaste);
}

TEST(MyViewController, UnconnectedOutletsWriteNothing)
{
    MapDefaults store;
    MyViewController view(store);
    view.viewDidLoad();
    view.onClickedCopy(nullptr);
    view.onClickedPaste(nullptr);
    EXPECT_TRUE(store.values.empty());
    EXPECT_TRUE(view.boolEnableCopy);
}

}  // namespace
}  // namespace snaplark
