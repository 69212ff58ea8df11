#pragma once
// "月の開始日": the settings page of the period rule (ZADUD.PRD), so that a
// household paid on the 25th sees its months from the 25th to the 24th.

#include "ledger/period.h"
#include "shell/feature.h"

class BookDocument;
class QComboBox;
class QLabel;
class QSpinBox;

class MonthStartFeature : public Feature, public SettingsPage {
public:
    void install(CommandHost& host) override;
    void attach(CommandHost&) override {}

    QString caption() const override;
    QWidget* createWidget(QWidget* parent) override;
    void load() override;
    void store(const std::string& ledgerDir) override;

    // The rule the page's controls make.
    PeriodRule rule() const;

private:
    void showPreview();

    BookDocument* doc_ = nullptr;
    QSpinBox* startDay_ = nullptr;
    QComboBox* shift_ = nullptr;
    QComboBox* naming_ = nullptr;
    QLabel* preview_ = nullptr;
    bool loading_ = false;
    bool namingChosen_ = false; // the user picked the naming: the day no longer moves it
    bool touched_ = false;
};
