#pragma once

#include <chrono>
#include <cstddef>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/evdev/typist.h"

struct xkb_context;

namespace snaplark::inputd {

using platform::evdev::ChordKeys;

// What is known so far of whether two keys type c and v in some real layout.
enum class Realness { real, notReal, unknown };

// The judge of a client's keys, learning as the service has time.
class LayoutJudge {
public:
    virtual ~LayoutJudge() = default;
    virtual Realness judge(ChordKeys keys) = 0;
    // Learns more for about `budget`; false once everything is known.
    virtual bool learn(std::chrono::milliseconds budget) = 0;
};

// The pairs of keys that type c and v in some layout of the system's keyboard data: the only
// pairs a client may have its chords typed with, so that whatever it claims, its copy types a
// key that some real layout gives c and its paste that layout's v. The C and V positions are
// always allowed (they are what a layout without Latin letters gets). Layouts are compiled only
// while a client's pair is not known yet, a few milliseconds at a time so that clicks and other
// requests are not held up; all of them take about a second and a half of the service's life,
// once.
class LayoutPairs final : public LayoutJudge {
public:
    // `root`: the keyboard data (the directory holding rules/ and symbols/).
    explicit LayoutPairs(std::string root = "/usr/share/X11/xkb");
    ~LayoutPairs() override;
    LayoutPairs(const LayoutPairs&) = delete;
    LayoutPairs& operator=(const LayoutPairs&) = delete;

    Realness judge(ChordKeys keys) override;
    bool learn(std::chrono::milliseconds budget) override;

private:
    bool compileNext();

    std::string root_;
    xkb_context* context_ = nullptr;
    std::vector<std::pair<std::string, std::string>> layouts_;  // layout, variant
    bool listed_ = false;
    bool complete_ = false;
    std::size_t compiled_ = 0;
    std::set<std::pair<std::uint16_t, std::uint16_t>> pairs_;
};

}  // namespace snaplark::inputd
