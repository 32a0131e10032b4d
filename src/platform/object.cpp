#include "platform/object.h"

namespace snaplark::platform {

std::string_view selectorName(Selector selector)
{
    switch (selector) {
    case Selector::timerTick: return "timerTick";
    case Selector::launchFromTrayWithSender: return "launchFromTrayWithSender";
    case Selector::disableFromTrayWithSender: return "disableFromTrayWithSender";
    case Selector::indefinitelyFromTrayWithSender: return "indefinitelyFromTrayWithSender";
    case Selector::hour1FromTrayWithSender: return "hour1FromTrayWithSender";
    case Selector::hour3FromTrayWithSender: return "hour3FromTrayWithSender";
    case Selector::hour6FromTrayWithSender: return "hour6FromTrayWithSender";
    case Selector::hour10FromTrayWithSender: return "hour10FromTrayWithSender";
    case Selector::preferenceFromTrayWithSender: return "preferenceFromTrayWithSender";
    case Selector::aboutFromTrayWithSender: return "aboutFromTrayWithSender";
    case Selector::howToUseFromTrayWithSender: return "howToUseFromTrayWithSender";
    case Selector::terminate: return "terminate";
    case Selector::onClickedCopy: return "onClickedCopy";
    case Selector::onClickedPaste: return "onClickedPaste";
    case Selector::pauseFromTrayWithSender: return "pauseFromTrayWithSender";
    case Selector::onClickedCopyAfterSelection: return "onClickedCopyAfterSelection";
    case Selector::onClickedResumeApplication: return "onClickedResumeApplication";
    }
    return "?";
}

}  // namespace snaplark::platform
