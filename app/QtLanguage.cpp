#include "app/QtLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>
#include <cstring>

namespace {

// Swedish for the standard buttons of the program's message boxes and file
// dialogs and the file dialog's texts that Debian's Qt translations lack
// (there is no qtbase_sv, and the older qt_sv misses these). An installed
// file that has them takes precedence.
class TSwedishFallbackTexts : public QTranslator {
public:
    using QTranslator::QTranslator;
    QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                      int /*n*/) const override {
        static const char* const kTexts[][3] = {
            {"QPlatformTheme", "OK", "OK"},         {"QPlatformTheme", "&Yes", "&Ja"},
            {"QPlatformTheme", "&No", "&Nej"},      {"QPlatformTheme", "Cancel", "Avbryt"},
            {"QPlatformTheme", "Open", "Öppna"},    {"QPlatformTheme", "Save", "Spara"},
            {"QFileDialog", "Look in:", "Leta i:"}, {"QFileSystemModel", "Computer", "Dator"},
        };
        if (!context || !sourceText) return {};
        for (const auto& text : kTexts)
            if (std::strcmp(context, text[0]) == 0 && std::strcmp(sourceText, text[1]) == 0)
                return QString::fromUtf8(text[2]);
        return {};
    }
    bool isEmpty() const override { return false; }
};

// Owned by the application object, so they go with it.
QPointer<QTranslator> installedFallback;
QPointer<QTranslator> installedFile;

}  // namespace

QLocale NumbersLocale(Language language, const QLocale& desktop) {
    switch (language) {
    case Language::Swedish:
        return desktop.language() == QLocale::Swedish ? desktop : QLocale(QLocale::Swedish, QLocale::Sweden);
    case Language::German:
        return desktop.language() == QLocale::German ? desktop : QLocale(QLocale::German, QLocale::Germany);
    default:
        // The plain C conventions count as English: a desktop without a locale keeps them.
        return desktop.language() == QLocale::English || desktop.language() == QLocale::C
                   ? desktop
                   : QLocale(QLocale::English, QLocale::UnitedStates);
    }
}

Language DesktopLanguage(const QLocale& desktop) {
    if (desktop.language() == QLocale::German) return Language::German;
    if (desktop.language() == QLocale::Swedish) return Language::Swedish;
    return Language::English;
}

void ApplyQtLanguage(Language language) {
    QLocale::setDefault(NumbersLocale(language, QLocale::system()));
    QCoreApplication* app = QCoreApplication::instance();
    // Deleting a translator also uninstalls it.
    delete installedFallback.data();
    delete installedFile.data();
    // English is Qt's own language.
    if (!app || (language != Language::Swedish && language != Language::German)) return;
    const char* const locale = language == Language::Swedish ? "sv" : "de";

    // Installed first, so it is asked last.
    if (language == Language::Swedish) {
        installedFallback = new TSwedishFallbackTexts(app);
        QCoreApplication::installTranslator(installedFallback);
    }
    // qtbase_* holds the widgets' texts; where there is none, the older all-in-one qt_*.
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* file = new QTranslator(app);
    const QString suffix = QString::fromLatin1(locale);
    if (file->load(QStringLiteral("qtbase_") + suffix, folder) || file->load(QStringLiteral("qt_") + suffix, folder)) {
        installedFile = file;
        QCoreApplication::installTranslator(file);
    } else {
        delete file;
    }
}
