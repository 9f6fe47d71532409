#include "platform/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

#include <memory>

namespace tessarine {
namespace {

std::unique_ptr<QTranslator>& Installed() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

// Where Qt's translation files are looked for: Qt's own folder, then the
// folders a program carries them in when it brings its own Qt (beside the
// program on Windows, below the prefix elsewhere).
QStringList TranslationFolders() {
    const QString programDir = QCoreApplication::applicationDirPath();
    return {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
            programDir + QStringLiteral("/translations"),
            programDir + QStringLiteral("/../share/qt6/translations")};
}

} // namespace

bool InstallQtTranslations(Language language) {
    if (Installed()) {
        QCoreApplication::removeTranslator(Installed().get());
        Installed().reset();
    }
    if (language == Language::English)
        return true;
    auto translator = std::make_unique<QTranslator>();
    for (const QString& folder : TranslationFolders()) {
        if (translator->load(QStringLiteral("qtbase_de"), folder)) {
            QCoreApplication::installTranslator(translator.get());
            Installed() = std::move(translator);
            return true;
        }
    }
    return false;
}

} // namespace tessarine
