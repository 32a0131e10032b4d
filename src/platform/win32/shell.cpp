#include "platform/win32/shell.h"

#include <shellapi.h>
#include <wtsapi32.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cwchar>
#include <optional>
#include <utility>

#include "platform/win32/preferences_scene.h"
#include "platform/win32/program_icon.h"
#include "platform/win32/registry.h"
#include "platform/win32/resource_ids.h"
#include "platform/win32/text.h"

namespace snaplark::platform::win32 {
namespace {

constexpr UINT iconMessage = WM_APP + 3;
constexpr UINT firstMenuCommand = 100;
constexpr long firstButtonResponse = 1000;
constexpr wchar_t windowClassName[] = L"SnaplarkAgent";
// Far above the ids the minute timers get.
constexpr UINT_PTR iconRetryTimer = 0x7E00;
constexpr UINT iconRetryMilliseconds = 2000;
// Beside the settings: 1 once the first start's notice was shown.
constexpr wchar_t iconNoticeShown[] = L"iconNoticeShown";

// The program's icon at one size; loaded again at another when the notification area's DPI
// changes.
class Win32Image final : public Image {
public:
    Win32Image(HICON icon, int size) : icon_(icon), size_(size) {}
    ~Win32Image() override { DestroyIcon(icon_); }
    Win32Image(const Win32Image&) = delete;
    Win32Image& operator=(const Win32Image&) = delete;
    HICON icon() const { return icon_; }
    int size() const { return size_; }
    // Takes the icon at its new size; the old handle is the caller's, to destroy once nothing
    // shows it.
    HICON replace(HICON icon, int size)
    {
        size_ = size;
        return std::exchange(icon_, icon);
    }

private:
    HICON icon_;
    int size_;
};

class TimerHandle final : public Timer {};

// A menu shows "&" as the mark of the next letter's shortcut; "&&" is an ampersand ("AT&T").
std::wstring menuText(std::string_view title)
{
    std::wstring text;
    for (const wchar_t c : wide(title)) {
        text += c;
        if (c == L'&') text += L'&';
    }
    return text;
}

class Win32MenuItem final : public MenuItem {
public:
    Win32MenuItem(Win32Services& services, std::string_view title, std::optional<Selector> action)
        : services_(services), title_(menuText(title)), action_(action),
          isSuspendEntry_(action == Selector::disableFromTrayWithSender)
    {
    }
    ControlState state() const override { return state_; }
    void setState(ControlState state) override
    {
        state_ = state;
        if (menu_ != nullptr) {
            CheckMenuItem(menu_, command_,
                          MF_BYCOMMAND | (isOn(state) ? MF_CHECKED : MF_UNCHECKED));
        }
        // The "Disable" mark is the one the agent keeps equal to its suspension.
        if (isSuspendEntry_) services_.showSuspended(isOn(state));
    }
    // SetMenuItemInfoW with MIIM_STRING sets the text alone (dwTypeData; cch is ignored).
    void setTitle(std::string_view title) override
    {
        title_ = menuText(title);
        if (menu_ == nullptr) return;
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING;
        info.dwTypeData = title_.data();
        SetMenuItemInfoW(menu_, command_, FALSE, &info);
    }
    void setEnabled(bool enabled) override
    {
        enabled_ = enabled;
        if (menu_ != nullptr)
            EnableMenuItem(menu_, command_, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    }
    void appendTo(HMENU menu, UINT command)
    {
        menu_ = menu;
        command_ = command;
        if (!action_) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            return;
        }
        AppendMenuW(menu,
                    MF_STRING | (isOn(state_) ? MF_CHECKED : MF_UNCHECKED) |
                        (enabled_ ? MF_ENABLED : MF_GRAYED),
                    command, title_.c_str());
    }
    std::optional<Selector> action() const { return action_; }

private:
    Win32Services& services_;
    std::wstring title_;
    const std::optional<Selector> action_;
    const bool isSuspendEntry_;
    ControlState state_ = stateOff;
    bool enabled_ = true;
    HMENU menu_ = nullptr;
    UINT command_ = 0;
};

class Win32Menu final : public Menu {
public:
    Win32Menu() : menu_(CreatePopupMenu()) {}
    ~Win32Menu() override { DestroyMenu(menu_); }
    Win32Menu(const Win32Menu&) = delete;
    Win32Menu& operator=(const Win32Menu&) = delete;

