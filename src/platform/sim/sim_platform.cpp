#include "platform/sim/sim_platform.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <ostream>

namespace snaplark::platform::sim {
namespace {

constexpr std::string_view statusImageName = "StatusBarButtonImage";

class SimImage final : public Image {
public:
    explicit SimImage(std::string name) : name(std::move(name)) {}
    const std::string name;
};

std::string imageName(const std::shared_ptr<Image>& image)
{
    auto* named = dynamic_cast<SimImage*>(image.get());
    return named ? named->name : std::string();
}

class SimMenuItem final : public MenuItem {
public:
    SimMenuItem(std::string title, std::optional<Selector> action)
        : title(std::move(title)), action(action)
    {
    }
    ControlState state() const override { return state_; }
    void setState(ControlState state) override { state_ = state; }
    void setTitle(std::string_view title) override { this->title = title; }
    void setEnabled(bool enabled) override { this->enabled = enabled; }

    std::string title;
    bool enabled = true;
    const std::optional<Selector> action;  // none for a separator

private:
    ControlState state_ = stateOff;
};

class SimMenu final : public Menu {
public:
    void addItem(std::shared_ptr<MenuItem> item) override
    {
        if (auto entry = std::dynamic_pointer_cast<SimMenuItem>(item)) items.push_back(entry);
    }
    void setDelegate(MenuDelegate* delegate) override { this->delegate = delegate; }
    std::vector<std::shared_ptr<SimMenuItem>> items;
    MenuDelegate* delegate = nullptr;
};

class SimStatusButton final : public StatusButton {
public:
    void setImage(std::shared_ptr<Image> image) override { this->image = std::move(image); }
    void setAlternateImage(std::shared_ptr<Image> image) override { alternate = std::move(image); }
    void setAction(Selector action) override { this->action = action; }
    void setTarget(Responder* target) override { this->target = target; }

    std::shared_ptr<Image> image;
    std::shared_ptr<Image> alternate;
    std::optional<Selector> action;
    Responder* target = nullptr;
};

class SimStatusItem final : public StatusItem {
public:
    explicit SimStatusItem(bool hasButton)
    {
        if (hasButton) button_ = std::make_unique<SimStatusButton>();
    }
    void setHighlightMode(bool highlight) override { this->highlight = highlight; }
    StatusButton* button() override { return button_.get(); }
    void setMenu(std::shared_ptr<Menu> menu) override
    {
        this->menu = std::dynamic_pointer_cast<SimMenu>(menu);
    }

    SimStatusButton* simButton() const { return button_.get(); }
    bool highlight = false;
    std::shared_ptr<SimMenu> menu;

private:
    std::unique_ptr<SimStatusButton> button_;
};

class SimToken final : public MonitorToken {};
class SimTimer final : public Timer {};

class SimKeyboardEvent final : public KeyboardEvent {
public:
    SimKeyboardEvent(VirtualKeyCode key, bool down) : key(key), down(down) {}
    void setFlags(ModifierFlags flags) override { this->flags = flags; }
    const VirtualKeyCode key;
    const bool down;
    std::optional<ModifierFlags> flags;
};

class SimUserDefaults final : public UserDefaults {
public:
    explicit SimUserDefaults(SimWorld& world) : world_(world) {}
    std::optional<PropertyValue> objectForKey(std::string_view key) override
    {
        auto found = world_.defaults.find(key);
        if (found == world_.defaults.end()) return std::nullopt;
        return found->second;
    }
    bool boolForKey(std::string_view key) override
    {
        auto value = objectForKey(key);
        return value && boolFromValue(*value);
    }
    void setBool(bool value, std::string_view key) override
    {
        world_.defaults.insert_or_assign(std::string(key), value);
    }
    void setString(const std::string& value, std::string_view key) override
    {
        world_.defaults.insert_or_assign(std::string(key), value);
    }

private:
    SimWorld& world_;
};

class SimAlert final : public Alert {
public:
    explicit SimAlert(std::ostream& out) : out_(out) {}
    void setMessageText(std::string_view text) override { message_ = text; }
    void setInformativeText(std::string_view text) override { informative_ = text; }
    void addButtonWithTitle(std::string_view title) override { buttons_.emplace_back(title); }
    // The simulated user presses the first button at once.
    long runModal() override
    {
        out_ << "@alert message=" << quoted(message_) << " informative=" << quoted(informative_)
             << " buttons=";
        for (std::size_t i = 0; i < buttons_.size(); ++i)
            out_ << (i ? "," : "") << quoted(buttons_[i]);
        out_ << '\n' << std::flush;
        return firstButtonResponse;
    }
    static constexpr long firstButtonResponse = 1000;

private:
    std::ostream& out_;
    std::string message_;
    std::string informative_;
    std::vector<std::string> buttons_;
};

class SimList final : public ItemList {
public:
    void setItems(const std::vector<std::string>& items) override { this->items = items; }
    std::optional<std::size_t> selectedIndex() const override { return selected; }
    std::vector<std::string> items;
    std::optional<std::size_t> selected;
};

class SimButton final : public Button {
public:
    ControlState state() const override { return state_; }
    void setState(ControlState state) override { state_ = state; }

private:
    ControlState state_ = stateOff;
};

struct Checkbox {
    std::string outlet;
    std::shared_ptr<SimButton> button;
    Selector action;
};

class SimWindow final : public Window {
public:
    SimWindow(std::ostream& out, std::string identifier)
        : out_(out), identifier(std::move(identifier))
    {
    }
    void show() override;

