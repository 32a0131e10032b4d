#include "platform/x11/focus.h"

#include <X11/Xutil.h>

#include "platform/x11/display.h"

namespace snaplark::platform::x11 {

TerminalKind focusedTerminalKind(Display* d)
{
    Window window = None;
    int revert = 0;
    XGetInputFocus(d, &window, &revert);
    for (int depth = 0; depth < maxWindowDepth && window != None && window != PointerRoot;
         ++depth) {
        XClassHint hint{};
        if (XGetClassHint(d, window, &hint) != 0) {
            const TerminalKind kind = terminalKindOf(hint.res_name ? hint.res_name : "",
                                                     hint.res_class ? hint.res_class : "");
            if (hint.res_name) XFree(hint.res_name);
            if (hint.res_class) XFree(hint.res_class);
            return kind;
        }
        Window root = None, parent = None;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(d, window, &root, &parent, &children, &count)) break;
        if (children) XFree(children);
        if (parent == root) break;
        window = parent;
    }
    return TerminalKind::none;
}

}  // namespace snaplark::platform::x11
