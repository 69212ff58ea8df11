#pragma once
// What the windows share in looks: the fonts they ask for (the named
// Japanese family first, then the installed stand-ins of the same pitch) and
// the pictures of the step buttons.

#include "shell/text_size.h"
#include "shell/theme.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QStringList>

namespace WindowStyle {

inline const QStringList GothicP = {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                                    QStringLiteral("IPAGothic")};
inline const QStringList MinchoP = {QStringLiteral("ＭＳ Ｐ明朝"), QStringLiteral("IPAPMincho"),
                                    QStringLiteral("IPAMincho")};
// Fixed pitch: amounts padded with spaces line up on their right edge.
inline const QStringList Mincho = {QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho"),
                                   QStringLiteral("IPAGothic")};

// The first family of a list that is installed, alone. A name that is not
// installed sends every font lookup through the system's aliases, and each
// further family makes Qt ask the system for its whole fallback list at
// once; together they cost more than the rest of start-up. A glyph the
// family lacks still comes from the system's fallbacks, asked for then.
// With none installed the whole list stands, for the system to substitute.
inline QStringList installedFamilies(const QStringList& families) {
    const QStringList all = QFontDatabase::families();
    for (const QString& name : families)
        if (all.contains(name, Qt::CaseInsensitive)) return {name};
    return families;
}

// From this size on, text is drawn unhinted (see font()).
inline constexpr int LargePixels = 20;

inline QFont font(const QStringList& families, int pixelSize, bool bold) {
    QFont f;
    f.setFamilies(installedFamilies(families));
    // The program's own sizes, scaled by the user's 文字の大きさ.
    pixelSize = TextSize::scaled(pixelSize);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    // Hinting moves large glyphs by a fraction of their stems, nothing one
    // sees, but each size it is done at costs the hinter an analysis of the
    // font; the calendar and the titles are drawn without it.
    if (pixelSize >= LargePixels) f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// A blue triangle on a 24 x 24 picture: a step back or forward.
inline QIcon triangleIcon(bool pointsLeft) {
    QPixmap pm(24, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    // Blue on the light bar; a light blue on a dark one.
    const QPalette pal = QApplication::palette();
    p.setBrush(Theme::isDark(pal) ? QColor(0x8c, 0xc8, 0xff) : QColor(0, 0, 255));
    const qreal tip = pointsLeft ? 5 : 19;
    const qreal base = pointsLeft ? 18 : 6;
    p.drawPolygon(QPolygonF{{tip, 12}, {base, 4}, {base, 20}});
    return QIcon(pm);
}

// The date or month title of a toolbar: 21-pixel bold Mincho in ink(), sized to
// its text.
inline QLabel* titleLabel(QWidget* parent, const char* objectName, const QString& text) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setFont(font(MinchoP, 21, true));
    Theme::useInk(label);
    label->setText(text);
    label->adjustSize();
    return label;
}

} // namespace WindowStyle
