#pragma once

#include <memory>
#include <vector>

#include "platform/event_monitor.h"
#include "platform/storyboard.h"
#include "platform/user_defaults.h"

namespace snaplark {

// The preferences view: one checkbox per gesture and one to copy only after a selection, each
// click saved to the settings store at once, and the list of applications the gestures are paused
// in, whose chosen entry can be resumed.
class MyViewController final : public platform::ViewController {
public:
    explicit MyViewController(platform::UserDefaultsStore& store);

    std::shared_ptr<platform::Button> btnCopy() const { return btnCopy_.lock(); }
    void setBtnCopy(std::weak_ptr<platform::Button> button) { btnCopy_ = std::move(button); }
    std::shared_ptr<platform::Button> btnPaste() const { return btnPaste_.lock(); }
    void setBtnPaste(std::weak_ptr<platform::Button> button) { btnPaste_ = std::move(button); }
    std::shared_ptr<platform::Button> btnCopyAfterSelection() const
    {
        return btnCopyAfterSelection_.lock();
    }
    std::shared_ptr<platform::ItemList> listPaused() const { return listPaused_.lock(); }

    void viewDidLoad() override;
    void onClickedCopy(platform::Object* sender);
    void onClickedPaste(platform::Object* sender);
    void onClickedCopyAfterSelection(platform::Object* sender);
    void onClickedResumeApplication(platform::Object* sender);

    void connectOutlet(std::string_view name,
                       const std::shared_ptr<platform::Button>& button) override;
    void connectList(std::string_view name,
                     const std::shared_ptr<platform::ItemList>& list) override;
    bool respondsTo(platform::Selector selector) const override;
    void perform(platform::Selector selector, platform::Object* sender) override;

private:
    platform::UserDefaultsStore& store_;
    // Outlets: the view hierarchy owns the checkboxes.
    std::weak_ptr<platform::Button> btnCopy_;
    std::weak_ptr<platform::Button> btnPaste_;
    std::weak_ptr<platform::Button> btnCopyAfterSelection_;
    std::weak_ptr<platform::ItemList> listPaused_;
    // What the list shows, in its order: the entry chosen is found again by its id, whatever the
    // store holds meanwhile (the menu may pause or resume while the window is open).
    std::vector<platform::ActiveApplication> shownPaused_;

public:
    // This view's own copy of each switch; it meets the agent's only through the store.
    bool boolEnableCopy = true;
    bool boolEnablePaste = true;
    bool boolCopyOnlyAfterSelection = false;

private:
    void saveClick(const std::weak_ptr<platform::Button>& outlet, bool& field,
                   std::string_view key);
    void showPaused(platform::UserDefaults& defaults);
};

}  // namespace snaplark