    void addItem(std::shared_ptr<MenuItem> item) override
    {
        auto entry = std::dynamic_pointer_cast<Win32MenuItem>(item);
        if (!entry) return;
        entry->appendTo(menu_, firstMenuCommand + static_cast<UINT>(items_.size()));
        items_.push_back(std::move(entry));
    }

    void setDelegate(MenuDelegate* delegate) override { delegate_ = delegate; }

    // Shows the menu at the point and returns the entry chosen, if any.
    std::shared_ptr<Win32MenuItem> popUp(HWND owner, POINT point)
    {
        // The entries say what they would do now, before the menu takes the foreground: the
        // application the pause entry names is the one the user was in.
        if (delegate_ != nullptr) delegate_->menuWillOpen();
        // A menu of a window that is not in the foreground does not close when the user clicks
        // elsewhere.
        SetForegroundWindow(owner);
        const UINT alignment =
            GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0 ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
        const auto command = static_cast<UINT>(
            TrackPopupMenuEx(menu_, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON | alignment,
                             point.x, point.y, owner, nullptr));
        PostMessageW(owner, WM_NULL, 0, 0);
        if (command < firstMenuCommand || command - firstMenuCommand >= items_.size()) {
            return nullptr;
        }
        return items_[command - firstMenuCommand];
    }

private:
    HMENU menu_;
    MenuDelegate* delegate_ = nullptr;
    std::vector<std::shared_ptr<Win32MenuItem>> items_;
};

class IconButton final : public StatusButton {
public:
    explicit IconButton(std::function<void(HICON)> showIcon) : showIcon_(std::move(showIcon)) {}
    void setImage(std::shared_ptr<Image> image) override
    {
        auto* icon = dynamic_cast<Win32Image*>(image.get());
        showIcon_(icon != nullptr ? icon->icon() : nullptr);
        image_ = std::move(image);
    }
    Win32Image* image() const { return dynamic_cast<Win32Image*>(image_.get()); }
    // A notification icon has one picture for every state.
    void setAlternateImage(std::shared_ptr<Image> image) override { alternate_ = std::move(image); }
    void setAction(Selector action) override { action_ = action; }
    void setTarget(Responder* target) override { target_ = target; }

    std::optional<Selector> action() const { return action_; }
    Responder* target() const { return target_; }

private:
    std::function<void(HICON)> showIcon_;
    std::shared_ptr<Image> image_;
    std::shared_ptr<Image> alternate_;
    std::optional<Selector> action_;
    Responder* target_ = nullptr;
};

class Win32Alert final : public Alert {
public:
    void setMessageText(std::string_view text) override { message_ = wide(text); }
    void setInformativeText(std::string_view text) override { informative_ = wide(text); }
    void addButtonWithTitle(std::string_view title) override { buttons_.push_back(wide(title)); }
    // A message box has the one button every alert of the agent has: "OK".
    long runModal() override
    {
        MessageBoxW(nullptr, informative_.c_str(), message_.c_str(),
                    MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
        return firstButtonResponse;
    }

private:
    std::wstring message_;
    std::wstring informative_;
    std::vector<std::wstring> buttons_;
};

}  // namespace

NOTIFYICONDATAW balloonFrom(const NOTIFYICONDATAW& icon, const std::wstring& title,
                            const std::wstring& text)
{
    NOTIFYICONDATAW balloon = icon;
    balloon.uFlags = NIF_INFO;
    balloon.dwInfoFlags = NIIF_INFO;
    // Each field ends in a NUL, whatever the icon's data held there.
    wcsncpy(balloon.szInfoTitle, title.c_str(), std::size(balloon.szInfoTitle) - 1);
    balloon.szInfoTitle[std::size(balloon.szInfoTitle) - 1] = L'\0';
    wcsncpy(balloon.szInfo, text.c_str(), std::size(balloon.szInfo) - 1);
    balloon.szInfo[std::size(balloon.szInfo) - 1] = L'\0';
    return balloon;
}

// A balloon the notification area shows from the icon (on Windows 10 and 11, a notification).
struct Notice {
    std::wstring title;
    std::wstring text;
    std::function<void()> shown;
};

// The notification-area icon: a click with the left or right button, or the keyboard's selection,
// opens its menu; the middle button delivers the button's own action.
class NotificationIcon final : public StatusItem {
public:
    NotificationIcon(Win32Services& services, UINT id)
        : services_(services), button_([this](HICON icon) {
              data_.hIcon = icon;
              update();
          })
    {
        data_.cbSize = sizeof data_;
        data_.hWnd = services.window();
        data_.uID = id;
        data_.uCallbackMessage = iconMessage;
        showSuspended(false);
        if (!add()) services.retryIcons();
    }
    ~NotificationIcon() override { Shell_NotifyIconW(NIM_DELETE, &data_); }
    NotificationIcon(const NotificationIcon&) = delete;
    NotificationIcon& operator=(const NotificationIcon&) = delete;

