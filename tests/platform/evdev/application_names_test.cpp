// What the user reads in "Pause in ..." and the preferences' list on Wayland, and what the
// notification says when the virtual keyboard cannot be made.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

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

// Without /dev/uinput the advice is to load the module; where it may not be written, it is about
// the permission (a read-only sysfs file refuses even root).
TEST(VirtualKeyboard, SaysWhyItCannotBeMade)
{
    VirtualKeyboard missing;
    const std::string why = missing.open("/nonexistent/uinput");
    EXPECT_FALSE(missing.isOpen());
    EXPECT_NE(why.find("No such file or directory"), std::string::npos) << why;
    EXPECT_NE(why.find("load the uinput module"), std::string::npos) << why;
    if (::access("/sys/kernel/notes", F_OK) == 0) {
        VirtualKeyboard refused;
        const std::string denied = refused.open("/sys/kernel/notes");
        EXPECT_NE(denied.find("(permission denied)"), std::string::npos) << denied;
    }
}

}  // namespace
}  // namespace snaplark::platform::evdev
