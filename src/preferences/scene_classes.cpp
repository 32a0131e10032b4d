#include "preferences/scene_classes.h"

#include "preferences/my_view_controller.h"

namespace snaplark {

void registerSceneClasses(platform::ClassRegistry& classes, platform::UserDefaultsStore& store)
{
    classes.registerWindowController("MyWindowController",
                                     [] { return std::make_shared<MyWindowController>(); });
    classes.registerViewController("MyViewController",
                                   [&store] { return std::make_shared<MyViewController>(store); });
    classes.registerViewController("ViewController",
                                   [] { return std::make_shared<ViewController>(); });
}

}  // namespace snaplark
