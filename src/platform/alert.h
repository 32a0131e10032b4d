#pragma once

#include <memory>
#include <string_view>

namespace snaplark::platform {

class Alert {
public:
    virtual ~Alert() = default;
    virtual void setMessageText(std::string_view text) = 0;
    virtual void setInformativeText(std::string_view text) = 0;
    virtual void addButtonWithTitle(std::string_view title) = 0;
    // Runs application-modal; returns when a button is pressed, with that button's response.
    virtual long runModal() = 0;
};

class AlertFactory {
public:
    virtual ~AlertFactory() = default;
    virtual std::unique_ptr<Alert> makeAlert() = 0;
};

}  // namespace snaplark::platform
