#include "platform/qt/qt_services.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QGridLayout>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QTimer>
#include <array>
#include <cmath>

namespace snaplark::platform::qt {
namespace {

QString qtString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

class QtImage final : public Image {
public:
    explicit QtImage(QIcon icon) : icon(std::move(icon)) {}
    const QIcon icon;
};

class QtTimerHandle final : public Timer {};

// The entries whose check mark the agent changes; they are checkable from the start so that every
// tray host draws them as such.
constexpr std::array<Selector, 6> checkableActions{
    Selector::disableFromTrayWithSender, Selector::indefinitelyFromTrayWithSender,
    Selector::hour1FromTrayWithSender,   Selector::hour3FromTrayWithSender,
    Selector::hour6FromTrayWithSender,   Selector::hour10FromTrayWithSender,
};

class QtMenuItem final : public MenuItem {
public:
    QtMenuItem(QtServices& services, std::string_view title, std::optional<Selector> action)
        : services_(services), action_(std::make_unique<QAction>(qtString(title)))
    {
        if (!action) {
            action_->setSeparator(true);
            return;
        }
        const bool checkable = std::find(checkableActions.begin(), checkableActions.end(),
                                         *action) != checkableActions.end();
        action_->setCheckable(checkable);
        isSuspendEntry_ = *action == Selector::disableFromTrayWithSender;
        QObject::connect(action_.get(), &QAction::triggered, [this, &services, selector = *action] {
            // Qt flips a checkable action before it reports the trigger; the mark is the agent's.
            action_->setChecked(isOn(state_));
            services.sendAction(selector, nullptr, this);
        });
    }
    ControlState state() const override { return state_; }
    void setState(ControlState state) override
    {
        state_ = state;
        if (action_->isCheckable()) action_->setChecked(isOn(state));
        // The "Disable" mark is the one the agent keeps equal to its suspension.
        if (isSuspendEntry_) services_.showSuspended(isOn(state));
        services_.statusChanged();
    }
    void setTitle(std::string_view title) override
    {
        action_->setText(qtString(title));
        services_.statusChanged();
    }
    void setEnabled(bool enabled) override
    {
        action_->setEnabled(enabled);
        services_.statusChanged();
    }
    QAction* action() const { return action_.get(); }

private:
    QtServices& services_;
    std::unique_ptr<QAction> action_;
    ControlState state_ = stateOff;
    bool isSuspendEntry_ = false;
};

class QtMenu final : public Menu {
public:
    explicit QtMenu(QtServices& services)
    {
        QObject::connect(&menu_, &QMenu::aboutToShow, [this, &services] {
            if (delegate_ != nullptr) delegate_->menuWillOpen();
            services.menuShown(true);
        });
        QObject::connect(&menu_, &QMenu::aboutToHide, [&services] { services.menuShown(false); });
    }
    void addItem(std::shared_ptr<MenuItem> item) override
    {
        auto entry = std::dynamic_pointer_cast<QtMenuItem>(item);
        if (!entry) return;
        menu_.addAction(entry->action());
        items_.push_back(std::move(entry));
    }
    void setDelegate(MenuDelegate* delegate) override { delegate_ = delegate; }
    QMenu* menu() { return &menu_; }

private:
    QMenu menu_;
    MenuDelegate* delegate_ = nullptr;
    std::vector<std::shared_ptr<QtMenuItem>> items_;
};

class QtStatusButtonImpl final : public StatusButton {
public:
    explicit QtStatusButtonImpl(QSystemTrayIcon& tray) : tray_(tray) {}
    void setImage(std::shared_ptr<Image> image) override
    {
        auto* icon = dynamic_cast<QtImage*>(image.get());
        tray_.setIcon(icon ? icon->icon : QIcon());
        image_ = std::move(image);
    }
    // A tray icon has one picture for every state.
    void setAlternateImage(std::shared_ptr<Image> image) override { alternate_ = std::move(image); }
    void setAction(Selector action) override { action_ = action; }
    void setTarget(Responder* target) override { target_ = target; }

