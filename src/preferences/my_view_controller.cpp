#include "preferences/my_view_controller.h"

#include "preferences/settings_store.h"

namespace snaplark {
namespace {

platform::ControlState stateFor(bool on)
{
    return on ? platform::stateOn : platform::stateOff;
}

}  // namespace

MyViewController::MyViewController(platform::UserDefaultsStore& store) : store_(store) {}

void MyViewController::viewDidLoad()
{
    platform::ViewController::viewDidLoad();
    const auto defaults = store_.open();
    refreshSwitchFromSettings(*defaults, enableCopyKey, boolEnableCopy);
    refreshSwitchFromSettings(*defaults, enablePasteKey, boolEnablePaste);
    if (auto button = btnCopy()) button->setState(stateFor(boolEnableCopy));
    if (auto button = btnPaste()) button->setState(stateFor(boolEnablePaste));
}

void MyViewController::onClickedCopy(platform::Object* /*sender*/)
{
    saveClick(btnCopy_, boolEnableCopy, enableCopyKey);
}

void MyViewController::onClickedPaste(platform::Object* /*sender*/)
{
    saveClick(btnPaste_, boolEnablePaste, enablePasteKey);
}

// The checkbox has already changed when its action arrives, so its state is the new choice.
void MyViewController::saveClick(const std::weak_ptr<platform::Button>& outlet, bool& field,
                                 std::string_view key)
{
    const auto defaults = store_.open();
    auto button = outlet.lock();
    if (!button) return;  // never write a value the user did not choose
    field = platform::isOn(button->state());
    defaults->setBool(field, key);
}

void MyViewController::connectOutlet(std::string_view name,
                                     const std::shared_ptr<platform::Button>& button)
{
    if (name == "btnCopy") setBtnCopy(button);
    if (name == "btnPaste") setBtnPaste(button);
}

bool MyViewController::respondsTo(platform::Selector selector) const
{
    return selector == platform::Selector::onClickedCopy ||
           selector == platform::Selector::onClickedPaste;
}

void MyViewController::perform(platform::Selector selector, platform::Object* sender)
{
    if (selector == platform::Selector::onClickedCopy) onClickedCopy(sender);
    if (selector == platform::Selector::onClickedPaste) onClickedPaste(sender);
}

}  // namespace snaplark
