#include "windows/month_start_feature.h"

#include "shell/book_document.h"

#include <QComboBox>
#include <QLabel>
#include <QSpinBox>
#include <QWidget>

namespace {

QLabel* label(QWidget* parent, const QString& text, int x, int y) {
    auto* l = new QLabel(text, parent);
    l->move(x, y);
    l->adjustSize();
    return l;
}

} // namespace

void MonthStartFeature::install(CommandHost& host) {
    doc_ = &host.document();
    host.addSettingsPage(this);
}

QString MonthStartFeature::caption() const {
    return QStringLiteral("月の開始日");
}

QWidget* MonthStartFeature::createWidget(QWidget* parent) {
    auto* page = new QWidget(parent);
    page->setObjectName(QStringLiteral("MonthStartPage"));
    label(page, QStringLiteral("月の開始日"), 16, 20);
    startDay_ = new QSpinBox(page);
    startDay_->setObjectName(QStringLiteral("periodStartDay"));
    startDay_->setRange(1, 31);
    startDay_->setSuffix(QStringLiteral(" 日"));
    startDay_->setGeometry(200, 16, 80, 24);
    label(page, QStringLiteral("(1日: 暦どおりの月。月末を過ぎる日はその月の末日)"), 16, 46);

    label(page, QStringLiteral("土日・祝日に当たるとき"), 16, 84);
    shift_ = new QComboBox(page);
    shift_->setObjectName(QStringLiteral("periodShift"));
    shift_->addItems(
        {QStringLiteral("そのまま"), QStringLiteral("前の平日"), QStringLiteral("次の平日")});
    shift_->setGeometry(200, 80, 160, 24);

    label(page, QStringLiteral("月の名前"), 16, 118);
    naming_ = new QComboBox(page);
    naming_->setObjectName(QStringLiteral("periodNaming"));
    naming_->addItems({QStringLiteral("始まる月 (11/25〜 は11月分)"),
                       QStringLiteral("終わる月 (11/25〜 は12月分)")});
    naming_->setGeometry(200, 114, 280, 24);

    preview_ = new QLabel(page);
    preview_->setObjectName(QStringLiteral("periodPreview"));
    preview_->setGeometry(16, 160, 460, 24);

    QObject::connect(startDay_, qOverload<int>(&QSpinBox::valueChanged), page, [this](int day) {
        if (loading_) return;
        touched_ = true;
        if (!namingChosen_) naming_->setCurrentIndex(int(defaultNaming(day)));
        showPreview();
    });
    for (QComboBox* box : {shift_, naming_})
        QObject::connect(box, qOverload<int>(&QComboBox::currentIndexChanged), page, [this, box] {
            if (loading_) return;
            touched_ = true;
            if (box == naming_) namingChosen_ = true;
            showPreview();
        });
    return page;
}

void MonthStartFeature::load() {
    if (!startDay_) return;
    const PeriodRule& r = doc_->periodRule();
    loading_ = true;
    startDay_->setValue(r.startDay);
    shift_->setCurrentIndex(int(r.shift));
    naming_->setCurrentIndex(int(r.naming));
    loading_ = false;
    // A stored rule's naming is the user's, even when it is the default.
    namingChosen_ = !r.calendar();
    touched_ = false;
    showPreview();
}

PeriodRule MonthStartFeature::rule() const {
    return {startDay_->value(), PeriodShift(shift_->currentIndex()),
            PeriodNaming(naming_->currentIndex())};
}

void MonthStartFeature::showPreview() {
    const PeriodRule r = rule();
    shift_->setEnabled(!r.calendar());
    naming_->setEnabled(!r.calendar());
    // The period that holds the shown day under the rule on the page.
    const QDate& d = doc_->date();
    const PeriodName name = periodOf(r, {d.year(), d.month(), d.day()});
    preview_->setText(QStringLiteral("表示中の日の月: ") +
                      QString::fromStdString(periodTitle(r, name)));
}

void MonthStartFeature::store(const std::string& ledgerDir) {
    if (!startDay_) return;
    // Written only when it changes what the folder holds; a damaged file is
    // replaced only when the user set the rule on the page again. The
    // document reads it back with the configuration.
    const PeriodFile file = readPeriodFile(doc_->files(), ledgerDir);
    const PeriodRule r = rule();
    if (r != file.rule || (file.damaged && touched_)) writePeriodFile(doc_->files(), ledgerDir, r);
}
