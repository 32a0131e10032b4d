#include "platform/x11/focus.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>

#include "platform/x11/display.h"

namespace snaplark::platform::x11 {
namespace {

// Windows whose focus a user visits in a session are few; past this many, start over.
constexpr std::size_t maxEntries = 256;

}  // namespace

TerminalKind TerminalKinds::of(Window focus)
{
    if (focus == None || focus == PointerRoot) return TerminalKind::none;
    return entryOf(focus).kind;
}

ActiveApplication TerminalKinds::applicationOf(Window focus)
{
    if (focus == None || focus == PointerRoot) return {};
    return entryOf(focus).application;
}

const TerminalKinds::Entry& TerminalKinds::entryOf(Window focus)
{
    if (const auto found = entries_.find(focus); found != entries_.end()) return found->second;
    if (entries_.size() >= maxEntries) entries_.clear();
    return entries_.emplace(focus, walk(focus)).first->second;
}

TerminalKinds::Entry TerminalKinds::walk(Window focus)
{
    Entry entry{TerminalKind::none, {}, {}};
    Window window = focus;
    for (int depth = 0; depth < maxWindowDepth && window != None; ++depth) {
        // Watched before it is read, so that a change right after the read is not missed.
        XSelectInput(d_, window, PropertyChangeMask | StructureNotifyMask);
        entry.path.push_back(window);
        XClassHint hint{};
        if (XGetClassHint(d_, window, &hint) != 0) {
            entry.kind = terminalKindOf(hint.res_name ? hint.res_name : "",
                                        hint.res_class ? hint.res_class : "");
            if (hint.res_class && *hint.res_class) {
                entry.application = {hint.res_class, hint.res_class};
            }
            if (hint.res_name) XFree(hint.res_name);
            if (hint.res_class) XFree(hint.res_class);
            break;
        }
        Window root = None, parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(d_, window, &root, &parent, &children, &count)) break;
        if (children) XFree(children);
        if (parent == root) break;
        window = parent;
    }
    return entry;
}

void TerminalKinds::handle(const XEvent& event)
{
    switch (event.type) {
    case PropertyNotify:
        if (event.xproperty.atom == XA_WM_CLASS) forget(event.xproperty.window);
        break;
    case ReparentNotify: forget(event.xreparent.window); break;
    case DestroyNotify: forget(event.xdestroywindow.window); break;
    default: break;
    }
}

void TerminalKinds::forget(Window window)
{
    std::erase_if(entries_, [window](const auto& item) {
        const std::vector<Window>& path = item.second.path;
        return std::find(path.begin(), path.end(), window) != path.end();
    });
}

}  // namespace snaplark::platform::x11
