#pragma once
// "文字の大きさ..." in the 設定 menu.

#include "windows/dialog_feature.h"
#include "windows/text_size_window.h"

class TextSizeFeature : public DialogFeature<TextSizeWindow> {
public:
    void install(CommandHost& host) override;
    void attach(CommandHost& host) override;
};
