#include "gesture/app_delegate.h"

namespace snaplark {

using platform::isOn;
using platform::stateOff;
using platform::stateOn;

void AppDelegate::resetSchedule()
{
    boolInfinitely = false;
    intMinFromStart = 0;
    for (const auto& entry : {nsmenuItemDisable, nsmenuItemIndefinitely, nsmenuItemHour1,
                              nsmenuItemHour3, nsmenuItemHour6, nsmenuItemHour10}) {
        entry->setState(stateOff);
    }
}

void AppDelegate::disableFromTrayWithSender(platform::MenuItem& sender)
{
    const bool wasMarked = isOn(sender.state());
    resetSchedule();
    if (wasMarked) {
        sender.setState(stateOff);
        boolDisable = false;
        nsmenuItemIndefinitely->setState(stateOn);
        boolInfinitely = true;
    } else {
        sender.setState(stateOn);
        boolDisable = true;
    }
}

void AppDelegate::indefinitelyFromTrayWithSender(platform::MenuItem& sender)
{
    if (isOn(sender.state())) {
        // The marked entry starts a one-hour period.
        sender.setState(stateOff);
        boolInfinitely = false;
        intMinFromStart = 0;
        nsmenuItemHour1->setState(stateOn);
        intMinForDisable = 60;
    } else {
        resetSchedule();
        sender.setState(stateOn);
        boolInfinitely = true;
        // A new schedule chosen while suspended ends the suspension, so the "Disable" mark that
        // resetSchedule cleared and boolDisable keep agreeing.
        boolDisable = false;
    }
}

void AppDelegate::hour1FromTrayWithSender(platform::MenuItem& sender)
{
    choosePeriod(sender, 60);
}
void AppDelegate::hour3FromTrayWithSender(platform::MenuItem& sender)
{
    choosePeriod(sender, 180);
}
void AppDelegate::hour6FromTrayWithSender(platform::MenuItem& sender)
{
    choosePeriod(sender, 360);
}
void AppDelegate::hour10FromTrayWithSender(platform::MenuItem& sender)
{
    choosePeriod(sender, 600);
}

void AppDelegate::choosePeriod(platform::MenuItem& sender, std::int64_t minutes)
{
    if (isOn(sender.state())) {
        // The marked period returns to no limit; the count and the old limit stay.
        sender.setState(stateOff);
        nsmenuItemIndefinitely->setState(stateOn);
        boolInfinitely = true;
    } else {
        resetSchedule();
        sender.setState(stateOn);
        intMinForDisable = minutes;
        boolDisable = false;  // as for "Indefinitely": a new period starts active
    }
}

// Counts ticks, never the clock: the limit is passed at the tick that takes the count past it.
void AppDelegate::timerTick()
{
    ++intMinFromStart;
    if (boolInfinitely) return;
    if (intMinFromStart <= intMinForDisable) return;
    boolDisable = true;
    nsmenuItemDisable->setState(stateOn);
}

}  // namespace snaplark
