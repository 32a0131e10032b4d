#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/evdev/typist.h"

struct xkb_context;

namespace snaplark::inputd {

using platform::evdev::ChordKeys;

// The pairs of keys that type c and v in some layout of the system's keyboard data: the only
// pairs a client may have its chords typed with, so that whatever it claims, its copy types a
// key that some real layout gives c and its paste that layout's v. The C and V positions are
// always allowed (they are what a layout without Latin letters gets). The layouts are compiled
// only when a pair is asked about that no layout compiled so far has, so most agents cost
// nothing and the whole set costs about a second of the service's life, once.
class LayoutPairs {
public:
    // `root`: the keyboard data (the directory holding rules/ and symbols/).
    explicit LayoutPairs(std::string root = "/usr/share/X11/xkb");
    ~LayoutPairs();
    LayoutPairs(const LayoutPairs&) = delete;
    LayoutPairs& operator=(const LayoutPairs&) = delete;

    bool isReal(ChordKeys keys);

private:
    bool compileNext();

    std::string root_;
    xkb_context* context_ = nullptr;
    std::vector<std::pair<std::string, std::string>> layouts_;  // layout, variant
    bool listed_ = false;
    std::size_t compiled_ = 0;
    std::set<std::pair<std::uint16_t, std::uint16_t>> pairs_;
};

}  // namespace snaplark::inputd