    // Also after the task bar was recreated (Explorer restarted), when every icon must be added
    // again. False when the notification area is not there yet (the agent started at login before
    // Explorer): Shell_NotifyIcon then fails, and the caller tries again later.
    bool add()
    {
        data_.uFlags = shownFlags();
        // Shell_NotifyIcon waits only so long for the notification area and then reports failure,
        // though the icon may have been added all the same (and a second NIM_ADD of the same id
        // fails). A NIM_MODIFY of the id succeeds only when the icon is there, and sends the
        // picture and the tool tip it must show.
        added_ = Shell_NotifyIconW(NIM_ADD, &data_) != FALSE ||
                 Shell_NotifyIconW(NIM_MODIFY, &data_) != FALSE;
        if (!added_) return false;
        // "NIM_SETVERSION must be called every time a notification area icon is added": version 4
        // sends the keyboard's selection (NIN_KEYSELECT, WM_CONTEXTMENU) and where to open the
        // menu.
        data_.uVersion = NOTIFYICON_VERSION_4;
        version4_ = Shell_NotifyIconW(NIM_SETVERSION, &data_) != FALSE;
        noteIconRect(false);
        if (notice_) show(*std::exchange(notice_, std::nullopt));
        return true;
    }
    bool added() const { return added_; }
    void showSuspended(bool suspended)
    {
        const wchar_t* tip = suspended ? L"Snaplark is suspended" : L"Snaplark is active";
        std::wcsncpy(data_.szTip, tip, std::size(data_.szTip) - 1);
        update();
    }
    // Shows the notice from the icon now, or once the icon is there.
    void tell(Notice notice)
    {
        if (added_)
            show(notice);
        else
            notice_ = std::move(notice);
    }
    // A message of the icon's, true when it was this icon's. With version 4 the event is lParam's
    // low word, the icon's id its high word and wParam the point to open a menu at; before it,
    // wParam is the id and lParam the mouse message.
    bool onMessage(WPARAM wParam, LPARAM lParam)
    {
        if ((version4_ ? HIWORD(lParam) : wParam) != data_.uID) return false;
        const UINT event = LOWORD(lParam);
        // The pointer is over the icon (it moves there before any click): note where the icon is,
        // so that the click is known as ours.
        noteIconRect(true);
        POINT point{static_cast<short>(LOWORD(wParam)), static_cast<short>(HIWORD(wParam))};
        if (!version4_) GetCursorPos(&point);
        const bool keyboard = version4_ && (event == NIN_KEYSELECT || event == WM_CONTEXTMENU);
        const bool opensMenu = version4_ ? event == NIN_SELECT || keyboard
                                         : event == WM_LBUTTONUP || event == WM_RBUTTONUP;
        if (opensMenu && menu_) {
            services_.desktop().setMenuOpen(true);
            auto chosen = menu_->popUp(services_.window(), point);
            services_.desktop().setMenuOpen(false);
            if (chosen && chosen->action())
                services_.sendAction(*chosen->action(), nullptr, chosen.get());
            // NIM_SETFOCUS: a menu opened from the keyboard and left gives the focus back.
            else if (keyboard)
                Shell_NotifyIconW(NIM_SETFOCUS, &data_);
        } else if (event == WM_MBUTTONUP && button_.action()) {
            services_.sendAction(*button_.action(), button_.target(), &button_);
        }
        return true;
    }

    // Shows the picture at `size` pixels, loaded anew when it has another size.
    void fit(int size)
    {
        Win32Image* image = button_.image();
        if (image == nullptr || image->size() == size) return;
        const HICON fresh = loadProgramIcon(size);
        if (fresh == nullptr) return;
        const HICON old = image->replace(fresh, size);
        data_.hIcon = fresh;
        update();
        DestroyIcon(old);
    }

