// What the preferences view does that the simulator's window, with both checkboxes always
// connected and only on or off, never shows: preferences.sim covers the rest.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "preferences/my_view_controller.h"

namespace snaplark {
namespace {

// Writes go to one map that every handle shares; clicks never read the store back.
class MapDefaults final : public platform::UserDefaults, public platform::UserDefaultsStore {
public:
    std::optional<platform::PropertyValue> objectForKey(std::string_view) override { return {}; }
    bool boolForKey(std::string_view) override { return false; }
    void setBool(bool value, std::string_view key) override { (*values)[std::string(key)] = value; }
    void setString(const std::string&, std::string_view) override {}
    std::unique_ptr<platform::UserDefaults> open() override
    {
        return std::make_unique<MapDefaults>(*this);
    }
    std::shared_ptr<std::map<std::string, bool>> values =
        std::make_shared<std::map<std::string, bool>>();
};

struct Checkbox final : platform::Button {
    platform::ControlState state() const override { return value; }
    void setState(platform::ControlState state) override { value = state; }
    platform::ControlState value = platform::stateOff;
};

TEST(MyViewController, WritesOnlyWhatAConnectedCheckboxShows)
{
    MapDefaults store;
    auto paste = std::make_shared<Checkbox>();
    MyViewController view(store);
    view.connectOutlet("btnPaste", paste);
    // No copy checkbox: nothing the user chose to write.
    view.perform(platform::Selector::onClickedCopy, nullptr);
    EXPECT_TRUE(store.values->empty());
    // A mixed state counts as off.
    paste->setState(-1);
    view.perform(platform::Selector::onClickedPaste, paste.get());
    EXPECT_EQ(*store.values, (std::map<std::string, bool>{{"boolEnablePaste", false}}));
}

}  // namespace
}  // namespace snaplark
