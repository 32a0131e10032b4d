#pragma once

#include <memory>

#include "platform/storyboard.h"
#include "platform/user_defaults.h"

namespace snaplark {

// The preferences view: one checkbox per gesture, each click saved to the settings store at once.
class MyViewController final : public platform::ViewController {
public:
    explicit MyViewController(platform::UserDefaultsStore& store);

    std::shared_ptr<platform::Button> btnCopy() const { return btnCopy_.lock(); }
    void setBtnCopy(std::weak_ptr<platform::Button> button) { btnCopy_ = std::move(button); }
    std::shared_ptr<platform::Button> btnPaste() const { return btnPaste_.lock(); }
    void setBtnPaste(std::weak_ptr<platform::Button> button) { btnPaste_ = std::move(button); }

    void viewDidLoad() override;
    void onClickedCopy(platform::Object* sender);
    void onClickedPaste(platform::Object* sender);

    void connectOutlet(std::string_view name,
                       const std::shared_ptr<platform::Button>& button) override;
    bool respondsTo(platform::Selector selector) const override;
    void perform(platform::Selector selector, platform::Object* sender) override;

private:
    platform::UserDefaultsStore& store_;
    // Outlets: the view hierarchy owns the checkboxes.
    std::weak_ptr<platform::Button> btnCopy_;
    std::weak_ptr<platform::Button> btnPaste_;

public:
    // This view's own copy of each switch; it meets the agent's only through the store.
    bool boolEnableCopy = true;
    bool boolEnablePaste = true;

private:
    void saveClick(const std::weak_ptr<platform::Button>& outlet, bool& field,
                   std::string_view key);
};

}  // namespace snaplark
