#include "inputd/layouts.h"

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>
#include <xkbcommon/xkbregistry.h>

#include "platform/evdev/keymap_keys.h"
#include "platform/evdev/service_protocol.h"

namespace snaplark::inputd {

LayoutPairs::LayoutPairs(std::string root) : root_(std::move(root))
{
    pairs_.insert({KEY_C, KEY_V});
}

LayoutPairs::~LayoutPairs()
{
    if (context_ != nullptr) xkb_context_unref(context_);
}

Realness LayoutPairs::judge(ChordKeys keys)
{
    namespace service = platform::evdev::service;
    if (keys.c == keys.v || !service::isLetterBlockKey(keys.c) ||
        !service::isLetterBlockKey(keys.v)) {
        return Realness::notReal;
    }
    if (pairs_.count({keys.c, keys.v}) != 0) return Realness::real;
    return complete_ ? Realness::notReal : Realness::unknown;
}

bool LayoutPairs::learn(std::chrono::milliseconds budget)
{
    const auto end = std::chrono::steady_clock::now() + budget;
    while (!complete_ && std::chrono::steady_clock::now() < end)
        complete_ = !compileNext();
    return !complete_;
}

// Compiles the next layout of the list, listing them first; false once all are done.
bool LayoutPairs::compileNext()
{
    if (!listed_) {
        listed_ = true;
        // Only the system's data: neither the environment nor a home directory says where it is
        // (xkbregistry(3), RXKB_CONTEXT_NO_DEFAULT_INCLUDES).
        rxkb_context* registry = rxkb_context_new(static_cast<rxkb_context_flags>(
            RXKB_CONTEXT_NO_DEFAULT_INCLUDES | RXKB_CONTEXT_NO_SECURE_GETENV));
        if (registry == nullptr) return false;
        rxkb_context_set_log_level(registry, RXKB_LOG_LEVEL_CRITICAL);
        if (rxkb_context_include_path_append(registry, root_.c_str()) &&
            rxkb_context_parse(registry, "evdev")) {
            for (rxkb_layout* layout = rxkb_layout_first(registry); layout != nullptr;
                 layout = rxkb_layout_next(layout)) {
                const char* variant = rxkb_layout_get_variant(layout);
                layouts_.emplace_back(rxkb_layout_get_name(layout), variant ? variant : "");
            }
        }
        rxkb_context_unref(registry);
        context_ = xkb_context_new(static_cast<xkb_context_flags>(
            XKB_CONTEXT_NO_DEFAULT_INCLUDES | XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
        if (context_ == nullptr) return false;
        xkb_context_set_log_level(context_, XKB_LOG_LEVEL_CRITICAL);
        xkb_context_include_path_append(context_, root_.c_str());
    }
    if (context_ == nullptr || compiled_ >= layouts_.size()) return false;
    const auto& [layout, variant] = layouts_[compiled_++];
    const xkb_rule_names names{"evdev", "pc105", layout.c_str(), variant.c_str(), ""};
    if (xkb_keymap* keymap =
            xkb_keymap_new_from_names(context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS)) {
        const ChordKeys keys = platform::evdev::chordKeysOf(keymap);
        pairs_.insert({keys.c, keys.v});
        xkb_keymap_unref(keymap);
    }
    return true;
}

}  // namespace snaplark::inputd