    // The icon is in the notification area from its creation; there is nothing to highlight.
    void setHighlightMode(bool /*highlight*/) override {}
    StatusButton* button() override { return &button_; }
    void setMenu(std::shared_ptr<Menu> menu) override
    {
        menu_ = std::dynamic_pointer_cast<Win32Menu>(menu);
    }

private:
    // NIF_SHOWTIP: with version 4 the tool tip is shown only when asked for.
    UINT shownFlags() const
    {
        return NIF_MESSAGE | NIF_TIP | NIF_SHOWTIP | (data_.hIcon != nullptr ? NIF_ICON : 0);
    }

    // Tells the observer where the icon is. Without Shell_NotifyIconGetRect (Wine has none) the
    // icon is the small window under the pointer while the pointer is on it, where a notification
    // area gives each icon a window of its own.
    void noteIconRect(bool pointerOnIcon)
    {
        NOTIFYICONIDENTIFIER identifier{};
        identifier.cbSize = sizeof identifier;
        identifier.hWnd = data_.hWnd;
        identifier.uID = data_.uID;
        RECT rect{};
        if (SUCCEEDED(Shell_NotifyIconGetRect(&identifier, &rect))) {
            services_.desktop().setIconRect(rect);
            return;
        }
        if (!pointerOnIcon) return;
        POINT cursor{};
        GetCursorPos(&cursor);
        const HWND under = WindowFromPoint(cursor);
        constexpr LONG largestIcon = 64;
        if (under != nullptr && GetWindowRect(under, &rect) &&
            rect.right - rect.left <= largestIcon && rect.bottom - rect.top <= largestIcon) {
            services_.desktop().setIconRect(rect);
        }
    }

    void update()
    {
        data_.uFlags = shownFlags();
        if (added_) Shell_NotifyIconW(NIM_MODIFY, &data_);
    }

    void show(const Notice& notice)
    {
        NOTIFYICONDATAW balloon = balloonFrom(data_, notice.title, notice.text);
        if (Shell_NotifyIconW(NIM_MODIFY, &balloon) && notice.shown) notice.shown();
    }

    Win32Services& services_;
    NOTIFYICONDATAW data_{};
    bool added_ = false;
    bool version4_ = false;
    std::optional<Notice> notice_;
    IconButton button_;
    std::shared_ptr<Win32Menu> menu_;
};

Win32Services::Win32Services(const ClassRegistry& classes)
    : classes_(classes), window_(createWindow(this)),
      taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")),
      desktop_(std::make_unique<Win32Desktop>(window_,
                                              [this](HWND window) { tellUnreachable(window); })),
      platform_{*this, *this, *this, *desktop_, *desktop_, *this, *this, *this, *this, *this},
      info_(packageInfoDictionary())
{
    // ChangeWindowMessageFilterEx: an agent started elevated would otherwise never hear Explorer,
    // which runs unelevated, announce a new task bar (UIPI drops registered messages from a lower
    // integrity level), and its icon would not come back.
    if (window_ != nullptr && taskbarCreated_ != 0)
        ChangeWindowMessageFilterEx(window_, taskbarCreated_, MSGFLT_ALLOW, nullptr);
    if (window_ != nullptr) WTSRegisterSessionNotification(window_, NOTIFY_FOR_THIS_SESSION);
}

HWND Win32Services::createWindow(Win32Services* services)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(SNAPLARK_ICON));
    windowClass.lpszClassName = windowClassName;
    RegisterClassExW(&windowClass);
    // A hidden top-level window rather than a message-only one: only top-level windows hear that
    // the task bar was recreated.
    return CreateWindowExW(0, windowClassName, L"Snaplark", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           instance, services);
}

Win32Services::~Win32Services()
{
    scenes_.clear();
    desktop_.reset();
    if (window_ != nullptr) WTSUnRegisterSessionNotification(window_);
    if (window_ != nullptr) DestroyWindow(window_);
    UnregisterClassW(windowClassName, GetModuleHandleW(nullptr));
}

