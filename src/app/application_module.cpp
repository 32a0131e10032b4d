#include "app/application_module.h"

#include "gesture/app_delegate.h"
#include "preferences/scene_classes.h"

namespace snaplark {

platform::ApplicationModule applicationModule()
{
    return {
        [](platform::Platform& platform) { return std::make_unique<AppDelegate>(platform); },
        [](platform::ClassRegistry& classes, platform::Platform& platform) {
            registerSceneClasses(classes, platform.userDefaults);
        },
    };
}

}  // namespace snaplark
