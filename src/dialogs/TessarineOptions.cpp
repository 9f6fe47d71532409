#include "dialogs/TessarineOptions.h"

#include "dialogs/DialogTemplate.h"
#include "dialogs/SettingRowsForm.h"

#include <QSpinBox>

namespace tessarine {
namespace {

// Windows runs the program when Windows starts (its Run key); other desktops
// start it when the user logs in (their autostart folder).
#ifdef _WIN32
constexpr int kAutostartText = TXT_SETTINGS_AUTOSTART;
#else
constexpr int kAutostartText = TXT_SETTINGS_AUTOSTART_LOGIN;
#endif

// The longest period between two checks: a week.
constexpr int kMostHours = 24 * 7;

} // namespace

TessarineOptions::TessarineOptions(QWidget* parent) : QDialog(parent) {
    DialogTemplate form(this, TXT_SETTINGS_CAPTION, 257, 289);
    const bool german = CurrentLanguage() == Language::German;
    // Check boxes may widen to the inner edge of their group box.
    const int maxRight = 7 + 243 - 4;

    form.Group(TXT_SETTINGS_BEHAVIOUR, "behaviourGroup", 7, 7, 243, 46);
    form.Group(TXT_SETTINGS_AUTOSTART_GROUP, "autostartGroup", 7, 59, 243, 35);
    form.Group(TXT_SETTINGS_WATCH_GROUP, "watchGroup", 7, 100, 243, 42);
    form.Group(TXT_SETTINGS_DEFAULTS_GROUP, "defaultsGroup", 7, 146, 243, 116);
    // Created in the template's order, which is also the tab order.
    updateStartBox_ = form.CheckBox(TXT_SETTINGS_UPDATE_START, "updateStart", 13, 21,
                                    german ? 173 : 149, 10, maxRight);
    quitCompleteBox_ = form.CheckBox(TXT_SETTINGS_QUIT_COMPLETE, "quitComplete", 13, 37,
                                     german ? 207 : 128, 10, maxRight);
    autostartBox_ =
        form.CheckBox(kAutostartText, "autostart", 13, 73, german ? 158 : 136, 10, maxRight);

    // "Check for new items every N hours": the number stands where the
    // language puts it, between the box's text and the label after it.
    const QString every = ResText(TXT_SETTINGS_CHECK_EVERY);
    const qsizetype at = every.indexOf(QLatin1String("%s"));
    checkEveryBox_ =
        form.Place(new QCheckBox(every.left(at).trimmed(), this), "checkEvery", 13, 114, 10, 10);
    checkEveryBox_->resize(checkEveryBox_->sizeHint().width(), checkEveryBox_->height());
    checkEveryHours_ = form.Place(new QSpinBox(this), "checkEveryHours", 0, 113, 30, 12);
    checkEveryHours_->move(checkEveryBox_->geometry().right() + form.Units().X(3),
                           checkEveryHours_->y());
    checkEveryHours_->setRange(1, kMostHours);
    QLabel* hours = form.Label(every.mid(at + 2).trimmed(), "checkEveryUnit", 0, 115, 60, 8);
    hours->setGeometry(checkEveryHours_->geometry().right() + form.Units().X(3), hours->y(),
                       hours->sizeHint().width(), hours->height());
    keepInTrayBox_ =
        form.CheckBox(TXT_SETTINGS_KEEP_IN_TRAY, "keepInTray", 13, 128, 180, 10, maxRight);
    connect(checkEveryBox_, &QCheckBox::toggled, checkEveryHours_, &QSpinBox::setEnabled);

    const SettingRowsForm::Geometry rows{
        .x = 13, .y = 158, .choiceX = 90, .choiceWidth = 98, .right = 244};
    defaults_ = new SettingRowsForm(this, form, rows, std::nullopt);
    defaults_->SetPatternNote(ResText(TXT_PODSET_PLACEHOLDERS));

    ok_ = form.OkButton(73, 268);
    form.CancelButton(134, 268);
    connect(defaults_, &SettingRowsForm::changed, this,
            [this] { ok_->setEnabled(defaults_->IsValid()); });
    SetWatchOptions(0, false);
    updateStartBox_->setFocus();
}

void TessarineOptions::SetPodcastDefaults(const std::vector<SettingRow>& rows, bool changeable) {
    defaults_->Load(rows);
    defaults_->SetEnabled(changeable);
    defaults_->SetPatternNote(ResText(changeable ? TXT_PODSET_PLACEHOLDERS : TXT_PODSET_NO_STORE));
}

std::vector<PodcastLibrary::SettingChange> TessarineOptions::PodcastDefaultChanges() const {
    return defaults_->Changes();
}

void TessarineOptions::SetWatchOptions(int checkEveryHours, bool keepInTray) {
    const bool periodic = checkEveryHours > 0;
    checkEveryBox_->setChecked(periodic);
    // Off, the field offers a day.
    checkEveryHours_->setValue(periodic ? checkEveryHours : 24);
    checkEveryHours_->setEnabled(periodic);
    keepInTrayBox_->setChecked(keepInTray);
}

int TessarineOptions::CheckEveryHours() const {
    return checkEveryBox_->isChecked() ? checkEveryHours_->value() : 0;
}

bool TessarineOptions::KeepInTray() const {
    return keepInTrayBox_->isChecked();
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