    std::optional<Selector> action() const { return action_; }
    Responder* target() const { return target_; }

private:
    QSystemTrayIcon& tray_;
    std::shared_ptr<Image> image_;
    std::shared_ptr<Image> alternate_;
    std::optional<Selector> action_;
    Responder* target_ = nullptr;
};

class QtAlert final : public Alert {
public:
    void setMessageText(std::string_view text) override { box_.setText(qtString(text)); }
    void setInformativeText(std::string_view text) override
    {
        box_.setInformativeText(qtString(text));
    }
    void addButtonWithTitle(std::string_view title) override
    {
        buttons_.push_back(box_.addButton(qtString(title), QMessageBox::AcceptRole));
    }
    long runModal() override
    {
        box_.setWindowTitle(QStringLiteral("Snaplark"));
        box_.setTextFormat(Qt::PlainText);
        // The texts can be selected and copied, as in any dialog on the desktop.
        box_.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        box_.setWindowModality(Qt::ApplicationModal);
        // Wide enough that the About box's purpose fits on one line.
        if (auto* grid = qobject_cast<QGridLayout*>(box_.layout())) {
            grid->addItem(
                new QSpacerItem(minimumAlertWidth, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                grid->rowCount(), 0, 1, grid->columnCount());
        }
        box_.exec();
        const auto clicked = std::find(buttons_.begin(), buttons_.end(), box_.clickedButton());
        return firstButtonResponse + static_cast<long>(clicked - buttons_.begin());
    }

private:
    static constexpr long firstButtonResponse = 1000;
    static constexpr int minimumAlertWidth = 420;
    QMessageBox box_;
    std::vector<QAbstractButton*> buttons_;
};

}  // namespace

class QtStatusItem final : public StatusItem {
public:
    explicit QtStatusItem(QtServices& services) : services_(services), button_(tray_)
    {
        showSuspended(false);
        QObject::connect(
            &tray_, &QSystemTrayIcon::activated,
            [this, &services](QSystemTrayIcon::ActivationReason reason) {
                // A status item with a menu shows it on a click, as a menu-bar item does; the
                // middle button is the one left to deliver the button's own action.
                if (reason == QSystemTrayIcon::Trigger && menu_ && !services.inMenuBar()) {
                    menu_->menu()->popup(QCursor::pos());
                } else if (reason == QSystemTrayIcon::MiddleClick && button_.action()) {
                    services.sendAction(*button_.action(), button_.target(), &button_);
                }
            });
    }
    void showSuspended(bool suspended)
    {
        suspended_ = suspended;
        QString tip = suspended ? QStringLiteral("Snaplark is suspended")
                                : QStringLiteral("Snaplark is active");
        if (!services_.notice().isEmpty()) tip += QLatin1Char('\n') + services_.notice();
        tray_.setToolTip(tip);
    }
    void showNotice() { showSuspended(suspended_); }
    // The tray shows its menu while it is open; there is nothing else to highlight.
    void setHighlightMode(bool /*highlight*/) override {}
    StatusButton* button() override { return &button_; }
    void setMenu(std::shared_ptr<Menu> menu) override
    {
        menu_ = std::dynamic_pointer_cast<QtMenu>(menu);
        tray_.setContextMenu(menu_ ? menu_->menu() : nullptr);
    }
    void show() { tray_.show(); }
    QMenu* menu() const { return menu_ ? menu_->menu() : nullptr; }

private:
    QtServices& services_;
    bool suspended_ = false;
    QSystemTrayIcon tray_;
    QtStatusButtonImpl button_;
    std::shared_ptr<QtMenu> menu_;
};

QtServices::QtServices(EventMonitors& eventMonitors, KeyboardEvents& keyboard,
                       const ClassRegistry& classes)
    : platform_{*this, *this, *this, eventMonitors, keyboard, *this, *this, *this, *this, *this},
      classes_(classes), info_(packageInfoDictionary())
{
}

QtServices::~QtServices() = default;

void QtServices::showStatusItems()
{
    for (const auto& weak : statusItems_) {
        if (auto item = weak.lock()) item->show();
    }
}

void QtServices::showSuspended(bool suspended)
{
    suspended_ = suspended;
    for (const auto& weak : statusItems_) {
        if (auto item = weak.lock()) item->showSuspended(suspended);
    }
}

void QtServices::showNotice(const QString& notice)
{
    notice_ = notice;
    for (const auto& weak : statusItems_) {
        if (auto item = weak.lock()) item->showNotice();
    }
    statusChanged();
}

QMenu* QtServices::statusMenu() const
{
    for (const auto& weak : statusItems_) {
        if (auto item = weak.lock()) return item->menu();
    }
    return nullptr;
}

void QtServices::sendAction(Selector action, Responder* target, Object* sender)
{
    platform::sendAction(*this, delegate_, action, target, sender);
}

void QtServices::setActivationPolicy(ActivationPolicy policy)
{
    // Prohibited: the agent shows no window, so it has no task-bar entry and never takes focus.
    // Regular: its windows behave like any application's.
    policy_ = policy;
    if (activationPolicyHook_) activationPolicyHook_(policy);
}

void QtServices::terminate(Object* /*sender*/)
{
    if (terminating_) return;
    terminating_ = true;
    if (delegate_ != nullptr) delegate_->applicationWillTerminate();
    QCoreApplication::exit(0);
}

std::shared_ptr<StatusItem> QtServices::statusItemWithLength(double /*length*/)
{
    auto item = std::make_shared<QtStatusItem>(*this);
    statusItems_.push_back(item);
    return item;
}

std::shared_ptr<Image> QtServices::imageNamed(std::string_view name)
{
    const QString base = QStringLiteral(":/snaplark/") + qtString(name);
    if (!QFile::exists(base + QStringLiteral(".svg"))) return nullptr;
    QIcon icon(base + QStringLiteral(".svg"));
    // Without Qt's SVG icon engine (Debian 13 ships it apart, in qt6-svg-plugins) Qt 6.8 makes no
    // icon of an SVG file, and the tray would show nothing; the PNG renditions stand in.
    if (icon.isNull()) {
        for (const int size : {16, 22, 24, 32, 48, 64})
            icon.addFile(base + QStringLiteral("-%1.png").arg(size));
    }
    // A template image: the menu bar draws it in its own colours, light or dark.
    if (inMenuBar_) icon.setIsMask(true);
    return std::make_shared<QtImage>(icon);
}

std::shared_ptr<Menu> QtServices::makeMenu()
{
    return std::make_shared<QtMenu>(*this);
}

std::shared_ptr<MenuItem> QtServices::makeMenuItem(std::string_view title, Selector action,
                                                   std::string_view /*keyEquivalent*/)
{
    return std::make_shared<QtMenuItem>(*this, title, action);
}

std::shared_ptr<MenuItem> QtServices::separatorItem()
{
    return std::make_shared<QtMenuItem>(*this, "", std::nullopt);
}

std::shared_ptr<Timer> QtServices::scheduledTimer(double intervalSeconds, Responder& target,
                                                  Selector selector, bool repeats)
{
    auto timer = std::make_unique<QTimer>();
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!repeats);
    timer->setInterval(static_cast<int>(std::lround(intervalSeconds * 1000)));
    QObject::connect(timer.get(), &QTimer::timeout,
                     [&target, selector] { target.perform(selector, nullptr); });
    timer->start();
    timers_.push_back(std::move(timer));
    return std::make_shared<QtTimerHandle>();
}

// Qt timers also fire inside menus and modal dialogs, so every mode is already the common one.
void QtServices::addTimer(const std::shared_ptr<Timer>& /*timer*/, RunLoopMode /*mode*/) {}

std::unique_ptr<UserDefaults> QtServices::open()
{
    return userDefaultsStore_->open();
}

std::unique_ptr<Alert> QtServices::makeAlert()
{
    return std::make_unique<QtAlert>();
}

}  // namespace snaplark::platform::qt
