#include "windows/text_size_feature.h"

void TextSizeFeature::install(CommandHost& host) {
    QAction* entry = host.addMenuEntry(MenuPlace::SettingsMenu, QStringLiteral("文字の大きさ..."),
                                       QStringLiteral("textSize"));
    // The window shows what is stored, not a choice left unsaved last time.
    QObject::connect(entry, &QAction::triggered, entry, [this] {
        if (window()) window()->showStored();
    });
    showsWindow(entry);
}

void TextSizeFeature::attach(CommandHost& host) {
    setWindow(std::make_unique<TextSizeWindow>(host.mainWindow()));
}
