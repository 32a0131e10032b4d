#include "platform/win32/preferences_scene.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/autostart.h"
#include "platform/win32/resource_ids.h"
#include "platform/win32/shell.h"
#include "platform/win32/text.h"

namespace snaplark::platform::win32 {
namespace {

// The scene "mainWindow": its classes, and which checkbox is which outlet and sends which action.
constexpr std::string_view windowControllerClass = "MyWindowController";
constexpr std::string_view viewControllerClass = "MyViewController";

struct SceneCheckbox {
    int control;
    std::string_view outlet;
    Selector action;
};
constexpr std::array<SceneCheckbox, 3> sceneCheckboxes{{
    {SNAPLARK_COPY_CHECKBOX, "btnCopy", Selector::onClickedCopy},
    {SNAPLARK_PASTE_CHECKBOX, "btnPaste", Selector::onClickedPaste},
    {SNAPLARK_COPY_AFTER_SELECTION_CHECKBOX, "btnCopyAfterSelection",
     Selector::onClickedCopyAfterSelection},
}};
// The paused applications' list is the outlet "listPaused"; the button under it resumes the one
// chosen there.
constexpr std::string_view pausedListOutlet = "listPaused";

class Checkbox final : public Button {
public:
    Checkbox(HWND dialog, int control) : dialog_(dialog), control_(control) {}
    ControlState state() const override
    {
        return IsWindow(dialog_) && IsDlgButtonChecked(dialog_, control_) == BST_CHECKED ? stateOn
                                                                                         : stateOff;
    }
    void setState(ControlState state) override
    {
        if (IsWindow(dialog_))
            CheckDlgButton(dialog_, control_, isOn(state) ? BST_CHECKED : BST_UNCHECKED);
    }

private:
    HWND dialog_;
    int control_;
};

// A list box without LBS_SORT: LB_ADDSTRING appends, so that each row keeps the place of its
// entry, and LB_GETCURSEL is the chosen row (LB_ERR for none).
class ListBox final : public ItemList {
public:
    ListBox(HWND dialog, int control) : dialog_(dialog), control_(control) {}
    void setItems(const std::vector<std::string>& items) override
    {
        if (!IsWindow(dialog_)) return;
        SendDlgItemMessageW(dialog_, control_, LB_RESETCONTENT, 0, 0);
        for (const std::string& item : items) {
            const std::wstring text = wide(item);
            SendDlgItemMessageW(dialog_, control_, LB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(text.c_str()));
        }
    }
    std::optional<std::size_t> selectedIndex() const override
    {
        if (!IsWindow(dialog_)) return std::nullopt;
        const LRESULT row = SendDlgItemMessageW(dialog_, control_, LB_GETCURSEL, 0, 0);
        if (row < 0) return std::nullopt;
        return static_cast<std::size_t>(row);
    }

private:
    HWND dialog_;
    int control_;
};

class DialogWindow final : public Window {
public:
    explicit DialogWindow(HWND dialog) : dialog_(dialog) {}
    void show() override
    {
        if (!IsWindow(dialog_)) return;
        ShowWindow(dialog_, SW_SHOWNORMAL);
        SetForegroundWindow(dialog_);
    }

private:
    HWND dialog_;
};

}  // namespace

std::shared_ptr<WindowController> PreferencesScene::instantiate(Win32Services& services)
{
    auto controller = services.classes().makeWindowController(windowControllerClass);
    auto content = services.classes().makeViewController(viewControllerClass);
    if (!controller || !content) return nullptr;

    auto scene = std::make_unique<PreferencesScene>(services);
    const HWND dialog =
        CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(SNAPLARK_PREFERENCES),
                           nullptr, dialogProcedure, reinterpret_cast<LPARAM>(scene.get()));
    if (dialog == nullptr) return nullptr;
    scene->dialog_ = dialog;
    scene->window_ = std::make_shared<DialogWindow>(dialog);
    scene->controller_ = controller;
    scene->content_ = content;
    for (const SceneCheckbox& box : sceneCheckboxes) {
        auto checkbox = std::make_shared<Checkbox>(dialog, box.control);
        content->connectOutlet(box.outlet, checkbox);
        scene->outlets_.push_back({box.control, box.action, std::move(checkbox)});
    }
    scene->pausedList_ = std::make_shared<ListBox>(dialog, SNAPLARK_PAUSED_LIST);
    content->connectList(pausedListOutlet, scene->pausedList_);
    CheckDlgButton(dialog, SNAPLARK_START_AT_LOGIN_CHECKBOX,
                   startsAtLogin() ? BST_CHECKED : BST_UNCHECKED);
    controller->setWindow(scene->window_);
    controller->setContentViewController(content);
    content->viewDidLoad();
    controller->windowDidLoad();
    services.addScene(std::move(scene));
    return controller;
}

PreferencesScene::~PreferencesScene()
{
    if (dialog_ != nullptr) {
        SetWindowLongPtrW(dialog_, DWLP_USER, 0);
        DestroyWindow(dialog_);
    }
}

INT_PTR CALLBACK PreferencesScene::dialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                                   LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return TRUE;
    }
    auto* scene = reinterpret_cast<PreferencesScene*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (scene == nullptr) return FALSE;
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
            DestroyWindow(dialog);
        } else if (HIWORD(wParam) == BN_CLICKED) {
            scene->clicked(LOWORD(wParam));
        }
        return TRUE;
    // What the window shows is read again from the settings each time it comes to the front:
    // the menu may have paused or resumed an application meanwhile, and the resume button must
    // find the entry where the list shows it. (The view's load reads everything from the store.)
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && scene->content_) scene->content_->viewDidLoad();
        return FALSE;
    case WM_CLOSE: DestroyWindow(dialog); return TRUE;
    case WM_NCDESTROY:
        // The window is gone: the scene goes with it (one without a window is the one to drop).
        scene->dialog_ = nullptr;
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        scene->services_.removeScene(nullptr);
        return TRUE;
    default: return FALSE;
    }
}

void PreferencesScene::clicked(int control)
{
    if (control == SNAPLARK_START_AT_LOGIN_CHECKBOX) {
        const bool wanted = IsDlgButtonChecked(dialog_, control) == BST_CHECKED;
        if (!setStartsAtLogin(wanted)) {
            CheckDlgButton(dialog_, control, startsAtLogin() ? BST_CHECKED : BST_UNCHECKED);
        }
        services_.showInOtherScenes(dialog_, control, startsAtLogin());
        return;
    }
    if (control == SNAPLARK_RESUME_BUTTON) {
        services_.sendAction(Selector::onClickedResumeApplication, content_.get(), nullptr);
        return;
    }
    for (const Outlet& outlet : outlets_) {
        if (outlet.control != control) continue;
        services_.sendAction(outlet.action, content_.get(), outlet.button.get());
        services_.showInOtherScenes(dialog_, control, isOn(outlet.button->state()));
    }
}

namespace {

// The "Main" storyboard has one scene, "mainWindow": the preferences dialog.
class DialogStoryboard final : public Storyboard {
public:
    explicit DialogStoryboard(Win32Services& services) : services_(services) {}
    std::shared_ptr<WindowController>
    instantiateControllerWithIdentifier(std::string_view identifier) override
    {
        if (identifier != "mainWindow") return nullptr;
        return PreferencesScene::instantiate(services_);
    }

private:
    Win32Services& services_;
};

}  // namespace

std::unique_ptr<Storyboard> Win32Services::storyboardWithName(std::string_view name)
{
    if (name != "Main") return nullptr;
    return std::make_unique<DialogStoryboard>(*this);
}

}  // namespace snaplark::platform::win32
