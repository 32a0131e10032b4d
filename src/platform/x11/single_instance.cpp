#include "platform/x11/single_instance.h"

namespace snaplark::platform::x11 {

bool claimSingleInstance(Display* d)
{
    const Atom atom = XInternAtom(d, "_SNAPLARK_AGENT", False);
    // Under the server grab no second agent can look between our look and our claim.
    XGrabServer(d);
    const bool free = XGetSelectionOwner(d, atom) == None;
    if (free) {
        const Window owner = XCreateSimpleWindow(d, DefaultRootWindow(d), -1, -1, 1, 1, 0, 0, 0);
        XSetSelectionOwner(d, atom, owner, CurrentTime);
    }
    XUngrabServer(d);
    XSync(d, False);
    return free;
}

}  // namespace snaplark::platform::x11
