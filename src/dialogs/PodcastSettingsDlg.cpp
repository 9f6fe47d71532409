#include "dialogs/PodcastSettingsDlg.h"

#include "dialogs/DialogTemplate.h"
#include "dialogs/SettingRowsForm.h"
#include "platform/Desktop.h"

#include <limits>

namespace tessarine {

PodcastSettingsDlg::PodcastSettingsDlg(PodcastLibrary& library, SubscriptionPtr record,
                                       QWidget* parent)
    : QDialog(parent), library_(library), record_(std::move(record)) {
    std::string url;
    for (const SubscriptionSnapshot& row : library_.SubscriptionRows())
        if (row.record == record_) {
            name_ = row.values.name;
            url = row.values.url;
        }
    std::vector<SettingRow> defaults, own;
    stored_ = library_.SettingsOf(nullptr, defaults) == PodcastLibrary::EpisodeQuery::Done &&
              library_.SettingsOf(record_, own) == PodcastLibrary::EpisodeQuery::Done;
    if (!stored_) {
        // Shown as a podcast without a store follows them: the built-in values.
        defaults = ListSettings({}, {}, true);
        own = ListSettings({}, {}, false);
    }
    newest_ = library_.NewestEpisode(record_);

    DialogTemplate form(this, TXT_PODSET_CAPTION, 300, 185);
    QLabel* name = form.Label(QString::fromStdString(name_), "podcastName", 7, 7, 286, 8);
    name->setText(name->fontMetrics().elidedText(name->text(), Qt::ElideRight, name->width()));
    QLabel* urlLabel = form.Label(ResText(TXT_PODSET_URL), "urlLabel", 7, 22, 30, 8);
    urlEdit_ = form.Edit("feedUrl", 40, 20, 253, 12);
    urlEdit_->setMaxLength(std::numeric_limits<int>::max());
    urlEdit_->setText(QString::fromStdString(url));
    urlEdit_->setCursorPosition(0);
    urlLabel->setBuddy(urlEdit_);

    const SettingRowsForm::Geometry geometry{
        .x = 7, .y = 40, .choiceX = 80, .choiceWidth = 160, .right = 293, .patternRow = true};
    rows_ = new SettingRowsForm(this, form, geometry, defaults);
    QPushButton* ok = form.OkButton(94, 164);
    form.CancelButton(155, 164);
    // OK wants a usable pattern and an address, whichever changed last.
    const auto updateOk = [this, ok] {
        ok->setEnabled(rows_->IsValid() && !urlEdit_->text().trimmed().isEmpty());
    };
    connect(rows_, &SettingRowsForm::changed, this, [this, updateOk] {
        updateOk();
        ShowExample();
    });
    connect(urlEdit_, &QLineEdit::textChanged, this, updateOk);
    rows_->Load(own);
    rows_->SetEnabled(stored_);
    urlEdit_->setFocus();
}

void PodcastSettingsDlg::ShowExample() {
    if (!stored_) {
        rows_->SetPatternNote(ResText(TXT_PODSET_NO_STORE));
        return;
    }
    if (!newest_) {
        rows_->SetPatternNote(ResText(TXT_PODSET_NO_EXAMPLE));
        return;
    }
    const std::string file =
        PodcastLibrary::EpisodeFileNameFor(*newest_, name_, rows_->NamesRule());
    rows_->SetPatternNote(QString::fromStdString(FormatResString(TXT_PODSET_EXAMPLE, file)));
}

void PodcastSettingsDlg::Refuse(int textId, const std::string& arg) {
    ShowMessageBox(
        this, QMessageBox::Critical,
        QString::fromStdString(arg.empty() ? LoadResString(textId) : FormatResString(textId, arg)));
}

void PodcastSettingsDlg::accept() {
    using Change = PodcastLibrary::AddressChange;
    std::string url;
    switch (library_.ChangeAddress(record_, urlEdit_->text().toStdString(), url)) {
    case Change::Changed:
    case Change::Unchanged:
        break;
    case Change::NotAFeedAddress:
        return Refuse(IDS_NOT_A_FEED_ADDRESS, url);
    case Change::AlreadySubscribed:
        return Refuse(IDS_DUPLICATE_URL, url);
    case Change::Busy:
        return Refuse(IDS_ADDRESS_BUSY);
    case Change::Failed:
        return Refuse(IDS_ADDRESS_NOT_CHANGED);
    }
    urlEdit_->setText(QString::fromStdString(url));
    const std::vector<PodcastLibrary::SettingChange> changes = rows_->Changes();
    if (stored_ && !changes.empty()) {
        std::string problem;
        if (library_.ChangeSettings(record_, changes, problem) !=
            PodcastLibrary::SettingsResult::Done)
            return Refuse(IDS_SETTINGS_NOT_STORED);
    }
    QDialog::accept();
}

} // namespace tessarine
