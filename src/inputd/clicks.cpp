#include "inputd/clicks.h"

#include <algorithm>

namespace snaplark::inputd {
namespace {

// The device-independent half of the flag word, as the agent classifies it: Caps Lock or any
// other modifier makes a click no gesture.
constexpr platform::ModifierFlags deviceIndependent = 0xFFFF0000;

}  // namespace

std::optional<ChordRequest::Action> gestureOf(const Click& click)
{
    namespace modifier = platform::modifier;
    const platform::ModifierFlags held = click.flags & deviceIndependent;
    if (!click.press && held == modifier::command) return ChordRequest::Action::copy;
    if (click.press && held == (modifier::command | modifier::shift)) {
        return ChordRequest::Action::paste;
    }
    return std::nullopt;
}

void Clicks::heard(std::uint64_t id, const Click& click)
{
    heard_.push_back({id, gestureOf(click), click.time});
    if (heard_.size() > kept) heard_.pop_front();
}

Outcome::Code Clicks::judge(ChordRequest::Action action, std::uint64_t id, std::int64_t now)
{
    const auto click = std::find_if(heard_.begin(), heard_.end(),
                                    [id](const Heard& heard) { return heard.id == id; });
    if (click == heard_.end() || click->gesture != action) return Outcome::Code::noGesture;
    if (click->answered) return Outcome::Code::used;
    // A click stamped later than now came from a clock we do not share: no answer either.
    if (now - click->time > maxAge || click->time > now) return Outcome::Code::stale;
    click->answered = true;
    return Outcome::Code::typed;
}

}  // namespace snaplark::inputd
