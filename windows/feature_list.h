#pragma once
// The features the program installs on its main window, in the order their
// entries appear. A new feature adds its unit to windows/ and a line here
// and in feature_list.cpp.

#include "ledger/schedule.h"
#include "windows/backup_feature.h"
#include "windows/budget_feature.h"
#include "windows/change_history_feature.h"
#include "windows/diary_search_feature.h"
#include "windows/line_search_feature.h"
#include "windows/month_start_feature.h"
#include "windows/monthly_list_feature.h"
#include "windows/print_feature.h"
#include "windows/report_feature.h"
#include "windows/schedule_feature.h"
#include "windows/statement_import_feature.h"
#include "windows/sync_feature.h"
#include "windows/text_size_feature.h"
#include "windows/year_overview_feature.h"

#include <functional>
#include <vector>

class CommandHost;

struct ProgramFeatures {
    ProgramFeatures(BackupStore* backups, std::function<Date()> today)
        : schedule(today), backup(backups), report(std::move(today)) {}
    // Each feature's entries, in menu order.
    void install(CommandHost& host);
    // Each feature's windows, after the main window's first frame.
    void attach(CommandHost& host);
    std::vector<Feature*> all();

    MonthlyListFeature monthlyList;
    YearOverviewFeature yearOverview;
    DiarySearchFeature diarySearch;
    LineSearchFeature lineSearch;
    ScheduleFeature schedule;
    PrintFeature print;
    StatementImportFeature statementImport;
    BackupFeature backup;
    SyncFeature sync;
    ChangeHistoryFeature changeHistory;
    BudgetFeature budget;
    TextSizeFeature textSize;
    MonthStartFeature monthStart;
    ReportFeature report;
};
