#include "platform/application.h"

namespace snaplark::platform {

void sendAction(Application& application, ApplicationDelegate* delegate, Selector action,
                Responder* target, Object* sender)
{
    if (target != nullptr) {
        if (target->respondsTo(action)) target->perform(action, sender);
        return;
    }
    if (action == Selector::terminate) {
        application.terminate(sender);
        return;
    }
    if (delegate != nullptr && delegate->respondsTo(action)) delegate->perform(action, sender);
}

}  // namespace snaplark::platform
