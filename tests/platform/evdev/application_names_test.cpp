// What the user reads in "Pause in ..." and the preferences' list on Wayland, and what the
// notification says when the virtual keyboard cannot be made.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/evdev/application_names.h"
#include "platform/evdev/virtual_keyboard.h"

namespace snaplark::platform::evdev {
namespace {

namespace fs = std::filesystem;

// An application's entry may sit in any data folder, and the first one that has it counts: the
// user's own folder first, then each of XDG_DATA_DIRS in order.
TEST(ApplicationNames, TheFirstDataFolderWithTheEntryNamesIt)
{
    const fs::path root =
        fs::temp_directory_path() / ("snaplark-names-" + std::to_string(getpid()));
    const auto entry = [&](const std::string& folder, const std::string& id,
                           const std::string& text) {
        fs::create_directories(root / folder / "applications");
        std::ofstream(root / folder / "applications" / (id + ".desktop")) << text;
    };
    entry("system", "org.example.Editor", "[Desktop Entry]\nType=Application\nName=Text Editor\n");
    entry("local", "org.example.Viewer", "[Desktop Entry]\nName=Picture Viewer\n");
    entry("system", "org.example.Viewer", "[Desktop Entry]\nName=Old Viewer\n");
    entry("system", "org.example.Actions", "[Desktop Action new]\nName=New Window\n");
    ::setenv("XDG_DATA_HOME", (root / "home").c_str(), 1);
    ::setenv("XDG_DATA_DIRS",
             ((root / "local").string() + ":" + (root / "system").string()).c_str(), 1);
    ApplicationNames names;
    const std::pair<std::string, std::string> cases[] = {
        {"org.example.Editor", "Text Editor"},  // only in the last folder
        {"org.example.Viewer", "Picture Viewer"},
        {"org.example.Actions", "Actions"},  // a Name outside [Desktop Entry] is not the app's
        {"org.example.Missing", "Missing"},
        {"../system/applications/org.example.Editor", "Editor"},  // names no file
    };
    for (const auto& [id, name] : cases)
        EXPECT_EQ(names.of(id), name) << id;
    fs::remove_all(root);
}

// Without /dev/uinput the advice is to load the module, not to ask for permission.
TEST(VirtualKeyboard, SaysWhyItCannotBeMade)
{
    VirtualKeyboard keyboard;
    const std::string why = keyboard.open("/nonexistent/uinput");
    EXPECT_FALSE(keyboard.isOpen());
    EXPECT_NE(why.find("No such file or directory"), std::string::npos) << why;
    EXPECT_NE(why.find("load the uinput module"), std::string::npos) << why;
}

}  // namespace
}  // namespace snaplark::platform::evdev
