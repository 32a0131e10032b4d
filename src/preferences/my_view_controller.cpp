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
    refreshSwitchFromSettings(*defaults, copyOnlyAfterSelectionKey, boolCopyOnlyAfterSelection);
    if (auto button = btnCopy()) button->setState(stateFor(boolEnableCopy));
    if (auto button = btnPaste()) button->setState(stateFor(boolEnablePaste));
    if (auto button = btnCopyAfterSelection()) {
        button->setState(stateFor(boolCopyOnlyAfterSelection));
    }
    showPaused(*defaults);
}

void MyViewController::showPaused(platform::UserDefaults& defaults)
{
    auto list = listPaused();
    if (!list) return;
    shownPaused_ = pausedApplications(defaults);
    std::vector<std::string> names;
    for (const auto& application : shownPaused_)
        names.push_back(application.name);
    list->setItems(names);
}

void MyViewController::onClickedCopy(platform::Object* /*sender*/)
{
    saveClick(btnCopy_, boolEnableCopy, enableCopyKey);
}

void MyViewController::onClickedPaste(platform::Object* /*sender*/)
{
    saveClick(btnPaste_, boolEnablePaste, enablePasteKey);
}

void MyViewController::onClickedCopyAfterSelection(platform::Object* /*sender*/)
{
    saveClick(btnCopyAfterSelection_, boolCopyOnlyAfterSelection, copyOnlyAfterSelectionKey);
}

// The list is read anew before the entry goes, since the agent's menu may have changed it
// meanwhile; the entry chosen goes by its id, not by its place.
void MyViewController::onClickedResumeApplication(platform::Object* /*sender*/)
{
    auto list = listPaused();
    if (!list) return;
    const auto chosen = list->selectedIndex();
    const auto defaults = store_.open();
    if (chosen && *chosen < shownPaused_.size()) {
        auto paused = pausedApplications(*defaults);
        const std::string id = shownPaused_[*chosen].id;
        std::erase_if(paused, [&id](const auto& application) { return application.id == id; });
        setPausedApplications(*defaults, paused);
    }
    showPaused(*defaults);
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
    if (name == "btnCopyAfterSelection") btnCopyAfterSelection_ = button;
}

void MyViewController::connectList(std::string_view name,
                                   const std::shared_ptr<platform::ItemList>& list)
{
    if (name == "listPaused") listPaused_ = list;
}

bool MyViewController::respondsTo(platform::Selector selector) const
{
    return selector == platform::Selector::onClickedCopy ||
           selector == platform::Selector::onClickedPaste ||
           selector == platform::Selector::onClickedCopyAfterSelection ||
           selector == platform::Selector::onClickedResumeApplication;
}

void MyViewController::perform(platform::Selector selector, platform::Object* sender)
{
    if (selector == platform::Selector::onClickedCopy) onClickedCopy(sender);
    if (selector == platform::Selector::onClickedPaste) onClickedPaste(sender);
    if (selector == platform::Selector::onClickedCopyAfterSelection) {
        onClickedCopyAfterSelection(sender);
    }
    if (selector == platform::Selector::onClickedResumeApplication) {
        onClickedResumeApplication(sender);
    }
}

}  // namespace snaplark
