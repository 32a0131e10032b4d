#include <iostream>
#include <string>

#include "app/dialog_texts.h"
#include "gesture/app_delegate.h"

namespace snaplark {
namespace {

// "Snaplark beta " and the short version when both version keys hold strings; "Snaplark" otherwise.
std::string aboutTitle(const platform::InfoDictionary* info)
{
    auto stringAt = [info](const char* key) -> const std::string* {
        if (info == nullptr) return nullptr;
        auto found = info->find(key);
        return found == info->end() ? nullptr : std::get_if<std::string>(&found->second);
    };
    const std::string* shortVersion = stringAt(platform::shortVersionKey);
    const std::string* buildVersion = stringAt(platform::buildVersionKey);
    if (shortVersion == nullptr || buildVersion == nullptr) {
        return std::string(dialog_texts::aboutTitleWithoutVersion);
    }
    return std::string(dialog_texts::aboutTitlePrefix) + *shortVersion;
}

void runAlert(platform::AlertFactory& alerts, std::string_view message,
              std::string_view informative)
{
    auto alert = alerts.makeAlert();
    alert->setMessageText(message);
    alert->setInformativeText(informative);
    alert->addButtonWithTitle(dialog_texts::okButton);
    alert->runModal();
}

}  // namespace

void AppDelegate::preferenceFromTrayWithSender(platform::Object* /*sender*/)
{
    showPreferencesWindow();
}

void AppDelegate::aboutFromTrayWithSender(platform::Object* /*sender*/)
{
    showAboutAlert();
}

void AppDelegate::howToUseFromTrayWithSender(platform::Object* /*sender*/)
{
    platform_.application.setActivationPolicy(platform::ActivationPolicy::regular);
    showHowToUseAlert();
}

// Every use loads the scene anew; the window owns its controllers and nothing here keeps them.
void AppDelegate::showPreferencesWindow()
{
    platform_.application.setActivationPolicy(platform::ActivationPolicy::regular);
    auto storyboard = platform_.storyboards.storyboardWithName("Main");
    auto controller =
        storyboard ? storyboard->instantiateControllerWithIdentifier("mainWindow") : nullptr;
    if (!controller) {
        // Only a damaged installation gets here; say so rather than ignore the user's click.
        std::cerr << "snaplark: the preferences window could not be loaded\n";
        return;
    }
    controller->showWindow(this);
}

void AppDelegate::showAboutAlert()
{
    platform_.application.setActivationPolicy(platform::ActivationPolicy::regular);
    const std::string informative =
        std::string(dialog_texts::aboutPurpose) + '\n' + std::string(dialog_texts::aboutCredit);
    runAlert(platform_.alerts, aboutTitle(platform_.mainBundle.infoDictionary()), informative);
}

void AppDelegate::showHowToUseAlert()
{
    const bool controlKey =
        platform_.application.keyboardWords() == platform::KeyboardWords::control;
    runAlert(platform_.alerts, dialog_texts::howToUseTitle,
             controlKey ? dialog_texts::howToUseTextControlKey : dialog_texts::howToUseText);
}

}  // namespace snaplark
