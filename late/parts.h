#pragma once
// The late parts' own functions; the table in parts.cpp hands them out.
#include "late/late_parts.h"

namespace late {
std::string zipPack(const std::vector<ZipMember>& members, std::string& bytes);
std::string zipUnpack(const std::string& bytes, const ZipMemberCheck& check,
                      std::vector<ZipMember>& members);
QWidget* newChartView(QWidget* parent);
void fillExpenseChart(QWidget* view, const YearChartData& data);
void fillBalanceChart(QWidget* view, const YearChartData& data);
void printPreview(const PrintPreviewRequest& request);
void fillDonutChart(QWidget* view, const DonutChartData& data);
void fillDayLineChart(QWidget* view, const DayLineChartData& data);
} // namespace late