int Win32Services::run()
{
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab, Space and Escape work in the preferences windows as in any dialog.
        std::vector<HWND> dialogs;
        for (const auto& scene : scenes_)
            dialogs.push_back(scene->dialog());
        if (std::any_of(dialogs.begin(), dialogs.end(),
                        [&](HWND dialog) { return IsDialogMessageW(dialog, &message) != 0; })) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

LRESULT CALLBACK Win32Services::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* services = reinterpret_cast<Win32Services*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (services == nullptr || services->window_ != window) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return services->handle(message, wParam, lParam);
}

LRESULT Win32Services::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case Win32Desktop::clickMessage: desktop_->onClick(); return 0;
    case Win32Desktop::keyMessage: desktop_->onKey(wParam, lParam); return 0;
    case Win32Desktop::unseenMessage: desktop_->onUnseen(); return 0;
    // Hooks can be lost across sleep: install them again. While the session is locked the secure
    // desktop has the input and the hooks see nothing: they are taken out, and installed afresh
    // when it is unlocked. WM_POWERBROADCAST goes to every top-level window; WM_WTSSESSION_CHANGE
    // after WTSRegisterSessionNotification.
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMRESUMEAUTOMATIC) desktop_->reinstallHooks();
        return TRUE;
    case WM_WTSSESSION_CHANGE:
        if (wParam == WTS_SESSION_LOCK || wParam == WTS_SESSION_UNLOCK)
            desktop_->setLocked(wParam == WTS_SESSION_LOCK);
        return 0;
    // The icon follows the notification area's DPI. WM_DPICHANGED comes to a per-monitor aware
    // top-level window (the manifest's PerMonitorV2) when "the DPI of the monitor hosting the
    // window changes": ours sits at the primary monitor's origin, where the task bar with the
    // notification area is, and its wParam is the new DPI. WM_DISPLAYCHANGE goes to every
    // top-level window when the displays change (another primary monitor), and WM_SETTINGCHANGE
    // when system metrics do ("check and reload any system parameter settings"), the small-icon
    // size among them. Each reloads only when the size differs.
    case WM_DPICHANGED: fitIcons(LOWORD(wParam)); return 0;
    case WM_DISPLAYCHANGE:
    case WM_SETTINGCHANGE: fitIcons(notificationAreaDpi(window_)); break;
    case iconMessage:
        for (const auto& weak : icons_) {
            if (auto icon = weak.lock(); icon && icon->onMessage(wParam, lParam)) break;
        }
        return 0;
    case WM_TIMER: {
        if (wParam == iconRetryTimer) {
            addIcons(false);
            return 0;
        }
        const auto found = timers_.find(wParam);
        if (found == timers_.end()) return 0;
        const TimerEntry entry = found->second;
        if (!entry.repeats) {
            KillTimer(window_, wParam);
            timers_.erase(found);
        }
        entry.target->perform(entry.selector, nullptr);
        return 0;
    }
    // Asked to close (a task manager, an installer): end as "Quit" does.
    case WM_CLOSE: terminate(nullptr); return 0;
    default: break;
    }
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        // A new Explorer may come with a new scale.
        fitIcons(notificationAreaDpi(window_));
        addIcons(true);
        return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void Win32Services::retryIcons()
{
    SetTimer(window_, iconRetryTimer, iconRetryMilliseconds, nullptr);
}

// Adds the icons that are not in the notification area (all of them when the task bar was
// recreated); while one is missing, the retry timer keeps ticking.
void Win32Services::addIcons(bool all)
{
    bool missing = false;
    for (const auto& weak : icons_) {
        if (auto icon = weak.lock(); icon && (all || !icon->added())) missing |= !icon->add();
    }
    if (missing)
        retryIcons();
    else
        KillTimer(window_, iconRetryTimer);
}

void Win32Services::fitIcons(UINT dpi)
{
    const int size = smallIconSize(dpi);
    for (const auto& weak : icons_) {
        if (auto icon = weak.lock()) icon->fit(size);
    }
}

void Win32Services::sendAction(Selector action, Responder* target, Object* sender)
{
    platform::sendAction(*this, delegate_, action, target, sender);
}

void Win32Services::tell(std::wstring title, std::wstring text, std::function<void()> shown)
{
    for (const auto& weak : icons_) {
        if (auto icon = weak.lock()) {
            icon->tell({std::move(title), std::move(text), std::move(shown)});
            return;
        }
    }
}

