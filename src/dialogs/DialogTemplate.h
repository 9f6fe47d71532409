#pragma once
// Builds the small fixed-size dialogs from their templates: every control at
// its template position, given in dialog units of the dialog's font, with its
// text from the string table.

#include "controls/DialogUnits.h"
#include "core/util/Strings.h"

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace tessarine {

inline QString ResText(int id) { return QString::fromStdString(LoadResString(id)); }

class DialogTemplate {
public:
    // Gives `dialog` its caption and its fixed client size of `width` x `height`.
    DialogTemplate(QDialog* dialog, int captionId, int width, int height)
        : dialog_(dialog), units_(static_cast<const QWidget*>(dialog)) {
        dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                               Qt::MSWindowsFixedSizeDialogHint);
        dialog->setWindowTitle(ResText(captionId));
        dialog->setSizeGripEnabled(false);
        dialog->setFixedSize(units_.Size(width, height));
    }

    const DialogUnits& Units() const { return units_; }

    // OK (accepts) and Cancel (rejects) are the push buttons of every template.
    QPushButton* OkButton(int x, int y, bool isDefault = true) {
        auto* button = Place(new QPushButton(ResText(TXT_OK), dialog_), "ok", x, y, 50, 14);
        button->setDefault(isDefault);
        button->setAutoDefault(isDefault);
        QObject::connect(button, &QPushButton::clicked, dialog_, &QDialog::accept);
        return button;
    }
    QPushButton* CancelButton(int x, int y) {
        auto* button = Place(new QPushButton(ResText(TXT_CANCEL), dialog_), "cancel", x, y, 50, 14);
        button->setAutoDefault(false);
        QObject::connect(button, &QPushButton::clicked, dialog_, &QDialog::reject);
        return button;
    }

    // Group boxes only frame the controls placed over them: they stay below
    // every other control so that they never take its mouse clicks.
    QGroupBox* Group(int textId, const char* name, int x, int y, int w, int h) {
        auto* group = Place(new QGroupBox(ResText(textId), dialog_), name, x, y, w, h);
        group->lower();
        return group;
    }

    QLabel* Label(const QString& text, const char* name, int x, int y, int w, int h,
                  bool wrap = false) {
        auto* label = Place(new QLabel(text, dialog_), name, x, y, w, h);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(wrap);
        return label;
    }

    // A check box keeps its template width unless its text needs more, in
    // which case it grows up to `maxRight` (dialog units) rather than cut the text.
    QCheckBox* CheckBox(int textId, const char* name, int x, int y, int w, int h, int maxRight) {
        auto* box = Place(new QCheckBox(ResText(textId), dialog_), name, x, y, w, h);
        const int wanted = std::min(box->sizeHint().width(), units_.X(maxRight) - box->x());
        if (wanted > box->width())
            box->resize(wanted, box->height());
        return box;
    }

    QLineEdit* Edit(const char* name, int x, int y, int w, int h) {
        return Place(new QLineEdit(dialog_), name, x, y, w, h);
    }

    template <typename Widget>
    Widget* Place(Widget* widget, const char* name, int x, int y, int w, int h) {
        widget->setObjectName(QString::fromLatin1(name));
        widget->setGeometry(units_.Rect(x, y, w, h));
        return widget;
    }

private:
    QDialog* dialog_;
    DialogUnits units_;
};

} // namespace tessarine
