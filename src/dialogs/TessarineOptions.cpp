#include "dialogs/TessarineOptions.h"

#include "dialogs/DialogTemplate.h"

namespace tessarine {
namespace {

// Windows runs the program when Windows starts (its Run key); other desktops
// start it when the user logs in (their autostart folder).
#ifdef _WIN32
constexpr int kAutostartText = TXT_SETTINGS_AUTOSTART;
#else
constexpr int kAutostartText = TXT_SETTINGS_AUTOSTART_LOGIN;
#endif

} // namespace

TessarineOptions::TessarineOptions(QWidget* parent) : QDialog(parent) {
    DialogTemplate form(this, TXT_SETTINGS_CAPTION, 257, 125);
    const bool german = CurrentLanguage() == Language::German;
    // Check boxes may widen to the inner edge of their group box.
    const int maxRight = 7 + 243 - 4;

    form.Group(TXT_SETTINGS_BEHAVIOUR, "behaviourGroup", 7, 7, 243, 46);
    form.Group(TXT_SETTINGS_AUTOSTART_GROUP, "autostartGroup", 7, 59, 243, 35);
    // Created in the template's order, which is also the tab order.
    updateStartBox_ = form.CheckBox(TXT_SETTINGS_UPDATE_START, "updateStart", 13, 21,
                                    german ? 173 : 149, 10, maxRight);
    quitCompleteBox_ = form.CheckBox(TXT_SETTINGS_QUIT_COMPLETE, "quitComplete", 13, 37,
                                     german ? 207 : 128, 10, maxRight);
    autostartBox_ =
        form.CheckBox(kAutostartText, "autostart", 13, 73, german ? 158 : 136, 10, maxRight);
    form.OkButton(73, 104);
    form.CancelButton(134, 104);
    updateStartBox_->setFocus();
}

int TessarineOptions::EditOptions(OptionSet& options) {
    updateStartBox_->setChecked(options.updateStart != 0);
    quitCompleteBox_->setChecked(options.quitComplete != 0);
    autostartBox_->setChecked(options.autostart != 0);
    // Without a usable autostart place the box can be neither ticked nor unticked.
    autostartBox_->setEnabled(options.runKeyOpen != 0);

    const int result = exec();
    if (result == Accepted) {
        options.updateStart = updateStartBox_->isChecked() ? 1 : 0;
        options.quitComplete = quitCompleteBox_->isChecked() ? 1 : 0;
        options.autostart = autostartBox_->isChecked() ? 1 : 0;
    }
    return result;
}

} // namespace tessarine
