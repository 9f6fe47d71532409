#include "dialogs/TessarineInfo.h"

#include "dialogs/DialogTemplate.h"

namespace tessarine {

TessarineInfo::TessarineInfo(QWidget* parent)
    : QDialog(parent), exampleUrl_(ResText(IDS_EXAMPLE_FEED_URL)) {
    DialogTemplate form(this, TXT_INFO_CAPTION, 322, 236);
    const bool german = CurrentLanguage() == Language::German;

    // Template order: OK first, so that it is also first in the tab order.
    auto* ok = form.OkButton(133, 215);
    form.Group(TXT_INFO_GENERAL, "generalGroup", 7, 7, 308, 46);
    form.Label(ResText(TXT_INFO_GENERAL_TEXT), "generalText", 13, 20, 296, 27, true);
    form.Group(TXT_INFO_PARAMETERS, "parametersGroup", 7, 123, 308, german ? 84 : 85);
    form.Label(ResText(TXT_INFO_CHECKANDQUIT), "checkandquitText", 13, 136, 296, 36, true);
    form.Label(ResText(TXT_INFO_DONOTCHECK), "donotcheckText", 13, 176, 296, 27, true);

    // The example URL can be selected and copied, but not changed.
    exampleEdit_ = form.Edit("exampleUrl", 13, 93, 296, 14);
    exampleEdit_->setReadOnly(true);
    exampleEdit_->setText(exampleUrl_);
    exampleEdit_->setCursorPosition(0);

    form.Label(ResText(TXT_INFO_EXAMPLE_TEXT), "exampleText", 13, 72, 296, 17, true);
    form.Group(TXT_INFO_EXAMPLE, "exampleGroup", 7, 59, 308, 57);
    ok->setFocus();
}

} // namespace tessarine
