#include "platform/bundle.h"

#include "platform/package_version.h"

namespace snaplark::platform {

InfoDictionary packageInfoDictionary()
{
    return {{shortVersionKey, std::string(packageShortVersion)},
            {buildVersionKey, std::string(packageBuildVersion)}};
}

}  // namespace snaplark::platform