    const Checkbox* checkbox(std::string_view outlet) const
    {
        auto found = std::find_if(checkboxes.begin(), checkboxes.end(),
                                  [outlet](const Checkbox& c) { return c.outlet == outlet; });
        return found == checkboxes.end() ? nullptr : &*found;
    }

    std::function<void(SimWindow&)> onShow;
    std::shared_ptr<WindowController> controller;
    std::vector<Checkbox> checkboxes;
    std::shared_ptr<SimList> paused = std::make_shared<SimList>();

private:
    std::ostream& out_;

public:
    const std::string identifier;
};

void SimWindow::show()
{
    out_ << "@window " << identifier;
    // The window's line names the two gesture checkboxes, as it always has; the other controls
    // are printed on request (preferenceControls).
    for (const Checkbox& c : checkboxes) {
        if (c.action != Selector::onClickedCopy && c.action != Selector::onClickedPaste) continue;
        std::string_view name = c.outlet;
        if (name.rfind("btn", 0) == 0) name.remove_prefix(3);
        std::string lower(name);
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
        out_ << ' ' << lower << '=' << (isOn(c.button->state()) ? "on" : "off");
    }
    out_ << '\n' << std::flush;
    if (onShow) onShow(*this);
}

}  // namespace

std::string quoted(std::string_view text)
{
    std::string result = "\"";
    for (char c : text) {
        switch (c) {
        case '\\': result += "\\\\"; break;
        case '"': result += "\\\""; break;
        case '\n': result += "\\n"; break;
        default: result += c;
        }
    }
    return result + '"';
}

SimWorld::SimWorld(std::ostream& out) : out(out), info(packageInfoDictionary()) {}

struct SimProcess::Services final : Application,
                                    StatusBar,
                                    MenuFactory,
                                    EventMonitors,
                                    KeyboardEvents,
                                    UserDefaultsStore,
                                    RunLoop,
                                    AlertFactory,
                                    StoryboardLoader,
                                    Bundle {
    explicit Services(SimWorld& world) : world(world), out(world.out) {}

    bool knowsActiveApplications() const override { return world.knowsApplications; }
    ActiveApplication activeApplication() const override { return world.activeApplication; }
    void setActivationPolicy(ActivationPolicy policy) override
    {
        out << "@policy " << static_cast<long>(policy) << '\n' << std::flush;
    }
    void terminate(Object* /*sender*/) override
    {
        if (terminated) return;
        delegate->applicationWillTerminate();
        terminated = true;
        out << "@terminate\n" << std::flush;
    }

    std::shared_ptr<StatusItem> statusItemWithLength(double /*length*/) override
    {
        auto item = std::make_shared<SimStatusItem>(world.statusItemHasButton);
        statusItem = item;
        return item;
    }
    std::shared_ptr<Image> imageNamed(std::string_view name) override
    {
        if (name != statusImageName) return nullptr;
        return std::make_shared<SimImage>(std::string(name));
    }

    std::shared_ptr<Menu> makeMenu() override { return std::make_shared<SimMenu>(); }
    std::shared_ptr<MenuItem> makeMenuItem(std::string_view title, Selector action,
                                           std::string_view /*keyEquivalent*/) override
    {
        return std::make_shared<SimMenuItem>(std::string(title), action);
    }
    std::shared_ptr<MenuItem> separatorItem() override
    {
        return std::make_shared<SimMenuItem>(std::string(), std::nullopt);
    }

    std::shared_ptr<MonitorToken>
    addGlobalMonitorForEventsMatchingMask(std::uint64_t mask,
                                          std::function<void(const Event&)> handler) override
    {
        out << "@monitor mask " << mask << '\n' << std::flush;
        monitors.emplace_back(mask, std::move(handler));
        return std::make_shared<SimToken>();
    }

    std::unique_ptr<KeyboardEvent> createKeyboardEvent(VirtualKeyCode key, bool keyDown) override
    {
        if (keyDown ? world.keyDownCannotBeMade : world.keyUpCannotBeMade) return nullptr;
        return std::make_unique<SimKeyboardEvent>(key, keyDown);
    }
    void post(EventTap tap, const KeyboardEvent& event) override
    {
        const auto& e = dynamic_cast<const SimKeyboardEvent&>(event);
        out << "@post " << (e.down ? "keydown " : "keyup ") << e.key;
        if (e.flags) out << " flags 0x" << std::hex << *e.flags << std::dec;
        out << " tap " << static_cast<std::uint32_t>(tap) << '\n' << std::flush;
    }

    std::unique_ptr<UserDefaults> open() override
    {
        return std::make_unique<SimUserDefaults>(world);
    }

    std::shared_ptr<Timer> scheduledTimer(double intervalSeconds, Responder& target,
                                          Selector selector, bool /*repeats*/) override
    {
        out << "@timer " << intervalSeconds << '\n' << std::flush;
        timers.push_back({&target, selector});
        return std::make_shared<SimTimer>();
    }
    void addTimer(const std::shared_ptr<Timer>& /*timer*/, RunLoopMode /*mode*/) override {}

    std::unique_ptr<Alert> makeAlert() override { return std::make_unique<SimAlert>(out); }

    std::unique_ptr<Storyboard> storyboardWithName(std::string_view name) override;

    const InfoDictionary* infoDictionary() const override
    {
        return world.info ? &*world.info : nullptr;
    }

    SimWorld& world;
    std::ostream& out;
    Platform platform{*this, *this, *this, *this, *this, *this, *this, *this, *this, *this};
    ClassRegistry classes;
    std::shared_ptr<SimStatusItem> statusItem;
    std::vector<std::pair<std::uint64_t, std::function<void(const Event&)>>> monitors;
    std::vector<std::pair<Responder*, Selector>> timers;
    std::vector<std::shared_ptr<SimWindow>> windows;
    SimWindow* lastShown = nullptr;
    std::unique_ptr<ApplicationDelegate> delegate;
    bool terminated = false;
};

namespace {

// The "Main" storyboard: its one scene "mainWindow" is the preferences window, a window controller
// whose content view controller has the two checkboxes.
class SimStoryboard final : public Storyboard {
public:
    explicit SimStoryboard(SimProcess::Services& services) : services_(services) {}
    std::shared_ptr<WindowController>
    instantiateControllerWithIdentifier(std::string_view identifier) override
    {
        if (identifier != "mainWindow") return nullptr;
        auto controller = services_.classes.makeWindowController("MyWindowController");
        auto content = services_.classes.makeViewController("MyViewController");
        if (!controller || !content) return nullptr;

        auto window = std::make_shared<SimWindow>(services_.out, std::string(identifier));
        window->onShow = [&services = services_](SimWindow& shown) { services.lastShown = &shown; };
        window->checkboxes = {{"btnCopy", std::make_shared<SimButton>(), Selector::onClickedCopy},
                              {"btnPaste", std::make_shared<SimButton>(), Selector::onClickedPaste},
                              {"btnCopyAfterSelection", std::make_shared<SimButton>(),
                               Selector::onClickedCopyAfterSelection}};
        for (const Checkbox& c : window->checkboxes)
            content->connectOutlet(c.outlet, c.button);
        content->connectList("listPaused", window->paused);
        controller->setWindow(window);
        controller->setContentViewController(content);
        window->controller = controller;
        services_.windows.push_back(window);
        content->viewDidLoad();
        controller->windowDidLoad();
        return controller;
    }

private:
    SimProcess::Services& services_;
};

}  // namespace

std::unique_ptr<Storyboard> SimProcess::Services::storyboardWithName(std::string_view name)
{
    if (name != "Main") return nullptr;
    return std::make_unique<SimStoryboard>(*this);
}

SimProcess::SimProcess(SimWorld& world, const ApplicationModule& module)
    : services_(std::make_unique<Services>(world))
{
    module.registerClasses(services_->classes, services_->platform);
    services_->delegate = module.makeDelegate(services_->platform);
    services_->delegate->applicationDidFinishLaunching();
}

SimProcess::~SimProcess()
{
    // Windows own controllers that refer to the delegate's services; let them go first.
    services_->windows.clear();
}

ApplicationDelegate& SimProcess::delegate()
{
    return *services_->delegate;
}

bool SimProcess::terminated() const
{
    return services_->terminated;
}

void SimProcess::leftMouse(bool down, ModifierFlags flags)
{
    leftMouse(down, Event{flags});
}

void SimProcess::leftMouse(bool down, const Event& event)
{
    const std::uint64_t mask = down ? leftMouseDownMask : leftMouseUpMask;
    for (const auto& [monitorMask, handler] : services_->monitors) {
        if ((monitorMask & mask) != 0) handler(event);
    }
}

void SimProcess::openMenu()
{
    const auto& item = services_->statusItem;
    if (item && item->menu && item->menu->delegate) item->menu->delegate->menuWillOpen();
}

std::vector<std::string> SimProcess::preferenceControls() const
{
    std::vector<std::string> words;
    const SimWindow* window = services_->lastShown;
    if (window == nullptr) return words;
    if (const Checkbox* c = window->checkbox("btnCopyAfterSelection")) {
        words.push_back(std::string("copyafterselection=") +
                        (isOn(c->button->state()) ? "on" : "off"));
    }
    std::string paused = "paused=";
    // Appended piece by piece: MinGW's GCC 12 takes `"," + std::string&&` for an overlapping copy
    // (-Wrestrict) and stops the Windows build.
    for (std::size_t i = 0; i < window->paused->items.size(); ++i) {
        if (i > 0) paused += ',';
        paused += quoted(window->paused->items[i]);
    }
    words.push_back(paused);
    return words;
}

bool SimProcess::resumeApplication(std::size_t index)
{
    SimWindow* window = services_->lastShown;
    if (window == nullptr) return false;
    window->paused->selected = index;
    sendAction(*services_, services_->delegate.get(), Selector::onClickedResumeApplication,
               window->controller->contentViewController().get(), nullptr);
    return true;
}

void SimProcess::tick()
{
    for (const auto& [target, selector] : services_->timers)
        target->perform(selector, nullptr);
}

bool SimProcess::chooseMenuEntry(std::string_view title)
{
    const auto& item = services_->statusItem;
    if (!item || !item->menu) return false;
    openMenu();
    for (const auto& entry : item->menu->items) {
        if (entry->action && entry->enabled && entry->title == title) {
            sendAction(*services_, services_->delegate.get(), *entry->action, nullptr, entry.get());
            return true;
        }
    }
    return false;
}

bool SimProcess::clickStatusButton()
{
    SimStatusButton* button = services_->statusItem ? services_->statusItem->simButton() : nullptr;
    if (button == nullptr || !button->action) return false;
    sendAction(*services_, services_->delegate.get(), *button->action, button->target, button);
    return true;
}

bool SimProcess::clickCheckbox(std::string_view outlet)
{
    SimWindow* window = services_->lastShown;
    const Checkbox* checkbox = window ? window->checkbox(outlet) : nullptr;
    if (checkbox == nullptr) return false;
    checkbox->button->setState(isOn(checkbox->button->state()) ? stateOff : stateOn);
    sendAction(*services_, services_->delegate.get(), checkbox->action,
               window->controller->contentViewController().get(), checkbox->button.get());
    return true;
}

void SimProcess::terminate()
{
    services_->terminate(nullptr);
}

std::vector<MenuRow> SimProcess::menuRows() const
{
    std::vector<MenuRow> rows;
    const auto& item = services_->statusItem;
    if (!item || !item->menu) return rows;
    for (const auto& entry : item->menu->items) {
        rows.push_back(
            {!entry->action.has_value(), entry->title, isOn(entry->state()), entry->enabled});
    }
    return rows;
}

StatusReport SimProcess::status() const
{
    StatusReport report;
    const auto& item = services_->statusItem;
    if (!item) return report;
    report.highlight = item->highlight;
    report.menuAttached = item->menu != nullptr;
    if (SimStatusButton* button = item->simButton()) {
        report.hasButton = true;
        report.image = imageName(button->image);
        report.alternate = imageName(button->alternate);
        report.action = button->action;
        report.hasTarget = button->target != nullptr;
    }
    return report;
}

}  // namespace snaplark::platform::sim
