#include <QApplication>
#include <QCheckBox>
#include <QKeySequence>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QWidget>

#include "platform/qt/autostart.h"
#include "platform/qt/qt_services.h"
#include "ui_main_window.h"

namespace snaplark::platform::qt {
namespace {

class QtCheckbox final : public Button {
public:
    explicit QtCheckbox(QCheckBox* box) : box_(box) {}
    ControlState state() const override { return box_ && box_->isChecked() ? stateOn : stateOff; }
    void setState(ControlState state) override
    {
        if (box_) box_->setChecked(isOn(state));
    }

private:
    QPointer<QCheckBox> box_;
};

class QtItemList final : public ItemList {
public:
    explicit QtItemList(QListWidget* list) : list_(list) {}
    void setItems(const std::vector<std::string>& items) override
    {
        if (!list_) return;
        list_->clear();
        for (const std::string& item : items)
            list_->addItem(QString::fromStdString(item));
    }
    std::optional<std::size_t> selectedIndex() const override
    {
        if (!list_ || list_->currentRow() < 0) return std::nullopt;
        return static_cast<std::size_t>(list_->currentRow());
    }

private:
    QPointer<QListWidget> list_;
};

class QtWindow final : public Window {
public:
    explicit QtWindow(QWidget* widget) : widget_(widget) {}
    void show() override
    {
        if (!widget_) return;
        widget_->show();
        widget_->raise();
        widget_->activateWindow();
    }

private:
    QPointer<QWidget> widget_;
};

// What a window made from the scene owns; it goes away with the window when the window closes.
class Scene final : public QObject {
public:
    explicit Scene(QWidget* window) : QObject(window) {}
    std::shared_ptr<QtWindow> window;
    std::shared_ptr<WindowController> controller;
    std::vector<std::shared_ptr<QtCheckbox>> checkboxes;
    std::vector<std::shared_ptr<QtItemList>> lists;
};

std::optional<Selector> selectorNamed(const QString& name)
{
    for (Selector s :
         {Selector::onClickedCopy, Selector::onClickedPaste, Selector::onClickedCopyAfterSelection,
          Selector::onClickedResumeApplication}) {
        if (name == QString::fromUtf8(selectorName(s).data())) return s;
    }
    return std::nullopt;
}

// The "Main" storyboard: its scene "mainWindow" is a Designer form whose top widget names the
// window and view controller classes, and whose checkboxes name their action.
class QtStoryboard final : public Storyboard {
public:
    explicit QtStoryboard(QtServices& services) : services_(services) {}

    std::shared_ptr<WindowController>
    instantiateControllerWithIdentifier(std::string_view identifier) override
    {
        if (identifier != "mainWindow") return nullptr;
        auto* widget = new QWidget(nullptr);
        Ui::MainWindow form;
        form.setupUi(widget);
        widget->setAttribute(Qt::WA_DeleteOnClose);
        // A fixed-size window: nothing to maximize. Escape closes it, as it does a dialog.
        widget->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint);
        auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), widget);
        QObject::connect(escape, &QShortcut::activated, widget, &QWidget::close);
        setUpStartAtLogin(form.btnStartAtLogin);

        auto controller = services_.classes().makeWindowController(
            widget->property("windowControllerClass").toString().toStdString());
        auto content = services_.classes().makeViewController(
            widget->property("viewControllerClass").toString().toStdString());
        if (!controller || !content) {
            delete widget;
            return nullptr;
        }

        auto* scene = new Scene(widget);
        scene->window = std::make_shared<QtWindow>(widget);
        scene->controller = controller;
        for (QCheckBox* box : widget->findChildren<QCheckBox*>()) {
            auto checkbox = std::make_shared<QtCheckbox>(box);
            scene->checkboxes.push_back(checkbox);
            content->connectOutlet(box->objectName().toStdString(), checkbox);
            if (auto action = selectorNamed(box->property("action").toString())) {
                ViewController* target = content.get();
                // The storyboard is gone by the time of a click; the services outlive every window.
                QObject::connect(
                    box, &QCheckBox::clicked, scene,
                    [&services = services_, target, action, box, sender = checkbox.get()] {
                        services.sendAction(*action, target, sender);
                        showInOtherWindows(*box);
                    });
            }
        }
        for (QListWidget* list : widget->findChildren<QListWidget*>()) {
            auto items = std::make_shared<QtItemList>(list);
            scene->lists.push_back(items);
            content->connectList(list->objectName().toStdString(), items);
        }
        for (QPushButton* button : widget->findChildren<QPushButton*>()) {
            if (auto action = selectorNamed(button->property("action").toString())) {
                ViewController* target = content.get();
                QObject::connect(button, &QPushButton::clicked, scene,
                                 [&services = services_, target, action] {
                                     services.sendAction(*action, target, nullptr);
                                 });
            }
        }
        controller->setWindow(scene->window);
        controller->setContentViewController(content);
        content->viewDidLoad();
        controller->windowDidLoad();
        return controller;
    }

private:
    void setUpStartAtLogin(QCheckBox* box)
    {
        Autostart* autostart = services_.autostart();
        if (autostart == nullptr) {
            box->hide();
            return;
        }
        box->setChecked(autostart->enabled());
        QObject::connect(box, &QCheckBox::clicked, box, [autostart, box](bool checked) {
            if (!autostart->setEnabled(checked)) box->setChecked(autostart->enabled());
            showInOtherWindows(*box);
        });
    }

    // Every open preferences window shows the same choices: a click in one shows in the others.
    static void showInOtherWindows(const QCheckBox& clicked)
    {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window == clicked.window()) continue;
            for (QCheckBox* box : window->findChildren<QCheckBox*>(clicked.objectName())) {
                if (box->property("action") == clicked.property("action")) {
                    box->setChecked(clicked.isChecked());
                }
            }
        }
    }

    QtServices& services_;
};

}  // namespace

std::unique_ptr<Storyboard> QtServices::storyboardWithName(std::string_view name)
{
    if (name != "Main") return nullptr;
    return std::make_unique<QtStoryboard>(*this);
}

}  // namespace snaplark::platform::qt
