#include "dialogs/CAboutDlg.h"

#include "controls/CLinkLabel.h"
#include "dialogs/DialogTemplate.h"

#include <QIcon>
#include <QPixmap>

// The resources live in a static library: make sure they are registered even
// when nothing else has pulled them in. Must be called outside any namespace.
static void InitTessarineResources() { Q_INIT_RESOURCE(tessarine); }

namespace tessarine {

namespace {
constexpr const char* kRevision = "45";
constexpr const char* kBuildDate = "2009/01/28 13:24:41";
} // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent),
      aboutText_(QString::fromStdString(FormatText(LoadResString(IDS_ABOUT_FORMAT), {kRevision, kBuildDate}))) {
    InitTessarineResources();
    DialogTemplate form(this, TXT_ABOUT_CAPTION, 235, 90);

    auto* ok = form.OkButton(92, 69);

    // The icon fills its square of the template, keeping its aspect.
    const QPixmap icon(QStringLiteral(":/tessarine.png"));
    auto* iconLabel = form.Place(new QLabel(this), "icon", 7, 7, 20, 20);
    if (!icon.isNull()) {
        const int side = std::min(iconLabel->width(), iconLabel->height());
        iconLabel->setPixmap(icon.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        setWindowIcon(QIcon(icon));
    }

    // Shown as it is: no mnemonic or markup processing. A line too long for
    // the field wraps, and the field may then grow down to the link so that
    // the revision line stays visible.
    auto* text = form.Label(aboutText_, "aboutText", 39, 7, 189, 36, true);
    const int linkTop = form.Units().Y(47);
    text->resize(text->width(),
                 std::clamp(text->heightForWidth(text->width()), text->height(), linkTop - text->y()));

    // The link takes its caption, the web address, as its target.
    link_ = form.Place(new CLinkLabel(ResText(TXT_WEB_ADDRESS), this), "link", 39, 47, 189, 16);
    link_->SetLinkUrl(QString());
    link_->Attach();
    ok->setFocus();
}

} // namespace tessarine
