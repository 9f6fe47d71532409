#include "dialogs/SettingRowsForm.h"

#include "core/feeds/EpisodeFileName.h"
#include "core/util/Text.h"
#include "dialogs/DialogTemplate.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <map>

namespace tessarine {
namespace {

// What a row's two own choices mean: two fixed values, or a fixed value
// and a count or pattern held by the field beside the choice.
enum class Kind { TwoValues, Count, Pattern };

struct KeyRow {
    const char* key;
    int label;
    int firstText;
    const char* firstValue;
    int secondText;
    const char* secondValue; // empty: the field's count or pattern
    Kind kind;
    int least; // the smallest count the key takes
};

// In the order of SettingKeys.
constexpr KeyRow kRows[] = {
    {"paused", TXT_PODSET_PAUSED, TXT_PODSET_NO, "no", TXT_PODSET_YES, "yes", Kind::TwoValues, 0},
    {"refetch-deleted", TXT_PODSET_REFETCH, TXT_PODSET_REFETCH_YES, "yes", TXT_PODSET_REFETCH_NO,
     "no", Kind::TwoValues, 0},
    {"on-subscribe", TXT_PODSET_ON_SUBSCRIBE, TXT_PODSET_ON_SUBSCRIBE_ALL, "all",
     TXT_PODSET_ON_SUBSCRIBE_NEWEST, "", Kind::Count, 0},
    {"keep", TXT_PODSET_KEEP, TXT_PODSET_KEEP_ALL, "all", TXT_PODSET_KEEP_NEWEST, "", Kind::Count,
     1},
    {"keep-days", TXT_PODSET_KEEP_DAYS, TXT_PODSET_KEEP_DAYS_ALL, "all", TXT_PODSET_KEEP_DAYS_N, "",
     Kind::Count, 1},
    {"names", TXT_PODSET_NAMES, TXT_PODSET_NAMES_URL, "url", TXT_PODSET_NAMES_PATTERN, "",
     Kind::Pattern, 0},
};

// The largest count the keys take.
constexpr int kMaxCount = 1000000;
const char kInherit[] = "inherit";

const KeyRow& KeyRowOf(const std::string& key) {
    for (const KeyRow& keyRow : kRows)
        if (key == keyRow.key)
            return keyRow;
    return kRows[0];
}

// A choice's text as a value inside a sentence: without its colon.
QString ChoiceWord(int textId) {
    QString text = ResText(textId);
    if (text.endsWith(':'))
        text.chop(1);
    return text;
}

// The index of the own choice that `value` of `keyRow` is: 0 the first, 1 the second.
int OwnChoice(const KeyRow& keyRow, const std::string& value) {
    return value == keyRow.firstValue ? 0 : 1;
}

} // namespace

SettingRowsForm::SettingRowsForm(QWidget* dialog, DialogTemplate& form, const Geometry& g,
                                 std::optional<std::vector<SettingRow>> defaults)
    : QObject(dialog), inherits_(defaults.has_value()) {
    std::map<std::string, std::string> defaultValues;
    for (const SettingRow& row : defaults.value_or(std::vector<SettingRow>{}))
        defaultValues[row.key] = row.value;
    int y = g.y;
    const int fieldX = g.choiceX + g.choiceWidth + 4;
    for (const KeyRow& keyRow : kRows) {
        Row row;
        row.key = keyRow.key;
        const std::string name = keyRow.key;
        QLabel* label = form.Label(ResText(keyRow.label), (name + "Label").c_str(), g.x, y + 2,
                                   g.choiceX - g.x - 3, 8);
        row.choice =
            form.Place(new QComboBox(dialog), name.c_str(), g.choiceX, y, g.choiceWidth, 12);
        label->setBuddy(row.choice);
        if (inherits_) {
            row.byDefault = defaultValues[keyRow.key];
            const int word = OwnChoice(keyRow, row.byDefault) == 0 ? keyRow.firstText : keyRow.secondText;
            row.choice->addItem(QString::fromStdString(
                FormatResString(TXT_PODSET_AS_IN_SETTINGS, ChoiceWord(word).toStdString())));
        }
        row.choice->addItem(ResText(keyRow.firstText));
        row.choice->addItem(ResText(keyRow.secondText));
        if (keyRow.kind == Kind::Count) {
            row.count = form.Place(new QSpinBox(dialog), (name + "Count").c_str(), fieldX, y,
                                   std::min(45, g.right - fieldX), 12);
            row.count->setRange(keyRow.least, kMaxCount);
            connect(row.count, &QSpinBox::valueChanged, this, [this] { emit changed(); });
        } else if (keyRow.kind == Kind::Pattern) {
            if (g.patternRow)
                y += g.step;
            const int patternX = g.patternRow ? g.choiceX : fieldX;
            row.pattern = form.Edit("namesPattern", patternX, y, g.right - patternX, 12);
            row.pattern->setToolTip(ResText(TXT_PODSET_PLACEHOLDERS));
            connect(row.pattern, &QLineEdit::textChanged, this, [this] { emit changed(); });
        }
        rows_.push_back(row);
        connect(row.choice, &QComboBox::currentIndexChanged, this, [this] {
            UpdateFields();
            emit changed();
        });
        y += g.step;
    }
    note_ = form.Label(QString(), "namesNote", g.choiceX, y, g.right - g.choiceX, 8);
    bottom_ = y + 8;
    connect(this, &SettingRowsForm::changed, this, &SettingRowsForm::UpdateNote);
    UpdateFields();
}

void SettingRowsForm::ShowValue(Row& row, const std::string& value) {
    const KeyRow& keyRow = KeyRowOf(row.key);
    const int own = OwnChoice(keyRow, value);
    if (own == 1 && row.count)
        row.count->setValue(static_cast<int>(ParseDecimal(value)));
    if (own == 1 && row.pattern)
        row.pattern->setText(QString::fromStdString(value));
}

void SettingRowsForm::Load(const std::vector<SettingRow>& rows) {
    for (const SettingRow& setting : rows) {
        for (Row& row : rows_) {
            if (row.key != setting.key)
                continue;
            ShowValue(row, setting.value);
            const int own = OwnChoice(KeyRowOf(row.key), setting.value);
            const bool inherited = inherits_ && setting.inherited;
            row.choice->setCurrentIndex(inherited ? 0 : own + (inherits_ ? 1 : 0));
            row.loaded = inherited ? kInherit : ValueOf(row);
        }
    }
    UpdateFields();
    emit changed();
}

std::string SettingRowsForm::ValueOf(const Row& row) const {
    const KeyRow& keyRow = KeyRowOf(row.key);
    const int index = row.choice->currentIndex() - (inherits_ ? 1 : 0);
    if (index < 0)
        return kInherit;
    if (index == 0)
        return keyRow.firstValue;
    if (row.count)
        return std::to_string(row.count->value());
    if (row.pattern)
        return row.pattern->text().toStdString();
    return keyRow.secondValue;
}

std::vector<PodcastLibrary::SettingChange> SettingRowsForm::Changes() const {
    std::vector<PodcastLibrary::SettingChange> changes;
    for (const Row& row : rows_) {
        const std::string value = ValueOf(row);
        if (value != row.loaded)
            changes.push_back({row.key, value});
    }
    return changes;
}

bool SettingRowsForm::IsValid() const {
    for (const Row& row : rows_) {
        const std::string value = ValueOf(row);
        if (row.pattern && value != kInherit && value != "url" && !IsFileNamePattern(value))
            return false;
    }
    return true;
}

std::string SettingRowsForm::NamesRule() const {
    for (const Row& row : rows_) {
        if (!row.pattern)
            continue;
        const std::string value = ValueOf(row);
        return value != kInherit ? value : row.byDefault;
    }
    return "url";
}

void SettingRowsForm::SetPatternNote(const QString& text) {
    patternNote_ = text;
    UpdateNote();
}

void SettingRowsForm::SetEnabled(bool enabled) {
    enabled_ = enabled;
    for (Row& row : rows_)
        row.choice->setEnabled(enabled);
    UpdateFields();
}

void SettingRowsForm::UpdateFields() {
    for (Row& row : rows_) {
        const int own = row.choice->currentIndex() - (inherits_ ? 1 : 0);
        if (own < 0)
            ShowValue(row, row.byDefault);
        QWidget* field = row.count ? static_cast<QWidget*>(row.count) : row.pattern;
        if (field != nullptr)
            field->setEnabled(enabled_ && own == 1);
    }
}

void SettingRowsForm::UpdateNote() {
    note_->setText(IsValid() ? patternNote_ : ResText(TXT_PODSET_BAD_PATTERN));
}

} // namespace tessarine
