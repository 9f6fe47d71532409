#pragma once
// The rows of a podcast's options in a dialog: one row per key, a label, a
// choice of values and, for a count or a pattern, the field that holds it.
// The same rows edit the defaults of every podcast (the settings dialog) and
// one podcast's own values (the podcast settings dialog), where each row
// also offers "As in Settings" with the default's value.

#include "core/library/PodcastLibrary.h"
#include "core/store/PodcastSettings.h"

#include <QObject>
#include <QString>

#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QWidget;

namespace tessarine {

class DialogTemplate;

class SettingRowsForm : public QObject {
    Q_OBJECT
public:
    // Where the rows go, in dialog units: labels from `x`, the choices from
    // `choiceX` (`choiceWidth` wide), counts and patterns after them up to
    // `right`; one row every `step` from `y`. With `patternRow` the pattern
    // takes a row of its own below the choice of file names. A last row
    // tells about the pattern (its example or what is wrong with it).
    struct Geometry {
        int x = 0;
        int y = 0;
        int choiceX = 0;
        int choiceWidth = 0;
        int right = 0;
        int step = 15;
        bool patternRow = false;
    };
    // `defaults`: the default's rows when these are a podcast's own (each row
    // then offers "As in Settings" first); none for the defaults themselves.
    SettingRowsForm(QWidget* dialog, DialogTemplate& form, const Geometry& geometry,
                    std::optional<std::vector<SettingRow>> defaults);

    // The bottom of the last row, in dialog units.
    int Bottom() const { return bottom_; }

    // Shows `rows` (SettingsOf: a value for every key and whether it is
    // inherited).
    void Load(const std::vector<SettingRow>& rows);
    // The keys whose value the user changed since Load; "inherit" returns a
    // podcast's key to the default.
    std::vector<PodcastLibrary::SettingChange> Changes() const;
    // Whether every row holds a value the key takes (a pattern can name files).
    bool IsValid() const;
    // The rule of file names shown now: "url" or the pattern.
    std::string NamesRule() const;
    // What the last row says while the pattern is sound.
    void SetPatternNote(const QString& text);
    // Rows that cannot be stored are shown but cannot be changed.
    void SetEnabled(bool enabled);

signals:
    void changed();

private:
    struct Row {
        std::string key;
        QComboBox* choice = nullptr;
        QSpinBox* count = nullptr;    // Count keys
        QLineEdit* pattern = nullptr; // the names
        std::string loaded;           // the value shown by Load; "inherit" when inherited
        std::string byDefault;        // the default's value, for a podcast's row
    };
    // The value the row holds now, "inherit" when it follows the default.
    std::string ValueOf(const Row& row) const;
    void ShowValue(Row& row, const std::string& value);
    // Enables each count and pattern field while its row's own value needs
    // it; an inherited row's field shows the default's count or pattern.
    void UpdateFields();
    void UpdateNote();

    bool inherits_;
    std::vector<Row> rows_;
    QLabel* note_ = nullptr;
    QString patternNote_;
    bool enabled_ = true;
    int bottom_ = 0;
};

} // namespace tessarine
