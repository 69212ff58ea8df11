#pragma once
// The one question a window holding typed text asks before it closes
// without saving it, whether by its key, its menu or its close box.

#include <QString>

class QWidget;

namespace CloseQuestion {

inline const QString Text = QStringLiteral("保存せずに閉じますか？");
// The box's object name, by which tests answer it.
inline const QString Name = QStringLiteral("DiscardConfirm");

// True when the window may close: nothing unsaved, or the user answered はい.
// Any other answer (いいえ, or the box closed) keeps the window and its text.
bool mayClose(bool unsaved, QWidget* parent);

} // namespace CloseQuestion
