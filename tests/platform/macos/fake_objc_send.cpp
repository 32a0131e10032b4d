// objc_msgSend is declared without a prototype and called through a cast to each message's type.
// This definition takes the widest of the messages the macOS input sends (receiver, selector and
// one integer); it lives apart from the headers so that its own type does not clash with theirs.
extern "C" void* receiveMessage(void* receiver, void* selector, long argument);

extern "C" void* objc_msgSend(void* receiver, void* selector, long argument)
{
    return receiveMessage(receiver, selector, argument);
}