void Win32Services::greetOnFirstStart()
{
    if (RegistryKey(settingsKeyPath, RegistryKey::Access::read).value(iconNoticeShown)) return;
    tell(
        L"Snaplark is running",
        L"Its icon is in the notification area, at the right end of the task bar. If it is "
        L"hidden behind the arrow (^) there, drag it onto the task bar to keep it in sight.",
        [] {
            RegistryKey(settingsKeyPath, RegistryKey::Access::create).setNumber(iconNoticeShown, 1);
        });
}

void Win32Services::tellUnreachable(HWND window)
{
    std::erase_if(toldUnreachable_, [](HWND told) { return !IsWindow(told); });
    if (!toldUnreachable_.insert(window).second) return;
    wchar_t name[48] = {};
    GetWindowTextW(window, name, static_cast<int>(std::size(name)));
    tell(L"Snaplark cannot reach this window",
         L"\u201C" + std::wstring(name) +
             L"\u201D runs as administrator, and Windows keeps programs that do not from typing "
             L"into it. Copy and paste there with Ctrl+C and Ctrl+V.");
}

void Win32Services::showSuspended(bool suspended)
{
    for (const auto& weak : icons_) {
        if (auto icon = weak.lock()) icon->showSuspended(suspended);
    }
}

// Windows has no activation policy: the agent's only window is hidden and has no task-bar button,
// and its dialogs get one of their own while they are open.
void Win32Services::setActivationPolicy(ActivationPolicy /*policy*/) {}

void Win32Services::terminate(Object* /*sender*/)
{
    if (terminating_) return;
    terminating_ = true;
    if (delegate_ != nullptr) delegate_->applicationWillTerminate();
    PostQuitMessage(0);
}

std::shared_ptr<StatusItem> Win32Services::statusItemWithLength(double /*length*/)
{
    auto icon = std::make_shared<NotificationIcon>(*this, static_cast<UINT>(icons_.size() + 1));
    icons_.push_back(icon);
    return icon;
}

std::shared_ptr<Image> Win32Services::imageNamed(std::string_view name)
{
    if (name != "StatusBarButtonImage") return nullptr;
    const int size = smallIconSize(notificationAreaDpi(window_));
    const HICON icon = loadProgramIcon(size);
    if (icon == nullptr) return nullptr;
    return std::make_shared<Win32Image>(icon, size);
}

std::shared_ptr<Menu> Win32Services::makeMenu()
{
    return std::make_shared<Win32Menu>();
}

std::shared_ptr<MenuItem> Win32Services::makeMenuItem(std::string_view title, Selector action,
                                                      std::string_view /*keyEquivalent*/)
{
    return std::make_shared<Win32MenuItem>(*this, title, action);
}

std::shared_ptr<MenuItem> Win32Services::separatorItem()
{
    return std::make_shared<Win32MenuItem>(*this, "", std::nullopt);
}

// Window timers are delivered by every message loop of the thread, the menu's and the message
// boxes' included, so they tick in every mode.
std::shared_ptr<Timer> Win32Services::scheduledTimer(double intervalSeconds, Responder& target,
                                                     Selector selector, bool repeats)
{
    const UINT_PTR id = nextTimer_++;
    const auto milliseconds = static_cast<UINT>(std::lround(intervalSeconds * 1000));
    if (SetTimer(window_, id, milliseconds, nullptr) == 0) return nullptr;
    timers_[id] = TimerEntry{&target, selector, repeats};
    return std::make_shared<TimerHandle>();
}

void Win32Services::addTimer(const std::shared_ptr<Timer>& /*timer*/, RunLoopMode /*mode*/) {}

std::unique_ptr<Alert> Win32Services::makeAlert()
{
    return std::make_unique<Win32Alert>();
}

void Win32Services::addScene(std::unique_ptr<PreferencesScene> scene)
{
    scenes_.push_back(std::move(scene));
}

void Win32Services::removeScene(HWND dialog)
{
    std::erase_if(scenes_, [dialog](const auto& scene) { return scene->dialog() == dialog; });
}

void Win32Services::showInOtherScenes(HWND dialog, int control, bool checked)
{
    for (const auto& scene : scenes_) {
        if (scene->dialog() != dialog)
            CheckDlgButton(scene->dialog(), control, checked ? BST_CHECKED : BST_UNCHECKED);
    }
}

}  // namespace snaplark::platform::win32
